#include "hx_test_viewer.h"
#include "title_widget.h"
#include "vw_app.h"
#include "vw_button.h"
#include "vw_language.h"
#include "vw_popup.h"
#include "vw_popup_info.h"
#include "vw_popup_message.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class TestPopups : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void messageWidthGrowsWithText();
    void messageWrapsLineBreaks();
    void messageClosesWithOk();
    void infoVersionLine_data();
    void infoVersionLine();
    void chooserPreselects_data();
    void chooserPreselects();
    void chooserFollowsSelection();
};

void TestPopups::cleanup()
{
    VwLanguage::instance()->language = VwLanguage::LANGUAGE_JAPANESE;
    VwLanguage::instance()->languageAuto = false;
}

void TestPopups::messageWidthGrowsWithText()
{
    const QString shortText = QStringLiteral("File not found.");
    const QString longText = shortText + QStringLiteral(" Please choose another folder.");
    VwPopupMessage shortPopup(nullptr, QString(), shortText);
    VwPopupMessage longPopup(nullptr, QString(), longText);
    QVERIFY(longPopup.width() > shortPopup.width());

    // A one-word message still leaves room for the OK button.
    VwPopupMessage tiny(nullptr, QString(), QStringLiteral("!"));
    QVERIFY(tiny.width() >= tiny.okButton()->width());

    // A message longer than the screen is as wide as the screen and wraps.
    const QString huge = QString(QStringLiteral("very long message ")).repeated(60);
    VwPopupMessage hugePopup(nullptr, QString(), huge);
    QCOMPARE(hugePopup.width(), QApplication::primaryScreen()->availableGeometry().width());
}

void TestPopups::messageWrapsLineBreaks()
{
    const QString text = QStringLiteral("The folder could not be read.\nCheck the memory card.");
    VwPopupMessage popup(nullptr, QString(), text);
    // As wide as the longer line, not as both lines side by side.
    VwPopupMessage joined(nullptr, QString(), QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    QVERIFY(popup.width() < joined.width());
    QCOMPARE(popup.width(), VwPopupMessage::textWidth(QStringLiteral("The folder could not be read.")) + 30);

    popup.show();
    QVERIFY(QTest::qWaitForWindowExposed(&popup));
    const QFontMetrics metrics(popup.textLabel()->font());
    QVERIFY(popup.textLabel()->height() >= 2 * metrics.lineSpacing());
    QVERIFY(popup.textLabel()->width() <= popup.width());
}

void TestPopups::messageClosesWithOk()
{
    VwPopupMessage popup(nullptr, QString(), QStringLiteral("Done."));
    QTimer::singleShot(0, popup.okButton(), &QPushButton::click);
    QCOMPARE(popup.exec(), int(QDialog::Accepted));
}

void TestPopups::infoVersionLine_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("title");

    QTest::newRow("japanese") << 1 << QStringLiteral("Viewer S/W バージョン情報")
                              << QStringLiteral("Viewer S/W バージョン情報");
    QTest::newRow("english") << 2 << QStringLiteral("Viewer S/W Version Info.")
                             << QStringLiteral("Viewer S/W Version Info.");
}

void TestPopups::infoVersionLine()
{
    QFETCH(int, language);
    QFETCH(QString, header);
    QFETCH(QString, title);

    VwLanguage::instance()->language = VwLanguage::LANGUAGE_TYPE(language);
    VwPopupInfo popup(nullptr, QStringLiteral("unused"), QStringLiteral("unused"));
    auto *version = popup.findChild<QLabel *>(QStringLiteral("text_normal_label"));
    QVERIFY(version);
    QCOMPARE(version->text(), QStringLiteral("    Version : 1.0.4"));
    auto *headerLabel = popup.findChild<QLabel *>(QStringLiteral("text_header_label"));
    QVERIFY(headerLabel);
    QCOMPARE(headerLabel->text(), header);
    QCOMPARE(popup.titleWidget()->titleLabel()->text(), title);
    QCOMPARE(popup.size(), QSize(320, 180));
    QVERIFY(popup.titleWidget()->closeButton()->isHidden());
    QCOMPARE(popup.okButton()->text(), QStringLiteral("OK"));
}

void TestPopups::chooserPreselects_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("autoEntry");

    QTest::newRow("japanese") << 1 << false << 1 << QStringLiteral("自動");
    QTest::newRow("english") << 2 << false << 2 << QStringLiteral("Auto");
    QTest::newRow("japanese, following the system") << 1 << true << 0 << QStringLiteral("自動");
    QTest::newRow("english, following the system") << 2 << true << 0 << QStringLiteral("Auto");
}

void TestPopups::chooserPreselects()
{
    QFETCH(int, language);
    QFETCH(bool, automatic);
    QFETCH(int, index);
    QFETCH(QString, autoEntry);

    VwLanguage::instance()->language = VwLanguage::LANGUAGE_TYPE(language);
    VwLanguage::instance()->languageAuto = automatic;
    VwPopup::languageChoice = -1;
    VwPopup chooser(nullptr, QString(), QString(), Qt::WindowFlags());
    chooser.setupLanguageChooser();

    auto *combo = chooser.findChild<QComboBox *>(QStringLiteral("settings"));
    QVERIFY(combo);
    QCOMPARE(combo->currentIndex(), index);
    QCOMPARE(VwPopup::languageChoice, index);
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), autoEntry);
    QCOMPARE(combo->itemText(1), QStringLiteral("日本語"));
    QCOMPARE(combo->itemText(2), QStringLiteral("English"));
    QCOMPARE(chooser.size(), QSize(320, 160));
    QVERIFY(chooser.titleWidget()->closeButton()->isHidden());
}

void TestPopups::chooserFollowsSelection()
{
    VwPopup chooser(nullptr, QString(), QString(), Qt::WindowFlags());
    chooser.setupLanguageChooser();
    auto *combo = chooser.findChild<QComboBox *>(QStringLiteral("settings"));
    QVERIFY(combo);
    for (int index : {2, 0, 1}) {
        combo->setCurrentIndex(index);
        QCOMPARE(VwPopup::languageChoice, index);
    }
    QTimer::singleShot(0, chooser.cancelButton(), &QPushButton::click);
    QCOMPARE(chooser.exec(), int(QDialog::Rejected));
}

HX_TEST_VIEWER_MAIN(TestPopups)

#include "tst_popups.moc"
