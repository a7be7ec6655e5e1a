#include "hx_test_sandbox.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <unistd.h>

// Real processes: the probe program (tests/app/instance_probe.cpp)
// and the viewer itself, sharing one private runtime folder for the lock.
class TstVwApplication : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void secondCopyActivatesFirst();
    void killedHolderLeavesNoLock();
    void secondCopyHandsFolderOver_data();
    void secondCopyHandsFolderOver();
    void viewerRefusesSecondCopy();
    void viewerHoldsTheLock();
    void unusableLockIsNoRunningCopy();

private:
    std::unique_ptr<QProcess> start(const QString &program, const QStringList &arguments = {},
                                    const QString &runtime = QString());
    static QByteArray waitForLine(QProcess *process);
    // Runs the probe as a second copy; true when it exited with -42 after the
    // holder answered.
    bool runSecondCopy();

    QString m_probe;
    QString m_viewer;
    QTemporaryDir m_runtime;
    HxTestSandbox m_sandbox;
    std::vector<std::unique_ptr<QProcess>> m_running;
};

namespace {
// A process exit status is one byte: -42 arrives as 214.
constexpr int kSecondCopyExitCode = -42 & 0xff;
}

void TstVwApplication::initTestCase()
{
    m_probe = QString::fromLocal8Bit(qgetenv("HX_INSTANCE_PROBE"));
    m_viewer = QString::fromLocal8Bit(qgetenv("HX_VIEWER"));
    if (m_probe.isEmpty() || m_viewer.isEmpty())
        QSKIP("HX_INSTANCE_PROBE and HX_VIEWER are set by ctest");
    QVERIFY(m_runtime.isValid());
    QVERIFY(m_sandbox.isValid());
}

void TstVwApplication::cleanup()
{
    for (auto &process : m_running) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished();
        }
    }
    m_running.clear();
}

void TstVwApplication::unusableLockIsNoRunningCopy()
{
    // Someone put a folder where the lock file goes: the probe starts (and
    // says why in its log) instead of ending as a second copy.
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    QVERIFY(QDir(runtime.path()).mkdir(QStringLiteral("MODEL_TYPE_KT_LV550N_64-%1.lock").arg(::getuid())));
    m_running.push_back(start(m_probe, {}, runtime.path()));
    QCOMPARE(waitForLine(m_running.back().get()), QByteArray("ready"));
}

std::unique_ptr<QProcess> TstVwApplication::start(const QString &program, const QStringList &arguments,
                                                  const QString &runtime)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.isEmpty() ? m_runtime.path() : runtime);
    environment.insert(QStringLiteral("HOME"), m_sandbox.home());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_sandbox.home() + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The viewer's recording list says in its log what it listed.
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("hx.data.debug=true"));
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(program, arguments);
    return process;
}

QByteArray TstVwApplication::waitForLine(QProcess *process)
{
    while (!process->canReadLine()) {
        if (!process->waitForReadyRead(30000))
            return QByteArray();
    }
    return process->readLine().trimmed();
}

bool TstVwApplication::runSecondCopy()
{
    auto second = start(m_probe);
    if (!second->waitForFinished(30000))
        return false;
    const QByteArray line = second->readAllStandardOutput().trimmed();
    return second->exitStatus() == QProcess::NormalExit && second->exitCode() == kSecondCopyExitCode
        && line == "second answered=1";
}

void TstVwApplication::secondCopyActivatesFirst()
{
    m_running.push_back(start(m_probe));
    QProcess *first = m_running.back().get();
    QCOMPARE(waitForLine(first), QByteArray("ready"));

    auto second = start(m_probe);
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), kSecondCopyExitCode);
    QCOMPARE(second->readAllStandardOutput().trimmed(), QByteArray("second answered=1"));

    // The first copy was minimised; it comes back.
    QCOMPARE(waitForLine(first), QByteArray("activated minimized=0"));
    QCOMPARE(first->state(), QProcess::Running);
}

void TstVwApplication::killedHolderLeavesNoLock()
{
    m_running.push_back(start(m_probe));
    QProcess *first = m_running.back().get();
    QCOMPARE(waitForLine(first), QByteArray("ready"));
    first->kill();
    QVERIFY(first->waitForFinished(30000));
    QCOMPARE(first->exitStatus(), QProcess::CrashExit);

    m_running.push_back(start(m_probe));
    QProcess *next = m_running.back().get();
    QCOMPARE(waitForLine(next), QByteArray("ready"));
    // It listens again in place of the dead copy's socket.
    QVERIFY(runSecondCopy());
    QCOMPARE(waitForLine(next), QByteArray("activated minimized=0"));
}

void TstVwApplication::viewerRefusesSecondCopy()
{
    m_running.push_back(start(m_probe));
    QProcess *first = m_running.back().get();
    QCOMPARE(waitForLine(first), QByteArray("ready"));

    auto viewer = start(m_viewer, {m_sandbox.home()});
    QVERIFY(viewer->waitForFinished(30000));
    QCOMPARE(viewer->exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer->exitCode(), kSecondCopyExitCode);
    // The folder it was given goes to the running copy.
    QCOMPARE(waitForLine(first), "open " + QFile::encodeName(m_sandbox.home()).toPercentEncoding());
    QCOMPARE(waitForLine(first), QByteArray("activated minimized=0"));
    // The refused copy created nothing.
    QVERIFY(!QDir(m_sandbox.documents() + QStringLiteral("/KT-LV550N Doc")).exists());
}

void TstVwApplication::viewerHoldsTheLock()
{
    m_running.push_back(start(m_viewer));
    QProcess *viewer = m_running.back().get();
    QVERIFY(viewer->waitForStarted());
    // The viewer makes its data folders only after it has taken the lock.
    const QString settingsFolder = m_sandbox.documents() + QStringLiteral("/KT-LV550N Doc/viewersetup");
    QTRY_VERIFY_WITH_TIMEOUT(QDir(settingsFolder).exists() || viewer->state() != QProcess::Running, 30000);
    QCOMPARE(viewer->state(), QProcess::Running);

    // The viewer answers once its event loop runs, after the main window is built.
    QTRY_VERIFY_WITH_TIMEOUT(runSecondCopy(), 60000);
    QCOMPARE(viewer->state(), QProcess::Running);

    // A second viewer started with a card leaves it to the running one, which lists it.
    const QString makeCard = hxToolPath(QStringLiteral("make_card/make_card"));
    QTemporaryDir cards;
    const QString card = cards.filePath(QStringLiteral("card"));
    QProcess generator;
    generator.start(makeCard, {QStringLiteral("--small"), QStringLiteral("--quiet"), QStringLiteral("--count"),
                               QStringLiteral("2"), QStringLiteral("--duration"), QStringLiteral("1"), card});
    QVERIFY2(generator.waitForFinished(120000) && generator.exitCode() == 0, generator.readAllStandardError());
    auto second = start(m_viewer, {card});
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitCode(), kSecondCopyExitCode);
    QByteArray log;
    const QByteArray listed("VwVideoFileList::load 4 files 2 recordings");
    QTRY_VERIFY_WITH_TIMEOUT((log += viewer->readAllStandardError()).contains(listed), 30000);
    QCOMPARE(viewer->state(), QProcess::Running);
}

void TstVwApplication::secondCopyHandsFolderOver_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("relative");
    QTest::addColumn<bool>("opened");

    // The running copy opens only an existing folder named in full; anything
    // else still brings it to the front.
    QTest::newRow("folder") << QStringLiteral("SD カード 1") << true << false << true;
    QTest::newRow("line break in the name") << QStringLiteral("card\nB") << true << false << true;
    QTest::newRow("relative") << QStringLiteral("card") << true << true << false;
    QTest::newRow("file") << QStringLiteral("NORM0001.MP4") << false << false << false;
}

void TstVwApplication::secondCopyHandsFolderOver()
{
    QFETCH(QString, name);
    QFETCH(bool, folder);
    QFETCH(bool, relative);
    QFETCH(bool, opened);

    QTemporaryDir parent;
    QVERIFY(parent.isValid());
    const QString path = parent.filePath(name);
    if (folder) {
        QVERIFY(QDir().mkpath(path));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    m_running.push_back(start(m_probe));
    QProcess *first = m_running.back().get();
    QCOMPARE(waitForLine(first), QByteArray("ready"));

    auto second = start(m_probe, {relative ? name : path});
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitCode(), kSecondCopyExitCode);
    QCOMPARE(second->readAllStandardOutput().trimmed(), QByteArray("second answered=1"));

    if (opened)
        QCOMPARE(waitForLine(first), "open " + QFile::encodeName(path).toPercentEncoding());
    QCOMPARE(waitForLine(first), QByteArray("activated minimized=0"));
}

QTEST_GUILESS_MAIN(TstVwApplication)
#include "tst_vw_application.moc"
