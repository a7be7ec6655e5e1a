// A stand-in for the viewer in the single-instance test: the same application
// object and the same decisions as the viewer's start-up, with a plain window
// and its state reported on stdout. A second copy hands its argument over
// as the folder to open; the first reports the folder it is asked to open,
// percent-encoded.
#include "vw_app.h"
#include "vw_application.h"

#include <QFile>
#include <QWidget>

#include <cstdio>

int main(int argc, char **argv)
{
    VwApplication application(argc, argv);
    if (!application.isOnlyInstance()) {
        const QString folder = argc > 1 ? QFile::decodeName(argv[1]) : QString();
        const bool answered = application.activateRunningInstance(folder);
        std::printf("second answered=%d\n", answered ? 1 : 0);
        std::fflush(stdout);
        return -42;
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("KT-LV550N_A"));
    window.showMinimized();
    VwApp::instance()->mainWindow = &window;
    QObject::connect(&application, &VwApplication::activated, [&window] {
        std::printf("activated minimized=%d\n", window.isMinimized() ? 1 : 0);
        std::fflush(stdout);
    });
    QObject::connect(VwApp::instance(), &VwApp::openFolderRequested, [](const QString &folder) {
        std::printf("open %s\n", QFile::encodeName(folder).toPercentEncoding().constData());
        std::fflush(stdout);
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}
