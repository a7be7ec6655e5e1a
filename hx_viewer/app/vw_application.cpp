#include "vw_application.h"

#include "hx_app_log.h"
#include "hx_single_instance.h"
#include "vw_app.h"

#include <QWidget>

const QString &VwApplication::instanceKey()
{
    static const QString key = QStringLiteral("MODEL_TYPE_KT_LV550N_64");
    return key;
}

VwApplication::VwApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    m_singleInstance = new HxSingleInstance(instanceKey(), QString(), this);
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

bool VwApplication::activateRunningInstance()
{
    const bool answered = m_singleInstance->requestActivation();
    qCDebug(lcHxApp) << "VwApplication::activateRunningInstance answered" << answered;
    return answered;
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
