#include "vw_app.h"
#include "window_main.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    VwApp::instance()->initialize(&application);
    WindowMain::instance()->show();
    return application.exec();
}
