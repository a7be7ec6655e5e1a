#pragma once

#include <QImage>
#include <QList>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QProcess;

// One object of the accessibility tree as AT-SPI shows it.
struct HxAccessible
{
    int depth = 0;
    QString role;
    QString name;
    QString description;
    QRect rect;
};

// A desktop of its own for driving a program from outside, the way a person
// would: a virtual X server (24-bit), the openbox window manager, a session bus
// with the accessibility bus, and a private HOME. Input goes in as real X
// events through xdotool; results come back as screen grabs and the
// accessibility tree. Everything started here ends with the object.
class HxDesktopSession
{
public:
    HxDesktopSession(const QString &home, const QSize &screenSize);
    ~HxDesktopSession();

    HxDesktopSession(const HxDesktopSession &) = delete;
    HxDesktopSession &operator=(const HxDesktopSession &) = delete;

    // The programs a session needs that are not installed; empty when all are.
    static QStringList missingPrograms();

    bool start(QString *error);
    void stop();

    // For programs started on this desktop: DISPLAY, the session bus, HOME and
    // the XDG folders under home, accessibility on, Qt's default platform.
    QProcessEnvironment environment() const { return m_environment; }
    QString display() const { return m_display; }
    QSize screenSize() const { return m_screenSize; }

    QImage grab() const;

    bool click(const QPoint &point, int button = 1, int count = 1) const;
    // Presses the left button at `from`, moves to `to` in steps and lets go.
    bool drag(const QPoint &from, const QPoint &to) const;
    bool moveMouse(const QPoint &point) const;
    bool keys(const QStringList &names) const;
    bool typeText(const QString &text) const;

    // The visible top-level window whose title is exactly `title`, in screen
    // coordinates; empty when there is none.
    QRect windowRect(const QString &title) const;
    // The window that has the keyboard focus, in screen coordinates.
    QRect activeWindowRect() const;

    // The tree of the application named `application` (its program name).
    QList<HxAccessible> accessibleTree(const QString &application) const;

private:
    bool startDbus(QString *error);
    bool waitForWindowManager() const;
    bool xdotool(const QStringList &arguments, QString *output = nullptr) const;
    QRect geometry(const QString &windowId) const;

    QString m_home;
    QSize m_screenSize;
    QString m_display;
    QProcessEnvironment m_environment;
    std::unique_ptr<QProcess> m_xserver;
    std::unique_ptr<QProcess> m_dbus;
    std::unique_ptr<QProcess> m_windowManager;
    struct XConnection;
    std::unique_ptr<XConnection> m_x;
};

// Polls `probe` every 100 ms until it returns true or `limitMs` has passed.
bool hxWaitFor(int limitMs, const std::function<bool()> &probe);
