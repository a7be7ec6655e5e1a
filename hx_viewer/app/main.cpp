#include "hx_web_host.h"
#include "vw_app.h"
#include "vw_application.h"
#include "vw_graphics_adapter.h"
#include "vw_settings.h"
#include "window_main.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

// A single existing folder given on the command line is opened at start, or
// by the copy already running; anything else on the command line is ignored.
QString folderArgument(int argc, char **argv)
{
    if (argc != 2)
        return QString();
    const QFileInfo info(QFile::decodeName(argv[1]));
    if (!info.isDir())
        return QString();
    return QDir::cleanPath(info.absoluteFilePath());
}

void chooseRenderingMode()
{
    if (isLegacyGraphicsAdapter() || VwSettings::instance()->softwareRenderingForced()) {
        QCoreApplication::setAttribute(Qt::AA_UseSoftwareOpenGL);
        // Qt's attribute only switches libraries where OpenGL is loaded
        // dynamically; Mesa takes its software rasteriser from the environment.
        if (qEnvironmentVariableIsEmpty("LIBGL_ALWAYS_SOFTWARE"))
            qputenv("LIBGL_ALWAYS_SOFTWARE", "1");
    } else {
        QCoreApplication::setAttribute(Qt::AA_UseDesktopOpenGL);
    }
}

} // namespace

int main(int argc, char **argv)
{
    // Recording names carry local times. With TZ unset, glibc looks at
    // /etc/localtime again on every conversion, which dominates a card scan;
    // naming the zone file once keeps the same zone without the checks.
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", ":/etc/localtime");

    const QString startFolder = folderArgument(argc, argv);
    chooseRenderingMode();
    HxWebHost::prepareProcess();

    // Qt sees the program name only, so options on the command line cannot
    // change its platform or style.
    static int qtArgc = 1;
    static char *qtArgv[] = {argv[0], nullptr};
    VwApplication application(qtArgc, qtArgv);
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);

    if (!application.isOnlyInstance()) {
        application.activateRunningInstance(startFolder);
        return -42;
    }

    VwApp::instance()->initialize(&application);
    VwApp::instance()->setStartFolder(startFolder);
    WindowMain::instance()->show();
    QTimer::singleShot(0, VwApp::instance(), &VwApp::requestStartFolder);
    return application.exec();
}
