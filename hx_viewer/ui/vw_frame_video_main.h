#pragma once

#include "vw_frame_video_base.h"

// The large pane: the front camera unless the cameras are swapped.
class VwFrameVideoMain : public VwFrameVideoBase
{
    Q_OBJECT

public:
    VwFrameVideoMain(VwPlayer *player, VwPlayProcess *process, QWidget *parent = nullptr);

public Q_SLOTS:
    void onAppEvent(VwApp::Event event, int param) override;
};
