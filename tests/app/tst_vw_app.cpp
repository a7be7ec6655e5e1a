#include "hx_folder_dialog.h"
#include "hx_test_files.h"
#include "hx_test_sandbox.h"
#include "vw_app.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

class TstVwApp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void appPath_data();
    void appPath();
    void createAppFolders();
    void missingDocumentsSkipsCreation();
    void applicationFont();
    void digitFont();
    void browseFolderCaptions();
    void browseFolderResult();

private:
    // Runs browseFolder while answering the dialog with the given function.
    QString browse(const QString &start, bool allowNewFolder, const QString &title,
                   const std::function<void(HxFolderDialog *)> &answer);

    HxTestSandbox m_sandbox;
};

void TstVwApp::initTestCase()
{
    QVERIFY(m_sandbox.isValid());
}

void TstVwApp::appPath_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("relative");

    QTest::newRow("0") << 0 << "";
    QTest::newRow("report") << int(VwApp::PATH_REPORT) << "KT-LV550N Doc/report";
    QTest::newRow("settings") << int(VwApp::PATH_SETTINGS) << "KT-LV550N Doc/viewersetup/conf64.ini";
    QTest::newRow("backup") << int(VwApp::PATH_BACKUP) << "KT-LV550N Doc/backup";
    QTest::newRow("4") << 4 << "";
    QTest::newRow("negative") << -1 << "";
}

void TstVwApp::appPath()
{
    QFETCH(int, kind);
    QFETCH(QString, relative);
    const QString expected = relative.isEmpty() ? QString() : m_sandbox.documents() + QLatin1Char('/') + relative;
    QCOMPARE(VwApp::instance()->appPath(kind), expected);
}

void TstVwApp::createAppFolders()
{
    const QString data = m_sandbox.documents() + QStringLiteral("/KT-LV550N Doc");
    QDir(data).removeRecursively();
    VwApp::instance()->createAppFolders();
    for (const char *name : {"report", "viewersetup", "backup"})
        QVERIFY2(QDir(data + QLatin1Char('/') + QLatin1String(name)).exists(), name);

    // Existing folders and what they hold are left alone.
    const QString keep = data + QStringLiteral("/backup/keep.txt");
    QVERIFY(hxWriteFile(keep, QByteArray()));
    VwApp::instance()->createAppFolders();
    QVERIFY(QFile::exists(keep));
}

void TstVwApp::missingDocumentsSkipsCreation()
{
    QVERIFY(QDir(m_sandbox.documents()).removeRecursively());
    VwApp::instance()->createAppFolders();
    QVERIFY(!QDir(m_sandbox.documents()).exists());
    QVERIFY(QDir().mkpath(m_sandbox.documents()));
}

void TstVwApp::applicationFont()
{
    const QFont before = QApplication::font();
    VwApp::instance()->setAppFont(QStringLiteral("No Such Family 1234"), false);
    QCOMPARE(QApplication::font(), before);

    const QStringList families = QFontDatabase().families();
    if (!families.contains(QStringLiteral("MS PGothic")) && !families.contains(QStringLiteral("IPAPGothic")))
        QSKIP("neither MS PGothic nor IPAPGothic is installed (fonts-ipafont-gothic)");
    VwApp::instance()->setAppFont(QStringLiteral("MS PGothic"), false);
    const QString expected = families.contains(QStringLiteral("MS PGothic")) ? QStringLiteral("MS PGothic")
                                                                            : QStringLiteral("IPAPGothic");
    QCOMPARE(QApplication::font().family(), expected);
    QCOMPARE(QApplication::font().styleStrategy(), QFont::PreferAntialias);
}

void TstVwApp::digitFont()
{
    if (!QFile::exists(VwApp::digitFontResource()))
        QSKIP("the digit font is not compiled into the resources yet");
    VwApp::instance()->setAppFont(QStringLiteral("No Such Family 1234"), false);
    QVERIFY(QFontDatabase().families().contains(QStringLiteral("DSEG7 Classic")));
}

QString TstVwApp::browse(const QString &start, bool allowNewFolder, const QString &title,
                         const std::function<void(HxFolderDialog *)> &answer)
{
    bool answered = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<HxFolderDialog *>(QApplication::activeModalWidget());
        if (!dialog || answered)
            return;
        answered = true;
        answer(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    poll.start();
    const QString chosen = VwApp::instance()->browseFolder(start, allowNewFolder, title);
    if (!answered)
        qWarning("the folder dialog never showed");
    return chosen;
}

void TstVwApp::browseFolderCaptions()
{
    // The caption is the last title given; an empty title shows the generic instruction.
    const struct {
        const char *title;
        const char *caption;
        const char *instruction;
    } steps[] = {
        {"", "", "ファイルOPEN"},
        {"保存", "保存", "保存"},
        {"", "保存", "ファイルOPEN"},
        {"Open Folder", "Open Folder", "Open Folder"},
        {"", "Open Folder", "ファイルOPEN"},
    };
    for (const auto &step : steps) {
        QString caption;
        QString instruction;
        browse(m_sandbox.home(), false, QString::fromUtf8(step.title), [&](HxFolderDialog *dialog) {
            caption = dialog->windowTitle();
            instruction = dialog->instruction();
        });
        QCOMPARE(caption, QString::fromUtf8(step.caption));
        QCOMPARE(instruction, QString::fromUtf8(step.instruction));
    }
}

void TstVwApp::browseFolderResult()
{
    QWidget window;
    window.setFocusPolicy(Qt::StrongFocus);
    window.show();
    VwApp::instance()->mainWindow = &window;

    bool newFolderAllowed = false;
    QString current;
    const QString cancelled = browse(m_sandbox.desktop(), true, QStringLiteral("保存"), [&](HxFolderDialog *dialog) {
        newFolderAllowed = dialog->isNewFolderAllowed();
        current = dialog->currentFolder();
    });
    QVERIFY(cancelled.isEmpty());
    QVERIFY(newFolderAllowed);
    QCOMPARE(current, m_sandbox.desktop());

    const QString chosen = browse(m_sandbox.desktop(), false, QString(), [](HxFolderDialog *dialog) {
        QVERIFY(!dialog->isNewFolderAllowed());
        QVERIFY(dialog->isAcceptEnabled());
        auto *files = dialog->findChild<QDialog *>();
        QVERIFY(files);
        QMetaObject::invokeMethod(files, "accept");
    });
    QCOMPARE(chosen, QDir::toNativeSeparators(m_sandbox.desktop()));
    VwApp::instance()->mainWindow = nullptr;
}

QTEST_MAIN(TstVwApp)
#include "tst_vw_app.moc"
