#include "hx_test_files.h"
#include "hx_test_sandbox.h"
#include "vw_app.h"
#include "vw_settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

// The store is a process-wide singleton that opens its file once, so the whole
// test shares one sandbox and each case starts from an empty file.
class TstVwSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void defaultsWithoutFile();
    void writeThrough_data();
    void writeThrough();
    void equalToDefaultWritesNothing_data();
    void equalToDefaultWritesNothing();
    void storedValues_data();
    void storedValues();
    void slashSpellingRoundTrips();

private:
    QString settingsPath() const { return VwApp::instance()->appPath(VwApp::PATH_SETTINGS); }
    QString readFile() const;
    void writeFile(const QByteArray &text);

    HxTestSandbox m_sandbox;
};

QString TstVwSettings::readFile() const
{
    QFile file(settingsPath());
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void TstVwSettings::writeFile(const QByteArray &text)
{
    QVERIFY(hxWriteFile(settingsPath(), text));
    // The store rereads a file changed by someone else on its next sync.
    VwSettings::instance()->settingsFile->sync();
}

void TstVwSettings::initTestCase()
{
    QVERIFY(m_sandbox.isValid());
    VwApp::instance()->createAppFolders();
    QVERIFY(settingsPath().startsWith(m_sandbox.documents() + QStringLiteral("/KT-LV550N Doc/")));
    QVERIFY(!QFile::exists(settingsPath()));
    VwSettings::instance()->open();
    QVERIFY(VwSettings::instance()->settingsFile);
    QCOMPARE(VwSettings::instance()->settingsFile->fileName(), settingsPath());
}

void TstVwSettings::init()
{
    VwSettings::instance()->settingsFile->clear();
    VwSettings::instance()->settingsFile->sync();
    QFile::remove(settingsPath());
    VwSettings::instance()->settingsFile->sync();
}

void TstVwSettings::defaultsWithoutFile()
{
    VwSettings *settings = VwSettings::instance();
    QCOMPARE(settings->language(), 1);
    QCOMPARE(settings->languageAuto(), false);
    QCOMPARE(settings->backupPath(), m_sandbox.documents() + QStringLiteral("/KT-LV550N Doc/backup"));
    QCOMPARE(settings->recentPath(), m_sandbox.desktop());
    QCOMPARE(settings->softwareRenderingForced(), false);
    QVERIFY(!QFile::exists(settingsPath()));
}

void TstVwSettings::writeThrough_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");

    QTest::newRow("language") << "language" << "APP/LANGUAGE" << QVariant(2);
    QTest::newRow("language auto") << "languageAuto" << "APP/LANGUAGE_AUTO" << QVariant(true);
    QTest::newRow("backup") << "backup" << "PATH/BACKUP" << QVariant(QStringLiteral("/media/user/CARD/save"));
    QTest::newRow("recent, Japanese and blanks")
        << "recent" << "PATH/RECENT" << QVariant(QStringLiteral("/media/user/ドラレコ カード, 2"));
    QTest::newRow("recent, leading @") << "recent" << "PATH/RECENT" << QVariant(QStringLiteral("@home"));
}

void TstVwSettings::writeThrough()
{
    QFETCH(QString, what);
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    VwSettings *settings = VwSettings::instance();

    if (what == QLatin1String("language"))
        settings->setLanguage(value.toInt());
    else if (what == QLatin1String("languageAuto"))
        settings->setLanguageAuto(value.toBool());
    else if (what == QLatin1String("backup"))
        settings->setBackupPath(value.toString());
    else
        settings->setRecentPath(value.toString());

    // Another reader sees the value at once: nothing waits for the program to end.
    const QSettings fresh(settingsPath(), QSettings::IniFormat);
    QCOMPARE(fresh.value(key).toString(), value.toString());
}

void TstVwSettings::equalToDefaultWritesNothing_data()
{
    QTest::addColumn<bool>("backup");
    QTest::newRow("backup folder") << true;
    QTest::newRow("desktop as recent folder") << false;
}

void TstVwSettings::equalToDefaultWritesNothing()
{
    QFETCH(bool, backup);
    VwSettings *settings = VwSettings::instance();
    if (backup)
        settings->setBackupPath(VwApp::instance()->appPath(VwApp::PATH_BACKUP));
    else
        settings->setRecentPath(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    QVERIFY(!QFile::exists(settingsPath()));

    // The same once a value is stored: choosing it again writes nothing more.
    const QString chosen = m_sandbox.home() + QStringLiteral("/chosen");
    if (backup)
        settings->setBackupPath(chosen);
    else
        settings->setRecentPath(chosen);
    QVERIFY(QFile::remove(settingsPath()));
    if (backup)
        settings->setBackupPath(chosen);
    else
        settings->setRecentPath(chosen);
    QVERIFY(!QFile::exists(settingsPath()));
}

void TstVwSettings::storedValues_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("languageAuto");
    QTest::addColumn<QString>("recent");

    const QString desktop = QStringLiteral("<desktop>");
    QTest::newRow("English") << QByteArray("[APP]\nLANGUAGE=2\nLANGUAGE_AUTO=true\n") << 2 << true << desktop;
    QTest::newRow("letters as language") << QByteArray("[APP]\nLANGUAGE=abc\n") << 1 << false << desktop;
    QTest::newRow("unknown language") << QByteArray("[APP]\nLANGUAGE=7\n") << 1 << false << desktop;
    QTest::newRow("language list") << QByteArray("[APP]\nLANGUAGE=1, 2\n") << 1 << false << desktop;
    QTest::newRow("auto as word") << QByteArray("[APP]\nLANGUAGE_AUTO=yes\n") << 1 << false << desktop;
    QTest::newRow("auto as number") << QByteArray("[APP]\nLANGUAGE_AUTO=1\n") << 1 << true << desktop;
    QTest::newRow("empty recent") << QByteArray("[PATH]\nRECENT=\n") << 1 << false << desktop;
    QTest::newRow("recent") << QByteArray("[PATH]\nRECENT=/media/card\n") << 1 << false
                            << QStringLiteral("/media/card");
    QTest::newRow("recent as list") << QByteArray("[PATH]\nRECENT=/a, /b\n") << 1 << false << desktop;
    QTest::newRow("not an INI file") << QByteArray("\x00\x01\xff garbage", 11) << 1 << false << desktop;
}

void TstVwSettings::storedValues()
{
    QFETCH(QByteArray, file);
    QFETCH(int, language);
    QFETCH(bool, languageAuto);
    QFETCH(QString, recent);
    if (recent == QLatin1String("<desktop>"))
        recent = m_sandbox.desktop();

    writeFile(file);
    VwSettings *settings = VwSettings::instance();
    QCOMPARE(settings->language(), language);
    QCOMPARE(settings->languageAuto(), languageAuto);
    QCOMPARE(settings->recentPath(), recent);
}

void TstVwSettings::slashSpellingRoundTrips()
{
    VwSettings *settings = VwSettings::instance();
    settings->setBackupPath(QStringLiteral("/mnt/backup"));
    settings->setRecentPath(QStringLiteral("/mnt/card"));

    const QString text = readFile();
    QVERIFY2(text.contains(QStringLiteral("[PATH]")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("\nBACKUP=/mnt/backup")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("\nRECENT=/mnt/card")), qPrintable(text));

    QSettings fresh(settingsPath(), QSettings::IniFormat);
    fresh.beginGroup(QStringLiteral("/PATH"));
    QCOMPARE(fresh.value(QStringLiteral("/BACKUP")).toString(), QStringLiteral("/mnt/backup"));
    fresh.endGroup();
    QCOMPARE(fresh.value(QStringLiteral("PATH/RECENT")).toString(), QStringLiteral("/mnt/card"));

    // A file written by hand without the slashes reads the same.
    writeFile("[PATH]\nBACKUP=/srv/copies\n");
    QCOMPARE(settings->backupPath(), QStringLiteral("/srv/copies"));
}

QTEST_MAIN(TstVwSettings)
#include "tst_vw_settings.moc"
