#include "hx_button.h"
#include "hx_frame_title.h"
#include "hx_test_sandbox.h"
#include "vw_app.h"
#include "vw_language.h"
#include "vw_popup.h"
#include "window_main.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// Runs with the system locale en_US and a settings file that asks for English.
class TestLanguageStart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void englishTooltipsOnFirstShow_data();
    void englishTooltipsOnFirstShow();
    void maximizeTooltipFollowsLayout();
    void chooserCancelChangesNothing();
    void chooserAutoOnEnglishSystem();
    void chooserJapanese();

private:
    // Opens the chooser from the title bar, picks `index` and confirms or cancels.
    void choose(int index, bool confirm);
    QVariant stored(const QString &key) const;
};

void TestLanguageStart::initTestCase()
{
    QCOMPARE(VwLanguage::instance()->language, VwLanguage::LANGUAGE_ENGLISH);
}

void TestLanguageStart::englishTooltipsOnFirstShow_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("japanese");
    QTest::addColumn<QString>("english");

    QTest::newRow("info") << "title_info" << languageText("viewer_info") << "Info";
    QTest::newRow("close") << "title_close" << languageText("close") << "Exit";
    QTest::newRow("maximise") << "title_maximize" << languageText("maximize") << "Maximize";
}

void TestLanguageStart::englishTooltipsOnFirstShow()
{
    QFETCH(QString, button);
    QFETCH(QString, japanese);
    QFETCH(QString, english);

    WindowMain *window = WindowMain::instance();
    auto *widget = window->titleBar->findChild<HxButton *>(button);
    QVERIFY(widget);
    if (window->firstShow) {
        QCOMPARE(widget->toolTip(), japanese);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }
    QCOMPARE(widget->toolTip(), english);
}

void TestLanguageStart::choose(int index, bool confirm)
{
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto *chooser = qobject_cast<VwPopup *>(QApplication::activeModalWidget());
        QVERIFY(chooser);
        auto *combo = chooser->findChild<QComboBox *>(QStringLiteral("settings"));
        QVERIFY(combo);
        QCOMPARE(combo->itemText(0), VwLanguage::instance()->language == VwLanguage::LANGUAGE_ENGLISH
                     ? QStringLiteral("Auto")
                     : QStringLiteral("自動"));
        combo->setCurrentIndex(index);
        seen = true;
        if (confirm)
            chooser->okButton()->click();
        else
            chooser->cancelButton()->click();
    });
    QTest::mouseClick(WindowMain::instance()->titleBar->title_language, Qt::LeftButton);
    QVERIFY(seen);
}

QVariant TestLanguageStart::stored(const QString &key) const
{
    QSettings settings(VwApp::instance()->appPath(VwApp::PATH_SETTINGS), QSettings::IniFormat);
    return settings.value(QStringLiteral("APP/") + key);
}

void TestLanguageStart::maximizeTooltipFollowsLayout()
{
    WindowMain *window = WindowMain::instance();
    HxButton *maximize = window->titleBar->title_maximize;
    window->onMaximize();
    QCOMPARE(maximize->toolTip(), QStringLiteral("Restore Down"));
    window->onMaximize();
    QCOMPARE(maximize->toolTip(), QStringLiteral("Maximize"));
}

void TestLanguageStart::chooserCancelChangesNothing()
{
    QSignalSpy changes(VwLanguage::instance(), &VwLanguage::languageChange);
    choose(1, false);
    QCOMPARE(VwLanguage::instance()->language, VwLanguage::LANGUAGE_ENGLISH);
    QVERIFY(!VwLanguage::instance()->languageAuto);
    QCOMPARE(changes.count(), 0);
    QCOMPARE(stored(QStringLiteral("LANGUAGE")).toInt(), 2);
}

void TestLanguageStart::chooserAutoOnEnglishSystem()
{
    QCOMPARE(QLocale::system().name(), QStringLiteral("en_US"));
    QSignalSpy changes(VwLanguage::instance(), &VwLanguage::languageChange);
    choose(0, true);
    QCOMPARE(VwLanguage::instance()->language, VwLanguage::LANGUAGE_ENGLISH);
    QVERIFY(VwLanguage::instance()->languageAuto);
    QCOMPARE(stored(QStringLiteral("LANGUAGE_AUTO")).toBool(), true);
    QCOMPARE(stored(QStringLiteral("LANGUAGE")).toInt(), 2);
    QCOMPARE(changes.count(), 0);
}

void TestLanguageStart::chooserJapanese()
{
    QSignalSpy changes(VwLanguage::instance(), &VwLanguage::languageChange);
    choose(1, true);
    QCOMPARE(VwLanguage::instance()->language, VwLanguage::LANGUAGE_JAPANESE);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(stored(QStringLiteral("LANGUAGE_AUTO")).toBool(), false);
    QCOMPARE(stored(QStringLiteral("LANGUAGE")).toInt(), 1);
    HxFrameTitle *title = WindowMain::instance()->titleBar;
    QCOMPARE(title->title_info->toolTip(), languageText("viewer_info"));
    QCOMPARE(title->title_close->toolTip(), languageText("close"));
}

int main(int argc, char **argv)
{
    HxTestSandbox sandbox;
    const QString setup = sandbox.documents() + QStringLiteral("/KT-LV550N Doc/viewersetup");
    QDir().mkpath(setup);
    QFile settings(setup + QStringLiteral("/conf64.ini"));
    if (!settings.open(QIODevice::WriteOnly) || settings.write("[APP]\nLANGUAGE=2\n") < 0)
        return 1;
    settings.close();

    QApplication application(argc, argv);
    VwApp::instance()->initialize(&application);
    TestLanguageStart test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_language_start.moc"
