#include "vw_frame_video_main.h"

#include "video_renderer.h"
#include "vw_player.h"

VwFrameVideoMain::VwFrameVideoMain(VwPlayer *player, VwPlayProcess *process, QWidget *parent)
    : VwFrameVideoBase(player, process, true, parent)
{
    setObjectName(QStringLiteral("video_main_pane"));
    _pipRect = QRect(18, 17, 166, 94);
    setVideoWidget(player->rendererMain() ? player->rendererMain()->widget() : nullptr);
}

void VwFrameVideoMain::onAppEvent(VwApp::Event event, int param)
{
    VwFrameVideoBase::onAppEvent(event, param);
    if (event == VwApp::EVENT_FULLSCREEN_ENTER || event == VwApp::EVENT_FULLSCREEN_LEAVE)
        applyPipGeometry();
}
