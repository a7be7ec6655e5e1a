#include "hx_display_awake.h"

#include <QDBusConnection>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

// A screen saver service on a private bus that counts what it is asked.
class FakeScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    int inhibitCalls = 0;
    QList<uint> released;
    QString lastReason;

public Q_SLOTS:
    uint Inhibit(const QString &application, const QString &reason)
    {
        Q_UNUSED(application)
        lastReason = reason;
        ++inhibitCalls;
        return 40 + uint(inhibitCalls);
    }
    void UnInhibit(uint cookie) { released.append(cookie); }
};

class TstHxDisplayAwake : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void noBusIsSilent();
    void noServiceIsSilent();
    void inhibitsOnceAndReleases();
    void releaseWhileRequestIsOnItsWay();

private:
    QProcess m_daemon;
    QString m_address;
    FakeScreenSaver *m_saver = nullptr;
    int m_connections = 0;

    QDBusConnection connect(const QString &name);
    void registerSaver(bool on);
};

void TstHxDisplayAwake::initTestCase()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is not installed");
    m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--print-address=1")});
    QVERIFY(m_daemon.waitForStarted());
    while (!m_daemon.canReadLine())
        QVERIFY(m_daemon.waitForReadyRead(10000));
    m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
    QVERIFY(!m_address.isEmpty());
    m_saver = new FakeScreenSaver;
}

void TstHxDisplayAwake::cleanupTestCase()
{
    delete m_saver;
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
}

QDBusConnection TstHxDisplayAwake::connect(const QString &name)
{
    const QString unique = name + QString::number(++m_connections);
    return QDBusConnection::connectToBus(m_address, unique);
}

void TstHxDisplayAwake::registerSaver(bool on)
{
    QDBusConnection service = connect(QStringLiteral("service"));
    QVERIFY(service.isConnected());
    if (!on)
        return;
    QVERIFY(service.registerObject(QLatin1String(HxDisplayAwake::objectPath()), m_saver,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(QLatin1String(HxDisplayAwake::serviceName())));
}

void TstHxDisplayAwake::noBusIsSilent()
{
    HxDisplayAwake awake(QDBusConnection(QStringLiteral("never connected")));
    awake.setRequired(true);
    QVERIFY(awake.isRequired());
    QVERIFY(!awake.isInhibited());
    awake.setRequired(false);
    QVERIFY(!awake.isInhibited());
}

void TstHxDisplayAwake::noServiceIsSilent()
{
    QDBusConnection bus = connect(QStringLiteral("client"));
    QVERIFY(bus.isConnected());
    HxDisplayAwake awake(bus);
    QSignalSpy answered(&awake, &HxDisplayAwake::stateChanged);
    awake.setRequired(true);
    QVERIFY(!awake.isInhibited());
    QCOMPARE(answered.count(), 0);
}

void TstHxDisplayAwake::inhibitsOnceAndReleases()
{
    registerSaver(true);
    QDBusConnection bus = connect(QStringLiteral("client"));
    HxDisplayAwake awake(bus);
    QSignalSpy answered(&awake, &HxDisplayAwake::stateChanged);

    // The player asks at the end of every stop; one inhibition must result.
    awake.setRequired(true);
    awake.setRequired(true);
    QTRY_VERIFY(awake.isInhibited());
    awake.setRequired(true);
    QTest::qWait(50);
    QCOMPARE(m_saver->inhibitCalls, 1);
    QVERIFY(!m_saver->lastReason.isEmpty());

    awake.setRequired(false);
    QVERIFY(!awake.isInhibited());
    QTRY_COMPARE(m_saver->released, QList<uint>{41});
}

void TstHxDisplayAwake::releaseWhileRequestIsOnItsWay()
{
    QDBusConnection bus = connect(QStringLiteral("client"));
    const int before = m_saver->inhibitCalls;
    const int releasedBefore = m_saver->released.size();
    HxDisplayAwake awake(bus);
    QSignalSpy answered(&awake, &HxDisplayAwake::stateChanged);
    awake.setRequired(true);
    awake.setRequired(false);
    QTRY_COMPARE(m_saver->inhibitCalls, before + 1);
    QTRY_COMPARE(m_saver->released.size(), releasedBefore + 1);
    QVERIFY(!awake.isInhibited());
}

QTEST_GUILESS_MAIN(TstHxDisplayAwake)
#include "tst_hx_display_awake.moc"
