#include "vw_application.h"

#include "hx_app_log.h"
#include "hx_single_instance.h"
#include "vw_app.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

const QString &VwApplication::instanceKey()
{
    static const QString key = QStringLiteral("MODEL_TYPE_KT_LV550N_64");
    return key;
}

VwApplication::VwApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // The window class and the Wayland application id, which the desktop
    // entry names, whatever the program file is called.
    setApplicationName(QStringLiteral("kt-lv550n-viewer"));
    setDesktopFileName(QStringLiteral("kt-lv550n-viewer"));

    m_singleInstance = new HxSingleInstance(instanceKey(), QString(), this);
    connect(m_singleInstance, &HxSingleInstance::openRequested, this, &VwApplication::onOpenRequested);
    connect(m_singleInstance, &HxSingleInstance::activationRequested, this,
            &VwApplication::onActivationRequested);
}

VwApplication::~VwApplication()
{
    // Release the lock while the application object still exists.
    delete m_singleInstance;
}

bool VwApplication::isOnlyInstance()
{
    // A lock that cannot be used says nothing about other copies; refusing to
    // start then would let anyone who can spoil the lock keep the viewer shut.
    const HxSingleInstance::LockResult result = m_singleInstance->lock();
    if (result == HxSingleInstance::LockFailed)
        qCWarning(lcHxApp) << "VwApplication::isOnlyInstance" << "starts without the single-instance lock";
    return result != HxSingleInstance::HeldElsewhere;
}

bool VwApplication::activateRunningInstance(const QString &folder)
{
    const bool answered = m_singleInstance->requestActivation(3000, folder);
    qCDebug(lcHxApp) << "VwApplication::activateRunningInstance answered" << answered;
    return answered;
}

void VwApplication::onOpenRequested(const QString &path)
{
    // Any program of this user may talk to the socket: only an existing
    // folder, named in full, is opened.
    const QFileInfo info(path);
    if (!info.isAbsolute() || !info.isDir()) {
        qCDebug(lcHxApp) << "VwApplication::onOpenRequested not a folder" << path;
        return;
    }
    Q_EMIT VwApp::instance()->openFolderRequested(QDir::cleanPath(path));
}

void VwApplication::onActivationRequested()
{
    QWidget *window = VwApp::instance()->mainWindow;
    if (!window || !window->isVisible()) {
        qCDebug(lcHxApp) << "VwApplication::onActivationRequested no visible main window";
        return;
    }
    // Clearing only the minimised flag brings back the full-screen or maximised
    // layout the window had, which the layout events of the window depend on.
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
    Q_EMIT activated();
}
