#pragma once

#include "vw_play_event.h"
#include "vw_widget_base.h"

#include <QPointer>

class HxButton;
class QHBoxLayout;
class QShortcut;
class QSpacerItem;
class VwPlayProcess;
class VwPlayer;
class VwVideoItem;

// The play control bar: previous file, play/pause, stop, next file and the
// open button, with Space (play/pause) and Backspace (from the start). The
// file commands go out as intents; the window and the file list act on them.
class VwFramePlay : public VwWidgetBase
{
    Q_OBJECT

public:
    VwFramePlay(VwPlayer *player, VwPlayProcess *process, QWidget *parent = nullptr);
    ~VwFramePlay() override;

    HxButton *previousButton = nullptr;
    HxButton *playButton = nullptr;
    HxButton *stopButton = nullptr;
    HxButton *nextButton = nullptr;
    HxButton *openButton = nullptr;
    QShortcut *playShortcut = nullptr;
    QShortcut *restartShortcut = nullptr;

Q_SIGNALS:
    void previousRequested();
    void nextRequested();
    void openRequested();

public Q_SLOTS:
    void onAppEvent(VwApp::Event event, int param) override;
    void onPlayEvent(PLAY_EVENT event, VwVideoItem *item);
    void onLoadingListEnd(bool bLoading);
    void onPlayOrPause();

private:
    void showPlaying(bool playing);

    QPointer<VwPlayer> _player;
    VwPlayProcess *_process = nullptr;
    QHBoxLayout *_layout = nullptr;
    // Pushes the open button to the right end in full screen only.
    QSpacerItem *_fullScreenSpacer = nullptr;
};
