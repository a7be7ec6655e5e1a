#include "hx_single_instance.h"

#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

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
    void unusableFolderCountsAsTaken();
    void nobodyToActivate();
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

void TstHxSingleInstance::unusableFolderCountsAsTaken()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    HxSingleInstance instance(kKey, dir.filePath(QStringLiteral("no/such/folder")));
    QVERIFY(!instance.tryLock());
}

void TstHxSingleInstance::nobodyToActivate()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    HxSingleInstance instance(kKey, dir.path());
    QVERIFY(!instance.requestActivation(200));
}

QTEST_GUILESS_MAIN(TstHxSingleInstance)
#include "tst_hx_single_instance.moc"
