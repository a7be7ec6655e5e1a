#include "vw_player_zoom.h"

#include "av_player.h"
#include "hx_core_log.h"
#include "lib_av_filter_video.h"
#include "video_frame.h"
#include "video_renderer.h"

#include <QAbstractSlider>
#include <QWidget>

#include <cmath>

using namespace av;

namespace {

// The slider's range 0..100 mapped linearly onto [low, high], in single
// precision like the sliders of the original controls, which decides where
// the off bands end (45 and 55 are on, 46..54 are off).
float mapSlider(int value, float low, float high)
{
    return (high - low) * float(value - 0) / float(100 - 0) + low;
}

} // namespace

VwPlayerZoom::VwPlayerZoom(QObject *parent)
    : VwPlayerBase(parent)
{
}

VwPlayerZoom::~VwPlayerZoom()
{
    delete _eqFilterF;
    delete _eqFilterR;
    delete _flipFilterF;
    delete _flipFilterR;
}

QString VwPlayerZoom::mirrorOptions(bool hflip, bool vflip)
{
    QString options = QStringLiteral("format=pix_fmts=rgb24");
    if (hflip)
        options += QLatin1String(",hflip");
    if (vflip)
        options += QLatin1String(",vflip");
    return options;
}

QString VwPlayerZoom::eqOptions(float brightness, float contrast)
{
    const bool brightnessOn = brightness > -100.0f;
    const bool contrastOn = contrast > -100.0f;
    QString options = QStringLiteral("format=pix_fmts=rgb24,eq=");
    if (brightnessOn)
        options += QStringLiteral("brightness=") + QString::asprintf("%.3f", double(brightness));
    if (brightnessOn && contrastOn)
        options += QLatin1Char(':');
    if (contrastOn)
        options += QStringLiteral("contrast=") + QString::asprintf("%.3f", double(contrast));
    return options;
}

float VwPlayerZoom::brightnessFromSlider(int value)
{
    return mapSlider(value, -0.5f, 0.5f);
}

float VwPlayerZoom::contrastFromSlider(int value)
{
    return mapSlider(value, 0.1f, 1.9f);
}

void VwPlayerZoom::onToggleHFlipMain()
{
    bool &flag = _swapped ? _hflipR : _hflipF;
    flag = !flag;
    rebuildFlipFilter(!_swapped);
}

void VwPlayerZoom::onToggleVFlipMain()
{
    bool &flag = _swapped ? _vflipR : _vflipF;
    flag = !flag;
    rebuildFlipFilter(!_swapped);
}

void VwPlayerZoom::onToggleHFlipSub()
{
    bool &flag = _swapped ? _hflipF : _hflipR;
    flag = !flag;
    rebuildFlipFilter(_swapped);
}

void VwPlayerZoom::onToggleVFlipSub()
{
    bool &flag = _swapped ? _vflipF : _vflipR;
    flag = !flag;
    rebuildFlipFilter(_swapped);
}

void VwPlayerZoom::rebuildFlipFilter(bool front)
{
    AVPlayer *player = front ? _playerF : _playerR;
    LibAVFilterVideo *&filter = front ? _flipFilterF : _flipFilterR;
    if (filter) {
        filter->uninstall();
        delete filter;
        filter = nullptr;
    }
    const bool hflip = front ? _hflipF : _hflipR;
    const bool vflip = front ? _vflipF : _vflipR;
    if (hflip || vflip) {
        filter = new LibAVFilterVideo(player);
        // Worded before it is installed, so no frame passes it unworded.
        filter->setOptions(mirrorOptions(hflip, vflip));
        filter->installTo(player);
    }
    if (front)
        refreshFront();
    else
        refreshRear();
}

void VwPlayerZoom::onSetBrightness()
{
    auto *slider = qobject_cast<QAbstractSlider *>(sender());
    if (!slider)
        return;
    _brightness = brightnessFromSlider(slider->value());
    applyEq();
}

void VwPlayerZoom::onSetContrast()
{
    auto *slider = qobject_cast<QAbstractSlider *>(sender());
    if (!slider)
        return;
    _contrast = contrastFromSlider(slider->value());
    applyEq();
}

void VwPlayerZoom::applyEq()
{
    if (_brightness > -0.05f && _brightness < 0.05f)
        _brightness = kOff;
    if (_contrast > 0.95f && _contrast < 1.05f)
        _contrast = kOff;

    if (_brightness > -100.0f || _contrast > -100.0f) {
        const QString options = eqOptions(_brightness, _contrast);
        if (!_eqFilterF) {
            _eqFilterF = new LibAVFilterVideo(this);
            _eqFilterF->setOptions(options);
            _eqFilterF->installTo(_playerF);
        }
        if (!_eqFilterR) {
            _eqFilterR = new LibAVFilterVideo(this);
            _eqFilterR->setOptions(options);
            _eqFilterR->installTo(_playerR);
        }
        _eqFilterF->setOptions(options);
        _eqFilterR->setOptions(options);
    } else {
        for (LibAVFilterVideo **filter : {&_eqFilterF, &_eqFilterR}) {
            if (*filter) {
                (*filter)->uninstall();
                delete *filter;
                *filter = nullptr;
            }
        }
    }
    refreshFront();
    refreshRear();
}

QWidget *VwPlayerZoom::startZoom(bool main)
{
    AVPlayer *player = main != _swapped ? _playerF : _playerR;
    const QList<VideoRenderer *> outputs = player->videoOutputs();
    if (outputs.isEmpty()) {
        qCDebug(lcHxCore) << "VwPlayerZoom::startZoom" << "NO OUTPUTS";
        return nullptr;
    }
    VideoRenderer *&zoomOutput = main ? _zoomOutputMain : _zoomOutputSub;
    VideoRenderer *&overview = main ? _zoomOverviewMain : _zoomOverviewSub;
    // The first output is the pane's own renderer; the overview, once added,
    // comes after it.
    zoomOutput = outputs.first();
    zoomOutput->setRegionOfInterest(QRectF(0.25, 0.25, 0.5, 0.5));
    if (!overview) {
        overview = VideoRenderer::create(_rendererId);
        if (!overview) {
            qCWarning(lcHxCore) << "VwPlayerZoom::startZoom" << "no overview renderer" << _rendererId;
            return nullptr;
        }
        overview->setOutAspectRatioMode(VideoRenderer::CustomAspectRation);
        overview->setOutAspectRatio(16.0 / 9.0);
    }
    player->addVideoRenderer(overview);
    if (player->isPaused())
        player->setPosition(qMin(player->position(), player->duration()));
    return overview->widget();
}

bool VwPlayerZoom::setZoomPos(float x, float y, bool main)
{
    VideoRenderer *zoomOutput = main ? _zoomOutputMain : _zoomOutputSub;
    if (!zoomOutput)
        return false;
    // Steps of 0.01 toward zero; the region stays inside the picture.
    x = qBound(0.0f, std::trunc(x * 100.0f) / 100.0f, 0.5f);
    y = qBound(0.0f, std::trunc(y * 100.0f) / 100.0f, 0.5f);
    zoomOutput->setRegionOfInterest(QRectF(x, y, 0.5, 0.5));
    return true;
}

void VwPlayerZoom::stopZoom(bool main)
{
    VideoRenderer *&zoomOutput = main ? _zoomOutputMain : _zoomOutputSub;
    VideoRenderer *&overview = main ? _zoomOverviewMain : _zoomOverviewSub;
    if (zoomOutput)
        zoomOutput->setRegionOfInterest(QRectF(0, 0, 0, 0));
    if (overview) {
        AVPlayer *player = main != _swapped ? _playerF : _playerR;
        player->removeVideoRenderer(overview);
        delete overview;
    }
    zoomOutput = nullptr;
    overview = nullptr;
}

void VwPlayerZoom::clearCamera(bool front)
{
    // The pane showing that camera, and its overview: both follow the swap.
    const bool inMain = front != _swapped;
    VideoRenderer *renderer = inMain ? _rendererMain : _rendererSub;
    VideoRenderer *overview = inMain ? _zoomOverviewMain : _zoomOverviewSub;
    if (renderer)
        renderer->receive(VideoFrame());
    if (overview)
        overview->receive(VideoFrame());
}

void VwPlayerZoom::refreshRear()
{
}

void VwPlayerZoom::refreshFront()
{
}
