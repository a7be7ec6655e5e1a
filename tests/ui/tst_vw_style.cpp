#include "vw_style.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <memory>

namespace {

// The colour a widget paints at its centre, with its own style sheet applied.
QRgb paintedColor(QWidget *widget)
{
    widget->resize(40, 20);
    widget->ensurePolished();
    const QImage image = widget->grab().toImage();
    return image.pixel(image.width() / 2, image.height() / 2) & 0xFFFFFF;
}

} // namespace

class TestVwStyle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void colorFormat_data();
    void colorFormat();
    void sliderTemplate_data();
    void sliderTemplate();
    void templatesAreValidStyleSheets();
    void disableForReenables();
    void disableForSurvivesDeletion();
    void setStylePropertyRepolishes();
    void setObjectNameAndRepolish();
};

void TestVwStyle::colorFormat_data()
{
    QTest::addColumn<int>("color");
    QTest::addColumn<QString>("css");
    QTest::newRow("grey") << 0x3A3A3A << "#3A3A3A";
    QTest::newRow("lower-case literal") << 0x3a3a3a << "#3A3A3A";
    QTest::newRow("blue keeps its zeros") << 0xFF << "#0000FF";
    QTest::newRow("black") << 0 << "#000000";
    QTest::newRow("alpha bits dropped") << int(0xFF123456) << "#123456";
}

void TestVwStyle::colorFormat()
{
    QFETCH(int, color);
    QFETCH(QString, css);
    QCOMPARE(cssColor(color), css);
    QWidget widget;
    applyBackgroundStyle(&widget, QStringLiteral("3a3a3a"), color);
    QCOMPARE(widget.styleSheet(), QStringLiteral("QWidget#3a3a3a{background-color: %1;}").arg(css));
}

void TestVwStyle::sliderTemplate_data()
{
    QTest::addColumn<bool>("small");
    QTest::addColumn<QString>("knob");
    QTest::addColumn<int>("border");
    QTest::addColumn<int>("height");
    QTest::newRow("large") << false << "slider_knob" << 7 << 4;
    QTest::newRow("small") << true << "slider_knob_small" << 6 << 2;
}

void TestVwStyle::sliderTemplate()
{
    QFETCH(bool, small);
    QFETCH(QString, knob);
    QFETCH(int, border);
    QFETCH(int, height);

    QSlider slider(Qt::Horizontal);
    applySliderStyle(&slider, QStringLiteral("play_slider"), 0xCC9933, 0x666666, small);
    const QString sheet = slider.styleSheet();
    QCOMPARE(slider.objectName(), QStringLiteral("play_slider"));
    QVERIFY(sheet.startsWith(QStringLiteral("QSlider#play_slider{}")));
    QVERIFY(sheet.contains(QStringLiteral("QSlider#play_slider::groove:horizontal{border: %1px;height: %2px;}")
                               .arg(border)
                               .arg(height)));
    QVERIFY(sheet.contains(QStringLiteral("::sub-page:horizontal{background: #CC9933;}")));
    QVERIFY(sheet.contains(QStringLiteral("::add-page:horizontal{background: #666666;}")));
    const QString margin = QStringLiteral("margin: -%1px -0px -%1px -0px;").arg(border);
    QCOMPARE(sheet.count(margin), 4);
    for (const QString &image : {knob + QStringLiteral(".png"), knob + QStringLiteral("_1.png"),
                                 knob + QStringLiteral("_2.png"), knob + QStringLiteral("_3.png")})
        QVERIFY2(sheet.contains(QStringLiteral("url(:/image/") + image + QLatin1Char(')')), qPrintable(image));
    // The large template never names the small knob and the other way round.
    QCOMPARE(sheet.contains(QStringLiteral("slider_knob_small")), small);
    QVERIFY(!sheet.contains(QLatin1Char('%')));
}

void TestVwStyle::templatesAreValidStyleSheets()
{
    QWidget background;
    background.setAttribute(Qt::WA_StyledBackground);
    applyBackgroundStyle(&background, QStringLiteral("popup_bg"), 0x3A3A3A);
    QCOMPARE(paintedColor(&background), QRgb(0x3A3A3A));

    QWidget both;
    both.setAttribute(Qt::WA_StyledBackground);
    applyBorderBackgroundStyle(&both, QStringLiteral("border_back"), 0x204060, 0x666666);
    QCOMPARE(paintedColor(&both), QRgb(0x204060));
    const QImage image = both.grab().toImage();
    QCOMPARE(image.pixel(0, 10) & 0xFFFFFF, QRgb(0x666666));

    QLabel badge;
    applyBadgeLabelStyle(&badge, QStringLiteral("speed_label"), QStringLiteral("Arial"), 0xF5F5F5, 11,
                         false, 0x262626);
    QCOMPARE(paintedColor(&badge), QRgb(0x262626));
}

void TestVwStyle::disableForReenables()
{
    QPushButton button;
    QSignalSpy clicked(&button, &QPushButton::clicked);
    button.resize(40, 20);

    disableFor(&button, 100);
    QVERIFY(!button.isEnabled());
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 0);

    // Disabled again for another reason meanwhile: the delay still wins.
    button.setEnabled(false);
    QTRY_VERIFY_WITH_TIMEOUT(button.isEnabled(), 5000);
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
}

void TestVwStyle::disableForSurvivesDeletion()
{
    auto *button = new QPushButton;
    QPointer<QPushButton> watch(button);
    disableFor(button, 20);
    delete button;
    QTest::qWait(60);
    QVERIFY(watch.isNull());
    disableFor(nullptr, 10);
}

void TestVwStyle::setStylePropertyRepolishes()
{
    QWidget parent;
    parent.setStyleSheet(QStringLiteral("QPushButton{background-color: #101010; border: 0px;}"
                                        "QPushButton[paused=true]{background-color: #F0A000;}"));
    auto *button = new QPushButton(&parent);
    button->resize(40, 20);
    QCOMPARE(paintedColor(button), QRgb(0x101010));
    setStyleProperty(button, "paused", true);
    QCOMPARE(button->property("paused").toBool(), true);
    QCOMPARE(paintedColor(button), QRgb(0xF0A000));
    setStyleProperty(button, "paused", false);
    QCOMPARE(paintedColor(button), QRgb(0x101010));
}

void TestVwStyle::setObjectNameAndRepolish()
{
    QWidget parent;
    parent.setStyleSheet(QStringLiteral("QWidget#plain{background-color: #202020;}"
                                        "QWidget#lit{background-color: #00A0F0;}"));
    auto *widget = new QWidget(&parent);
    widget->setAttribute(Qt::WA_StyledBackground);
    ::setObjectNameAndRepolish(widget, QStringLiteral("plain"));
    QCOMPARE(paintedColor(widget), QRgb(0x202020));
    ::setObjectNameAndRepolish(widget, QStringLiteral("lit"));
    QCOMPARE(widget->objectName(), QStringLiteral("lit"));
    QCOMPARE(paintedColor(widget), QRgb(0x00A0F0));
}

QTEST_MAIN(TestVwStyle)
#include "tst_vw_style.moc"
