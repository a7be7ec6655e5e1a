#pragma once

#include "vw_frame_video_base.h"

// The smaller pane beside the main one: the rear camera unless the cameras
// are swapped. It swaps back by itself while a recording without a rear file
// plays, and swaps again for the next pair or when the user stops.
class VwFrameVideoSub : public VwFrameVideoBase
{
    Q_OBJECT

public:
    VwFrameVideoSub(VwPlayer *player, VwPlayProcess *process, QWidget *parent = nullptr);

    bool isAutoSwapped() const { return _autoSwapped; }

public Q_SLOTS:
    void onPlayEvent(PLAY_EVENT event, VwVideoItem *item) override;

private:
    void swapCameras(bool autoSwapped);

    bool _autoSwapped = false;
};
