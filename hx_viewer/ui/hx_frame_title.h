#pragma once

#include "vw_play_event.h"
#include "vw_widget_base.h"

class HxButton;
class QHBoxLayout;
class QLabel;
class QShortcut;
class VwVideoItem;

// The main window's title bar: logo, the playing file's path and the window
// commands. It follows the player's events; WindowMain connects the buttons
// and shortcuts.
class HxFrameTitle : public VwWidgetBase
{
    Q_OBJECT

public:
    HxFrameTitle(QWidget *parent, const QString &title, const QString &logo);

    HxButton *title_report = nullptr;
    HxButton *title_capture = nullptr;
    HxButton *title_setup = nullptr;
    HxButton *title_info = nullptr;
    HxButton *title_language = nullptr;
    HxButton *title_map = nullptr;
    HxButton *title_minimize = nullptr;
    HxButton *title_maximize = nullptr;
    HxButton *title_close = nullptr;
    QLabel *logoLabel = nullptr;
    QLabel *fileLabel = nullptr;
    QHBoxLayout *titleLayout = nullptr;
    QShortcut *reportShortcut = nullptr;
    QShortcut *infoShortcut = nullptr;
    QShortcut *captureShortcut = nullptr;

public Q_SLOTS:
    void onAppEvent(VwApp::Event event, int param) override;
    void onPlayEvent(PLAY_EVENT event, VwVideoItem *item);
    void onLanguage();

private:
    void setOutputCommandsEnabled(bool on);
    void setMaximizeTooltip(const QString &japanese, const QString &english);
};
