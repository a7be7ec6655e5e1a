#include "hx_single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

// Two lock objects in one process stand for two processes: flock() locks
// belong to the open file, not to the process. The activation round trip
// between real processes is tested with the application object.
class TstHxSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lockIsExclusive();
    void lockIsReleasedWithItsHolder();
    void staleSocketIsReplaced();
    void unusableLockIsNoRunningCopy_data();
    void unusableLockIsNoRunningCopy();
    void privateFolderWithoutRuntimeFolder();
    void nobodyToActivate();
    void requests_data();
    void requests();
};

namespace {
const QString kKey = QStringLiteral("TEST_INSTANCE");
}

void TstHxSingleInstance::lockIsExclusive()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    HxSingleInstance first(kKey, dir.path());
    HxSingleInstance second(kKey, dir.path());
    QVERIFY(first.tryLock());
    QVERIFY(first.tryLock());
    QVERIFY(!second.tryLock());
    QVERIFY(!second.isLocked());

    HxSingleInstance otherKey(kKey + QStringLiteral("_OTHER"), dir.path());
    QVERIFY(otherKey.tryLock());
}

void TstHxSingleInstance::lockIsReleasedWithItsHolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    {
        HxSingleInstance first(kKey, dir.path());
        QVERIFY(first.tryLock());
    }
    HxSingleInstance next(kKey, dir.path());
    QVERIFY(next.tryLock());
}

void TstHxSingleInstance::staleSocketIsReplaced()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    HxSingleInstance instance(kKey, dir.path());
    {
        QFile stale(instance.serverPath());
        QVERIFY(stale.open(QIODevice::WriteOnly));
    }
    QVERIFY(instance.tryLock());

    QLocalSocket socket;
    socket.connectToServer(instance.serverPath());
    QVERIFY2(socket.waitForConnected(5000), qPrintable(socket.errorString()));
}

void TstHxSingleInstance::unusableLockIsNoRunningCopy_data()
{
    QTest::addColumn<QString>("planted");
    QTest::newRow("no such folder") << "";
    QTest::newRow("link to a file elsewhere") << "link";
    QTest::newRow("folder") << "folder";
    QTest::newRow("file of another user") << "foreign";
}

// What another user may leave under the lock's name: the lock cannot be
// used, which is not the same as another copy holding it.
void TstHxSingleInstance::unusableLockIsNoRunningCopy()
{
    QFETCH(QString, planted);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    HxSingleInstance instance(kKey, planted.isEmpty() ? dir.filePath(QStringLiteral("no/such/folder")) : dir.path());
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
    QFile(elsewhere).open(QIODevice::WriteOnly);
    if (planted == QLatin1String("link"))
        QVERIFY(QFile::link(elsewhere, instance.lockPath()));
    if (planted == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(instance.lockPath()));
    if (planted == QLatin1String("foreign")) {
        if (::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        QFile(instance.lockPath()).open(QIODevice::WriteOnly);
        QCOMPARE(::chown(QFile::encodeName(instance.lockPath()).constData(), 65534, 65534), 0);
    }
    QCOMPARE(instance.lock(), HxSingleInstance::LockFailed);
    QVERIFY(!instance.isLocked());
}

void TstHxSingleInstance::privateFolderWithoutRuntimeFolder()
{
    // Without a runtime folder, Qt's stand-in in the temporary folder may
    // belong to someone else (here it is a file); the lock then goes to a
    // private folder, never to the shared temporary folder.
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(temporary.path()));
    const passwd *user = ::getpwuid(::geteuid());
    QVERIFY(user);
    QFile(temporary.filePath(QStringLiteral("runtime-") + QString::fromLocal8Bit(user->pw_name))).open(QIODevice::WriteOnly);
    const QString folder = HxSingleInstance::defaultDirectory();
    qunsetenv("TMPDIR");

    QVERIFY(!folder.isEmpty());
    QVERIFY(!folder.startsWith(temporary.path()));
    const QFileInfo info(folder);
    QVERIFY(info.isDir() && !info.isSymLink());
    QCOMPARE(info.ownerId(), uint(::geteuid()));
    QCOMPARE(info.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                                   | QFile::WriteOther | QFile::ExeOther), QFile::Permissions());
}

void TstHxSingleInstance::nobodyToActivate()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    HxSingleInstance instance(kKey, dir.path());
    QVERIFY(!instance.requestActivation(200));
}

void TstHxSingleInstance::requests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QString>("opened");

    QTest::newRow("activate") << QByteArray("activate\n") << true << QString();
    QTest::newRow("open") << QByteArray("open %2Fmedia%2FSD%20%E3%82%AB%E3%83%BC%E3%83%89%0A2\n") << true
                          << QStringLiteral("/media/SD カード\n2");
    QTest::newRow("open without a path") << QByteArray("open \n") << true << QString();
    QTest::newRow("unknown") << QByteArray("quit\n") << false << QString();
    QTest::newRow("endless line") << QByteArray(20000, 'a') << false << QString();
    QTest::newRow("path beyond any limit") << "open " + QByteArray(13000, 'a') + '\n' << false << QString();
}

void TstHxSingleInstance::requests()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, answered);
    QFETCH(QString, opened);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    HxSingleInstance holder(kKey, dir.path());
    QVERIFY(holder.tryLock());
    QSignalSpy openSpy(&holder, &HxSingleInstance::openRequested);
    QSignalSpy activationSpy(&holder, &HxSingleInstance::activationRequested);

    QLocalSocket client;
    client.connectToServer(holder.serverPath());
    QVERIFY(client.waitForConnected(5000));
    client.write(request);
    // The holder hangs up after its answer, or at once on a bad request.
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 10000);
    QCOMPARE(client.readAll(), answered ? QByteArray("ok\n") : QByteArray());
    QCOMPARE(activationSpy.count(), answered ? 1 : 0);
    QCOMPARE(openSpy.count(), opened.isEmpty() ? 0 : 1);
    if (!opened.isEmpty())
        QCOMPARE(openSpy.at(0).at(0).toString(), opened);
}

QTEST_GUILESS_MAIN(TstHxSingleInstance)
#include "tst_hx_single_instance.moc"
