#include "hx_button.h"
#include "vw_language.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QTest>

#include <memory>

namespace {

QRgb centre(QWidget *widget)
{
    widget->ensurePolished();
    const QImage image = widget->grab().toImage();
    return image.pixel(image.width() / 2, image.height() / 2) & 0xFFFFFF;
}

} // namespace

class TestHxButton : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void factories_data();
    void factories();
    void destructorUnregisters();
    void insertionIndex_data();
    void insertionIndex();
    void colorStyle();
    void imagesComeFromResources();
};

void TestHxButton::factories_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QStringList>("images");
    QTest::addColumn<QStringList>("absent");

    const QStringList four = {QStringLiteral("vt_swap.png"), QStringLiteral("vt_swap_1.png"),
                              QStringLiteral("vt_swap_2.png"), QStringLiteral("vt_swap_3.png")};
    const QStringList checked = {QStringLiteral("vt_swap_checked.png"), QStringLiteral("vt_swap_checked_1.png"),
                                 QStringLiteral("vt_swap_checked_2.png"),
                                 QStringLiteral("vt_swap_checked_3.png")};
    QTest::newRow("image") << "image" << QStringLiteral("フロント･リア切替え") << four << checked;
    QTest::newRow("image without tooltip") << "image" << QString() << four << checked;
    QTest::newRow("checkable") << "checkable" << QStringLiteral("フルスクリーン") << four + checked
                               << QStringList();
    QTest::newRow("single") << "single" << QString() << QStringList{QStringLiteral("vt_swap.png")}
                            << QStringList{QStringLiteral("vt_swap_1.png"), QStringLiteral("vt_swap_3.png")};
    QTest::newRow("color") << "color" << QStringLiteral("拡大")
                           << QStringList{QStringLiteral("vt_swap.png"), QStringLiteral("vt_swap_3.png")}
                           << QStringList{QStringLiteral("vt_swap_1.png"), QStringLiteral("vt_swap_2.png")};
}

void TestHxButton::factories()
{
    QFETCH(QString, kind);
    QFETCH(QString, tooltip);
    QFETCH(QStringList, images);
    QFETCH(QStringList, absent);

    QWidget parent;
    auto *layout = new QHBoxLayout(&parent);
    const QString name = QStringLiteral("vt_swap");
    const QSize size(30, 26);
    HxButton *button = nullptr;
    if (kind == QLatin1String("image"))
        button = HxButton::createImageButton(&parent, layout, name, tooltip, size);
    else if (kind == QLatin1String("checkable"))
        button = HxButton::createCheckableImageButton(&parent, layout, name, tooltip, size);
    else if (kind == QLatin1String("single"))
        button = HxButton::createSingleImageButton(&parent, layout, name, tooltip, size);
    else
        button = HxButton::createColorButton(&parent, layout, name, tooltip, size,
                                             {0x111111, 0x222222, 0x333333, 0x444444, 0x555555});

    QCOMPARE(button->parent(), &parent);
    QCOMPARE(layout->indexOf(button), 0);
    QCOMPARE(button->objectName(), name);
    QCOMPARE(button->minimumSize(), size);
    QCOMPARE(button->maximumSize(), size);
    QCOMPARE(button->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(button->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    QCOMPARE(button->isCheckable(), kind == QLatin1String("checkable"));
    QCOMPARE(button->toolTip(), tooltip);

    VwLanguage *language = VwLanguage::instance();
    QCOMPARE(language->isRegistered(button), !tooltip.isEmpty());
    QCOMPARE(language->registeredText(button, 1, VwLanguage::TEXT_KIND_TOOLTIP), tooltip);
    QVERIFY(language->registeredText(button, 2, VwLanguage::TEXT_KIND_TOOLTIP).isEmpty());

    const QString sheet = button->styleSheet();
    QVERIFY(!sheet.contains(QLatin1Char('%')));
    for (const QString &image : images)
        QVERIFY2(sheet.contains(QStringLiteral("url(:/image/%1)").arg(image)), qPrintable(image));
    for (const QString &image : absent)
        QVERIFY2(!sheet.contains(QStringLiteral("url(:/image/%1)").arg(image)), qPrintable(image));
}

void TestHxButton::destructorUnregisters()
{
    VwLanguage *language = VwLanguage::instance();
    auto *button = HxButton::createImageButton(nullptr, nullptr, QStringLiteral("play_stop"),
                                               QStringLiteral("停止"), QSize(62, 62));
    language->registerText(2, VwLanguage::TEXT_KIND_TOOLTIP, button, QStringLiteral("Stop"));
    QVERIFY(language->isRegistered(button));
    QWidget *address = button;
    delete button;
    QVERIFY(!language->isRegistered(address));
    language->applyLanguage();
}

void TestHxButton::insertionIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("position");
    QTest::newRow("append") << -1 << 3;
    QTest::newRow("first") << 0 << 0;
    QTest::newRow("middle") << 2 << 2;
    QTest::newRow("past the end") << 10 << 3;
}

void TestHxButton::insertionIndex()
{
    QFETCH(int, index);
    QFETCH(int, position);

    QWidget parent;
    auto *layout = new QHBoxLayout(&parent);
    for (int i = 0; i < 3; ++i)
        layout->addWidget(new QLabel(QString::number(i)));
    HxButton *button = HxButton::createImageButton(&parent, layout, QStringLiteral("open"), QString(),
                                                   QSize(121, 70), index);
    QCOMPARE(layout->count(), 4);
    QCOMPARE(layout->indexOf(button), position);

    // A layout that is not a box layout takes the button at its end.
    QWidget other;
    auto *grid = new QGridLayout(&other);
    grid->addWidget(new QLabel, 0, 0);
    HxButton *gridButton = HxButton::createImageButton(&other, grid, QStringLiteral("open"), QString(),
                                                       QSize(121, 70), index);
    QCOMPARE(grid->indexOf(gridButton), 1);
}

void TestHxButton::colorStyle()
{
    // The filled template is a valid style sheet: the colours paint (on the
    // borderless buttons of the application style sheet).
    QWidget parent;
    parent.setStyleSheet(QStringLiteral("VwButton{border: 0px;}"));
    auto *plain = new HxButton(&parent);
    plain->resize(36, 36);
    HxButton::applyColorStyle(plain, QStringLiteral("no_such_image"), {0x00A000, 0, 0, 0, 0});
    QCOMPARE(centre(plain), QRgb(0x00A000));
    HxButton::applyColorStyle(nullptr, QStringLiteral("x"), {});
}

void TestHxButton::imagesComeFromResources()
{
    // The pictures of the states differ and the normal one is the resource itself.
    QWidget parent;
    parent.setStyleSheet(QStringLiteral("VwButton{border: 0px; padding: 0px; margin: 0px;}"));
    HxButton *normal = HxButton::createImageButton(&parent, nullptr, QStringLiteral("play_stop"), QString(),
                                                   QSize(62, 62));
    HxButton *disabled = HxButton::createImageButton(&parent, nullptr, QStringLiteral("play_stop"),
                                                     QString(), QSize(62, 62));
    disabled->setEnabled(false);
    HxButton *pressed = HxButton::createImageButton(&parent, nullptr, QStringLiteral("play_stop"), QString(),
                                                    QSize(62, 62));
    pressed->setDown(true);

    const QImage resource(QStringLiteral(":/image/play_stop.png"));
    QVERIFY(!resource.isNull());
    QCOMPARE(centre(normal), resource.pixel(31, 31) & 0xFFFFFF);
    QVERIFY(centre(disabled) != centre(normal));
    QVERIFY(centre(pressed) != centre(normal));
    QVERIFY(centre(pressed) != centre(disabled));

    HxButton *checkable = HxButton::createCheckableImageButton(&parent, nullptr, QStringLiteral("play_play"),
                                                               QString(), QSize(62, 62));
    const QRgb unchecked = centre(checkable);
    checkable->setChecked(true);
    checkable->update();
    QVERIFY(centre(checkable) != unchecked);
}

QTEST_MAIN(TestHxButton)
#include "tst_hx_button.moc"
