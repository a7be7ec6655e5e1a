#include "window_main.h"

#include "vw_app.h"

WindowMain::WindowMain(QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint)
{
    setWindowTitle(QStringLiteral("KT-LV550N_A"));
    setFixedSize(1094, 687);
    VwApp::instance()->mainWindow = this;
    VwApp::instance()->installShortcuts();
}

WindowMain *WindowMain::instance()
{
    static WindowMain *window = new WindowMain;
    return window;
}
