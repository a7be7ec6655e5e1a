#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// Keeps the screen saver and display power saving away through the
// freedesktop ScreenSaver interface of the session bus. Without a session bus
// or without a screen saver service nothing happens.
class HxDisplayAwake : public QObject
{
    Q_OBJECT

public:
    explicit HxDisplayAwake(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                            QObject *parent = nullptr);
    ~HxDisplayAwake() override;

    // Idempotent: repeated requests hold one inhibition.
    void setRequired(bool on);
    bool isRequired() const { return m_wanted; }
    // True while the screen saver service holds our inhibition.
    bool isInhibited() const { return m_inhibited; }

    static const char *serviceName();
    static const char *objectPath();
    static const char *interfaceName();

Q_SIGNALS:
    // The service answered a request (tests and diagnostics).
    void stateChanged();

private:
    void update();
    void onInhibitFinished(QDBusPendingCallWatcher *watcher);

    QDBusConnection m_bus;
    bool m_wanted = false;
    bool m_pending = false;
    bool m_inhibited = false;
    uint m_cookie = 0;
};
