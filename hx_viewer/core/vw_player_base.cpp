#include "vw_player_base.h"

#include "av_player.h"
#include "video_renderer.h"

using namespace av;

VwPlayerBase::VwPlayerBase(QObject *parent)
    : QObject(parent)
    , _playerF(new AVPlayer(this))
    , _playerR(new AVPlayer(this))
{
    _playerF->setPlayerIndex(0);
    _playerR->setPlayerIndex(1);
    _rendererMain = VideoRenderer::create(_rendererId);
    _rendererSub = VideoRenderer::create(_rendererId);
    _rendererMain->setOutAspectRatioMode(VideoRenderer::VideoAspectRatio);
    _rendererSub->setOutAspectRatioMode(VideoRenderer::VideoAspectRatio);
    _playerF->setRenderer(_rendererMain, true);
    _playerR->setRenderer(_rendererSub, true);
}

VwPlayerBase::~VwPlayerBase()
{
    _playerF->stop();
    _playerR->stop();
    _playerF->clearVideoRenderers();
    _playerR->clearVideoRenderers();
    delete _zoomOverviewMain;
    delete _zoomOverviewSub;
    delete _rendererMain;
    delete _rendererSub;
}

void VwPlayerBase::stop()
{
    _playerF->stop();
    _playerR->stop();
}

bool VwPlayerBase::isSeekBusy()
{
    return false;
}

void VwPlayerBase::clearCamera(bool)
{
}

void VwPlayerBase::seek(qint64, bool)
{
}

void VwPlayerBase::stopSeekTimers()
{
}
