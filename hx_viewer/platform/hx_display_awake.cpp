#include "hx_display_awake.h"

#include "hx_platform_log.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

HxDisplayAwake::HxDisplayAwake(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
}

HxDisplayAwake::~HxDisplayAwake()
{
    // The service also drops the inhibition when our connection closes; this
    // only makes it happen at once.
    if (m_inhibited && m_bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QLatin1String(serviceName()), QLatin1String(objectPath()),
            QLatin1String(interfaceName()), QStringLiteral("UnInhibit"));
        call << m_cookie;
        m_bus.call(call, QDBus::NoBlock);
    }
}

const char *HxDisplayAwake::serviceName()
{
    return "org.freedesktop.ScreenSaver";
}

const char *HxDisplayAwake::objectPath()
{
    return "/org/freedesktop/ScreenSaver";
}

const char *HxDisplayAwake::interfaceName()
{
    return "org.freedesktop.ScreenSaver";
}

void HxDisplayAwake::setRequired(bool on)
{
    m_wanted = on;
    update();
}

void HxDisplayAwake::update()
{
    if (m_pending || !m_bus.isConnected())
        return;
    if (m_wanted && !m_inhibited) {
        if (!m_bus.interface() || !m_bus.interface()->isServiceRegistered(QLatin1String(serviceName())))
            return;
        QDBusMessage call = QDBusMessage::createMethodCall(
            QLatin1String(serviceName()), QLatin1String(objectPath()),
            QLatin1String(interfaceName()), QStringLiteral("Inhibit"));
        const QString application = QCoreApplication::applicationName();
        call << (application.isEmpty() ? QStringLiteral("hx_viewer") : application)
             << QStringLiteral("Playing a recording");
        m_pending = true;
        auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, &HxDisplayAwake::onInhibitFinished);
    } else if (!m_wanted && m_inhibited) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QLatin1String(serviceName()), QLatin1String(objectPath()),
            QLatin1String(interfaceName()), QStringLiteral("UnInhibit"));
        call << m_cookie;
        m_inhibited = false;
        m_bus.call(call, QDBus::NoBlock);
        Q_EMIT stateChanged();
    }
}

void HxDisplayAwake::onInhibitFinished(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    m_pending = false;
    const QDBusPendingReply<uint> reply = *watcher;
    if (reply.isError()) {
        qCDebug(lcHxPlatform) << "HxDisplayAwake::onInhibitFinished" << reply.error().message();
    } else {
        m_cookie = reply.value();
        m_inhibited = true;
    }
    Q_EMIT stateChanged();
    // A release asked for while the request was on its way is carried out now.
    if (!reply.isError())
        update();
}
