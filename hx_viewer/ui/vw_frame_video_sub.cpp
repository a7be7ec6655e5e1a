#include "vw_frame_video_sub.h"

#include "video_renderer.h"
#include "vw_player.h"
#include "vw_video_item.h"

VwFrameVideoSub::VwFrameVideoSub(VwPlayer *player, VwPlayProcess *process, QWidget *parent)
    : VwFrameVideoBase(player, process, false, parent)
{
    setObjectName(QStringLiteral("video_sub_pane"));
    _pipRect = QRect(8, 8, 84, 48);
    setVideoWidget(player->rendererSub() ? player->rendererSub()->widget() : nullptr);
}

void VwFrameVideoSub::swapCameras(bool autoSwapped)
{
    _autoSwapped = autoSwapped;
    // Forced: the user's swap just before the load must not block this one.
    _player->toggleSwap(true);
}

void VwFrameVideoSub::onPlayEvent(PLAY_EVENT event, VwVideoItem *item)
{
    VwFrameVideoBase::onPlayEvent(event, item);
    if (!_player)
        return;
    if (event == PLAY_EVENT_LOAD && item) {
        const bool hasRear = !item->rearPath.isEmpty();
        if (_autoSwapped ? hasRear && !_player->isSwapped() : _player->isSwapped() && !hasRear)
            swapCameras(!_autoSwapped);
    } else if (event == PLAY_EVENT_USER_STOP && _autoSwapped) {
        swapCameras(false);
    }
}
