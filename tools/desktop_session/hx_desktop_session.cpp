#include "hx_desktop_session.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {
constexpr int kStartLimitMs = 15000;
const QString kDebianPython = QStringLiteral("/usr/bin/python3");

void endProcess(std::unique_ptr<QProcess> &process)
{
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    process.reset();
}

} // namespace

struct HxDesktopSession::XConnection
{
    Display *display = nullptr;
    ~XConnection()
    {
        if (display)
            XCloseDisplay(display);
    }
};

bool hxWaitFor(int limitMs, const std::function<bool()> &probe)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (probe())
            return true;
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(100);
    }
}

HxDesktopSession::HxDesktopSession(const QString &home, const QSize &screenSize)
    : m_home(home)
    , m_screenSize(screenSize)
{
}

HxDesktopSession::~HxDesktopSession()
{
    stop();
}

QStringList HxDesktopSession::missingPrograms()
{
    QStringList missing;
    for (const char *program : {"Xvfb", "openbox", "dbus-daemon", "xdotool"}) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            missing << QLatin1String(program);
    }
    if (!QFile::exists(kDebianPython)
        || QProcess::execute(kDebianPython, {QStringLiteral("-c"), QStringLiteral("import pyatspi")})
               != 0)
        missing << QStringLiteral("python3-pyatspi");
    return missing;
}

bool HxDesktopSession::start(QString *error)
{
    m_xserver = std::make_unique<QProcess>();
    m_xserver->setProcessChannelMode(QProcess::SeparateChannels);
    // -displayfd: the server picks a free display and names it on stdout.
    m_xserver->start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                      QStringLiteral("0"),
                      QStringLiteral("%1x%2x24").arg(m_screenSize.width()).arg(m_screenSize.height()),
                      QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
    QByteArray number;
    const bool named = hxWaitFor(kStartLimitMs, [&] {
        m_xserver->waitForReadyRead(50);
        number += m_xserver->readAllStandardOutput();
        return number.contains('\n') || m_xserver->state() == QProcess::NotRunning;
    });
    if (!named || !number.contains('\n')) {
        *error = QStringLiteral("Xvfb did not start: ") + QString::fromLocal8Bit(m_xserver->readAllStandardError());
        return false;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());

    m_x = std::make_unique<XConnection>();
    m_x->display = XOpenDisplay(m_display.toLatin1().constData());
    if (!m_x->display) {
        *error = QStringLiteral("cannot connect to ") + m_display;
        return false;
    }

    const QString runtime = m_home + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir().mkpath(m_home + QStringLiteral("/Documents"));
    m_environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "HX_AUDIO_OUTPUT", "WAYLAND_DISPLAY",
                             "SESSION_MANAGER", "XAUTHORITY"})
        m_environment.remove(QLatin1String(name));
    m_environment.insert(QStringLiteral("DISPLAY"), m_display);
    m_environment.insert(QStringLiteral("HOME"), m_home);
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home + QStringLiteral("/.config"));
    m_environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home + QStringLiteral("/.local/share"));
    m_environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home + QStringLiteral("/.cache"));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    m_environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    if (!startDbus(error))
        return false;

    m_windowManager = std::make_unique<QProcess>();
    m_windowManager->setProcessEnvironment(m_environment);
    m_windowManager->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_windowManager->setStandardOutputFile(QProcess::nullDevice());
    m_windowManager->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!waitForWindowManager()) {
        *error = QStringLiteral("openbox did not start");
        return false;
    }
    return true;
}

bool HxDesktopSession::startDbus(QString *error)
{
    m_dbus = std::make_unique<QProcess>();
    m_dbus->setProcessEnvironment(m_environment);
    m_dbus->start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    QByteArray address;
    hxWaitFor(kStartLimitMs, [&] {
        m_dbus->waitForReadyRead(50);
        address += m_dbus->readAllStandardOutput();
        return address.contains('\n') || m_dbus->state() == QProcess::NotRunning;
    });
    if (!address.contains('\n')) {
        *error = QStringLiteral("dbus-daemon did not start");
        return false;
    }
    const QString busAddress = QString::fromLatin1(address.trimmed());
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);

    // Programs look for the accessibility bus once, when they start: it must
    // run before them.
    const QString connectionName = QStringLiteral("hx-desktop-") + m_display;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(busAddress, connectionName);
        QDBusInterface launcher(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                QStringLiteral("org.a11y.Bus"), bus);
        const QDBusReply<QString> reply = launcher.call(QStringLiteral("GetAddress"));
        if (!reply.isValid())
            *error = QStringLiteral("no accessibility bus: ") + reply.error().message();
    }
    QDBusConnection::disconnectFromBus(connectionName);
    return error->isEmpty();
}

bool HxDesktopSession::waitForWindowManager() const
{
    const Atom check = XInternAtom(m_x->display, "_NET_SUPPORTING_WM_CHECK", False);
    return hxWaitFor(kStartLimitMs, [&] {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char *data = nullptr;
        const int status = XGetWindowProperty(m_x->display, DefaultRootWindow(m_x->display), check, 0,
                                              1, False, XA_WINDOW, &type, &format, &count, &after,
                                              &data);
        const bool present = status == Success && count == 1;
        if (data)
            XFree(data);
        return present;
    });
}

void HxDesktopSession::stop()
{
    endProcess(m_windowManager);
    // The accessibility bus launcher leaves with the session bus.
    endProcess(m_dbus);
    m_x.reset();
    endProcess(m_xserver);
}

QImage HxDesktopSession::grab() const
{
    if (!m_x || !m_x->display)
        return QImage();
    XImage *shot = XGetImage(m_x->display, DefaultRootWindow(m_x->display), 0, 0,
                             unsigned(m_screenSize.width()), unsigned(m_screenSize.height()),
                             AllPlanes, ZPixmap);
    if (!shot)
        return QImage();
    QImage image;
    // A 24-bit TrueColor screen comes as 32-bit little-endian BGRX, which is
    // QImage's RGB32.
    if (shot->bits_per_pixel == 32)
        image = QImage(reinterpret_cast<const uchar *>(shot->data), shot->width, shot->height,
                       shot->bytes_per_line, QImage::Format_RGB32)
                    .copy();
    XDestroyImage(shot);
    return image;
}

bool HxDesktopSession::xdotool(const QStringList &arguments, QString *output) const
{
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(10000))
        return false;
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool HxDesktopSession::moveMouse(const QPoint &point) const
{
    // Not --sync: it waits forever when the pointer is there already.
    return xdotool({QStringLiteral("mousemove"), QString::number(point.x()),
                    QString::number(point.y()), QStringLiteral("sleep"), QStringLiteral("0.1")});
}

bool HxDesktopSession::click(const QPoint &point, int button, int count) const
{
    return moveMouse(point)
        && xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(count),
                    QStringLiteral("--delay"), QStringLiteral("80"), QString::number(button)});
}

bool HxDesktopSession::drag(const QPoint &from, const QPoint &to) const
{
    if (!moveMouse(from))
        return false;
    QStringList arguments{QStringLiteral("mousedown"), QStringLiteral("1")};
    constexpr int kSteps = 5;
    for (int step = 1; step <= kSteps; ++step) {
        const QPoint point = from + (to - from) * step / kSteps;
        arguments << QStringLiteral("sleep") << QStringLiteral("0.1") << QStringLiteral("mousemove")
                  << QString::number(point.x()) << QString::number(point.y());
    }
    arguments << QStringLiteral("sleep") << QStringLiteral("0.1") << QStringLiteral("mouseup")
              << QStringLiteral("1");
    return xdotool(arguments);
}

bool HxDesktopSession::keys(const QStringList &names) const
{
    return xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")}
                   + names);
}

bool HxDesktopSession::typeText(const QString &text) const
{
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
}

QRect HxDesktopSession::windowRect(const QString &title) const
{
    QString ids;
    if (!xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                  QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')},
                 &ids))
        return QRect();
    return geometry(ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts).value(0));
}

QRect HxDesktopSession::activeWindowRect() const
{
    QString id;
    if (!xdotool({QStringLiteral("getactivewindow")}, &id))
        return QRect();
    return geometry(id.trimmed());
}

QRect HxDesktopSession::geometry(const QString &id) const
{
    QString shell;
    if (id.isEmpty()
        || !xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id}, &shell))
        return QRect();
    QHash<QString, int> values;
    for (const QString &line : shell.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            values.insert(line.left(equals), line.mid(equals + 1).toInt());
    }
    return QRect(values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
                 values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT")));
}

QList<HxAccessible> HxDesktopSession::accessibleTree(const QString &application) const
{
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.start(kDebianPython, {QStringLiteral(HX_ATSPI_SCRIPT), application});
    QList<HxAccessible> tree;
    if (!process.waitForFinished(30000)) {
        qWarning() << "HxDesktopSession::accessibleTree" << application << "timed out";
        process.kill();
        process.waitForFinished(5000);
        return tree;
    }
    const QByteArray errors = process.readAllStandardError();
    if (!errors.isEmpty())
        qWarning() << "HxDesktopSession::accessibleTree" << errors.trimmed().left(500);
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() != 8)
            continue;
        HxAccessible node;
        node.depth = fields.at(0).toInt();
        node.role = fields.at(1);
        node.name = fields.at(2);
        node.description = fields.at(3);
        node.rect = QRect(fields.at(4).toInt(), fields.at(5).toInt(), fields.at(6).toInt(),
                          fields.at(7).toInt());
        tree << node;
    }
    return tree;
}
