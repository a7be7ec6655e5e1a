#include "vw_player_base.h"

#include "audio_output.h"
#include "av_clock.h"
#include "av_error.h"
#include "av_player.h"
#include "hx_core_log.h"
#include "video_renderer.h"
#include "vw_app.h"
#include "vw_graphics_adapter.h"
#include "vw_key_event.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"

#include <QAbstractButton>
#include <QOpenGLContext>
#include <QSlider>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cmath>

using namespace av;

namespace {

constexpr int kSyncIntervalMs = 300;
constexpr int kSyncRestartMs = 500;
constexpr int kWaitTries = 100;
constexpr int kWaitStepMs = 10;
constexpr int kStartPauseWaitMs = 300;

// A player that takes part in pausing: one that has a file open and runs.
// A player that stopped at its own end (a rear file shorter than the front
// one) refuses pause() for good, so waiting for it would only stall.
bool isRunning(const AVPlayer *player)
{
    return player->isLoaded() && player->isPlaying();
}

bool useOpenGL()
{
    if (legacyGraphicsAdapter)
        return false;
    QOpenGLContext context;
    return context.create();
}

} // namespace

VwPlayerBase::VwPlayerBase(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<PLAY_EVENT>("PLAY_EVENT");
    qRegisterMetaType<VwVideoItem *>("VwVideoItem*");

    _syncClock = new AVClock(this);
    _syncClock->setClockType(AVClock::ExternalClock);

    _playerF = new AVPlayer(this);
    _playerF->setRelativeTimeMode(false);
    _playerF->masterClock()->setClockAuto(true);
    _playerF->masterClock()->setClockType(AVClock::ExternalClock);
    _playerF->setPlayerIndex(0);
    _playerF->setMediaEndAction(MediaEndAction_KeepDisplay);

    _playerR = new AVPlayer(this);
    _playerR->audio()->setBackends(QStringList());
    _playerR->audio()->setMute(true);
    _playerR->setRelativeTimeMode(false);
    _playerR->masterClock()->setClockAuto(false);
    _playerR->masterClock()->setClockType(AVClock::ExternalClock);
    _playerR->setPlayerIndex(1);

    _playerF->setSeekType(KeyFrameSeek);
    _playerR->setSeekType(KeyFrameSeek);

    chooseRenderers();

    connect(_playerF, &AVPlayer::started, this, &VwPlayerBase::changeClockType);
    connect(_playerR, &AVPlayer::started, this, &VwPlayerBase::changeClockType);
    connect(_playerF, &AVPlayer::positionChanged, this, &VwPlayerBase::onPositionChanged);
    connect(_playerF, &AVPlayer::mediaStatusChanged, this, &VwPlayerBase::onMediaChangedF);
    connect(_playerR, &AVPlayer::mediaStatusChanged, this, &VwPlayerBase::onMediaChangedR);
    connect(_playerF, &AVPlayer::stopped, this, &VwPlayerBase::onStoppedF);
    connect(_playerF, &AVPlayer::seekFinished, this, &VwPlayerBase::onSeekFinishedF);
    connect(_playerR, &AVPlayer::stopped, this, &VwPlayerBase::onStoppedR);
    connect(_playerR, &AVPlayer::seekFinished, this, &VwPlayerBase::onSeekFinishedR);
    connect(_playerF, &AVPlayer::started, this, qOverload<>(&VwPlayerBase::updateSlider));
    connect(_playerF, &AVPlayer::firstFrameNotify, this, &VwPlayerBase::onFirstFrame);
    connect(_playerF, &AVPlayer::error, this, &VwPlayerBase::onPlayerF);
    connect(_playerR, &AVPlayer::error, this, &VwPlayerBase::onPlayerR);

    _swapped = false;
}

VwPlayerBase::~VwPlayerBase()
{
    killSyncTimer();
    _playerF->stop();
    _playerR->stop();
    _playerF->clearVideoRenderers();
    _playerR->clearVideoRenderers();
    delete _zoomOverviewMain;
    delete _zoomOverviewSub;
    // The panes may have adopted the renderer widgets; their parents delete them then.
    for (VideoRenderer *renderer : {_rendererMain, _rendererSub}) {
        if (renderer && !(renderer->widget() && renderer->widget()->parent()))
            delete renderer;
    }
}

void VwPlayerBase::chooseRenderers()
{
    QList<VideoRendererId> candidates;
    if (useOpenGL())
        candidates << VideoRendererId_OpenGLWidget;
    candidates << VideoRendererId_Widget;

    for (VideoRendererId id : qAsConst(candidates)) {
        VideoRenderer *main = VideoRenderer::create(id);
        if (!main)
            continue;
        if (!main->isAvailable() || !main->widget()) {
            delete main;
            continue;
        }
        _rendererId = id;
        _rendererMain = main;
        _rendererMain->setOutAspectRatioMode(VideoRenderer::VideoAspectRatio);
        _playerF->setRenderer(_rendererMain, true);
        _rendererSub = VideoRenderer::create(id);
        _playerR->setRenderer(_rendererSub, true);
        _rendererSub->setOutAspectRatioMode(VideoRenderer::VideoAspectRatio);
        _rendererKind = id == VideoRendererId_OpenGLWidget ? 1 : 2;
        qCDebug(lcHxCore) << "VwPlayerBase::chooseRenderers" << "kind" << _rendererKind;
        return;
    }
    qCWarning(lcHxCore) << "VwPlayerBase::chooseRenderers" << "no video renderer can be created";
}

// Volume

qreal VwPlayerBase::volumeGain(int sliderValue)
{
    const double v = sliderValue;
    const double x = v < 1 ? 0.0 : (10.0 + 90.0 * v / 100.0) * 0.1;
    const double gain = 0.085 * std::exp(0.25 * x);
    return gain < 0.1 ? 0.0 : gain;
}

void VwPlayerBase::onSetVolume()
{
    const int value = _volumeSlider ? _volumeSlider->value() : 100;
    _playerF->audio()->setVolume(volumeGain(value));
    // The mute button wins over the volume slider.
    const bool muted = _muteButton && _muteButton->isChecked();
    const qreal speed = _playerF->speed();
    if (!muted && speed > 0.75 && speed < 1.5)
        _playerF->audio()->setMute(false);
}

void VwPlayerBase::onUnMuteIfRequired()
{
    _muteGuard = false;
    if (_speed > 0.99 && _speed < 1.01 && !(_muteButton && _muteButton->isChecked()))
        onSetVolume();
}

void VwPlayerBase::onMute()
{
    const bool checked = _muteButton && _muteButton->isChecked();
    if (checked) {
        _playerF->audio()->setMute(true);
    } else if (_playerF->speed() > 0.75 && _playerF->speed() < 1.5) {
        _playerF->audio()->setMute(false);
        onSetVolume();
    }
    Q_EMIT playEvent(checked ? PLAY_EVENT_MUTE : PLAY_EVENT_UNMUTE, nullptr);
}

void VwPlayerBase::muteForAWhile(int ms)
{
    if (_muteGuard)
        return;
    _muteGuard = true;
    _playerF->audio()->setVolume(0.0);
    if (ms > 0)
        QTimer::singleShot(ms, this, &VwPlayerBase::onUnMuteIfRequired);
}

// Slider and clocks

void VwPlayerBase::setSliderValue(qint64 value, bool blockSignals)
{
    if (!_positionSlider)
        return;
    const bool blocked = blockSignals ? _positionSlider->blockSignals(true) : false;
    _positionSlider->setValue(int(qBound<qint64>(INT_MIN, value, INT_MAX)));
    if (blockSignals)
        _positionSlider->blockSignals(blocked);
}

void VwPlayerBase::updateSlider(qint64 value)
{
    setSliderValue(value);
}

void VwPlayerBase::updateSlider()
{
    setSliderValue(_playerF->position());
}

void VwPlayerBase::changeClockType()
{
    auto *player = qobject_cast<AVPlayer *>(sender());
    if (!player)
        return;
    player->masterClock()->setClockAuto(false);
    player->masterClock()->setClockType(AVClock::ExternalClock);
}

void VwPlayerBase::killSyncTimer()
{
    if (_syncTimerId != -1) {
        killTimer(_syncTimerId);
        _syncTimerId = -1;
    }
}

void VwPlayerBase::startSyncTimer()
{
    if (_syncTimerId == -1)
        _syncTimerId = startTimer(kSyncIntervalMs, Qt::CoarseTimer);
}

void VwPlayerBase::onSeekFinishedF(qint64 pos)
{
    _syncClock->updateExternalClock(pos);
    _playerF->masterClock()->updateExternalClock(*_syncClock);
    _playerR->masterClock()->updateExternalClock(*_syncClock);
    restartSyncTimer();
}

void VwPlayerBase::onSeekFinishedR(qint64 pos)
{
    _syncClock->updateExternalClock(pos);
    _playerR->masterClock()->updateExternalClock(*_syncClock);
    // A front player that finished its seek first has run on alone since;
    // it waits for the rear one here rather than at the next correction,
    // which comes only after the 500 ms restart delay.
    if (!_playerF->isSeekPending())
        _playerF->masterClock()->updateExternalClock(*_syncClock);
    restartSyncTimer();
}

void VwPlayerBase::restartSyncTimer()
{
    if (_syncEnabled || _playerF->isSeekPending() || _playerR->isSeekPending())
        return;
    delete _syncRestartTimer;
    _syncRestartTimer = new QTimer(this);
    _syncRestartTimer->setSingleShot(true);
    connect(_syncRestartTimer, &QTimer::timeout, this, &VwPlayerBase::on_sync_timer_restarted);
    _syncRestartTimer->start(kSyncRestartMs);
}

void VwPlayerBase::on_sync_timer_restarted()
{
    _syncEnabled = true;
}

void VwPlayerBase::onFirstFrame(qreal pts)
{
    Q_UNUSED(pts)
    Q_EMIT playEvent(PLAY_EVENT_FIRST_FRAME, _item);
}

// Loading

void VwPlayerBase::onLoad(VwVideoItem *item)
{
    if (!item)
        return;
    if (_playerF->isPlaying())
        stop();

    item->loadSensorInfo();
    _item = item;
    _itemRef = VwVideoFileList::instance()->sharedItem(item);
    Q_EMIT playEvent(PLAY_EVENT_LOAD, item);

    if (!item->frontPath.isEmpty()) {
        _playerF->setFile(item->frontPath);
        _playerR->setFile(item->rearPath);
    } else {
        _playerF->setFile(item->rearPath);
        _playerR->setFile(QString());
    }

    _playerF->setRenderer(_swapped ? _rendererSub : _rendererMain, true);
    _playerR->setRenderer(_swapped ? _rendererMain : _rendererSub, true);
    // The pane of a camera without a file must not keep the last recording's picture.
    if (_playerR->file().isEmpty())
        clearCamera(false);
    if (_zoomOverviewMain)
        (_swapped ? _playerR : _playerF)->addVideoRenderer(_zoomOverviewMain);
    if (_zoomOverviewSub)
        (_swapped ? _playerF : _playerR)->addVideoRenderer(_zoomOverviewSub);

    _loadingStage = LoadingFront;
    if (!_playerF->load()) {
        _loadingStage = NotLoading;
        qCWarning(lcHxCore) << "VwPlayerBase::onLoad" << "recording without files";
        _item = nullptr;
        _itemRef.reset();
        Q_EMIT playEvent(PLAY_EVENT_STOPPED, nullptr);
    }
}

void VwPlayerBase::onMediaChangedF(MediaStatus status)
{
    if (status == EndOfMedia) {
        _endReached = true;
        // The pair ends together; a longer rear file would hold the next recording back.
        if (isRunning(_playerR))
            _playerR->stop();
        return;
    }
    if (_loadingStage != LoadingFront)
        return;
    if (status == InvalidMedia) {
        _loadingStage = NotLoading;
        qCWarning(lcHxCore) << "VwPlayerBase::onMediaChangedF" << "cannot play" << _playerF->file();
        _playerF->setFile(QString());
        _playerR->setFile(QString());
        _idle = true;
        _item = nullptr;
        _itemRef.reset();
        Q_EMIT playEvent(PLAY_EVENT_STOPPED, nullptr);
        return;
    }
    if (status != LoadedMedia)
        return;

    _idle = false;
    _endReached = false;
    _playerF->setFixedDuration(_playerF->duration());
    _playerF->setSeekType(KeyFrameSeek);
    if (!_playerR->file().isEmpty()) {
        _loadingStage = LoadingRear;
        _playerR->load();
        return;
    }
    _loadingStage = NotLoading;
    _loaded = true;
    playOrPause(true);
    Q_EMIT playEvent(PLAY_EVENT_LOADED, _item);
    if (_seekMode == 2 && _item) {
        const qint64 d = _item->durationMs;
        Q_EMIT positionChanged(d, d);
    }
}

void VwPlayerBase::onMediaChangedR(MediaStatus status)
{
    if (_loadingStage != LoadingRear)
        return;
    if (status == InvalidMedia) {
        // A rear file that cannot be played: the recording plays as front only.
        qCWarning(lcHxCore) << "VwPlayerBase::onMediaChangedR" << "cannot play" << _playerR->file();
        _playerR->setFile(QString());
        clearCamera(false);
    } else if (status != LoadedMedia) {
        return;
    }
    _loadingStage = NotLoading;
    _endReached = false;
    _loaded = true;
    playOrPause(true);
    Q_EMIT playEvent(PLAY_EVENT_LOADED, _item);
    if (_seekMode == 2) {
        const qint64 d = _playerF->duration();
        Q_EMIT positionChanged(d, d);
    }
}

void VwPlayerBase::onStartPause()
{
    // Seeks once both players show a picture, or after 300 ms at most. The
    // wait must not block this thread: the players report on it.
    const auto ready = [this] {
        return _playerF->mediaStatus() == BufferedMedia
            && (!_playerR->isLoaded() || _playerR->mediaStatus() == BufferedMedia);
    };
    const auto seekToSlider = [this] { seek(_positionSlider ? _positionSlider->value() : 0, false); };
    if (ready()) {
        seekToSlider();
        return;
    }
    auto *wait = new QTimer(this);
    wait->setSingleShot(true);
    const auto finish = [this, wait, ready, seekToSlider](bool timedOut) {
        if (!timedOut && !ready())
            return;
        wait->stop();
        wait->deleteLater();
        disconnect(_playerF, nullptr, wait, nullptr);
        disconnect(_playerR, nullptr, wait, nullptr);
        seekToSlider();
    };
    connect(wait, &QTimer::timeout, wait, [finish] { finish(true); });
    connect(_playerF, &AVPlayer::mediaStatusChanged, wait, [finish] { finish(false); });
    connect(_playerR, &AVPlayer::mediaStatusChanged, wait, [finish] { finish(false); });
    wait->start(kStartPauseWaitMs);
}

// Play and pause

void VwPlayerBase::playOrPause(bool fromLoad)
{
    if (!fromLoad && !_playerF->isLoaded()) {
        Q_EMIT playEvent(PLAY_EVENT_NO_MEDIA, nullptr);
        return;
    }

    bool toggle = true;
    if (!_playerF->isPlaying()) {
        _lastPosition = 0;
        _syncClock->reset();
        _syncClock->setClockAuto(false);
        killSyncTimer();
        setPlaySpeed(_speed);
        muteForAWhile(10);
        if (_positionSlider) {
            _positionSlider->setMaximum(int(qMin<qint64>(_playerF->mediaStopPosition(), INT_MAX)));
            _positionSlider->setValue(0);
        }
        _playerF->play();
        _pendingStops = 1;
        if (_playerR->isLoaded()) {
            _pendingStops += 1;
            _playerR->audio()->setMute(true);
            _playerR->setAudioStream(-1);
            _playerR->play();
            _playerR->setMediaEndAction(MediaEndAction_KeepDisplay);
        }
        if (_seekMode == 0) {
            _playerF->setPosition(0);
            if (_playerR->isLoaded())
                _playerR->setPosition(0);
        }
        if (!_paused) {
            _syncClock->start();
            startSyncTimer();
            _syncEnabled = true;
        }
        if (_seekMode == 0)
            toggle = false;
        else
            stopSeekTimers();
    } else {
        if (isSeekBusy())
            return;
        _seekMode = 0;
    }

    if (toggle) {
        _paused = !_playerF->isPaused();
        switch (_seekMode) {
        case 0:
            // A resume does not seek: the pause left both players on the
            // same picture with their clocks on the pair's, so they run on in
            // step at once. A seek here would only decode those pictures
            // again, and the cameras would start apart, each when its own
            // picture was ready.
            _pause(_paused, true, -1);
            break;
        case 2: {
            const bool alreadyPaused = _playerF->isPaused()
                || (_playerR->isLoaded() && _playerR->isPaused());
            if (!alreadyPaused) {
                muteForAWhile(1000);
                _paused = true;
                _playerF->pause(true);
                if (_playerR->isLoaded())
                    _playerR->pause(true);
                _syncClock->pause(true);
                _pausePosition = 0;
                setPlaySpeed(1.0);
                killSyncTimer();
                seek(_pausePosition, true);
                setSliderValue(_pausePosition);
            }
            // The backward seek goes on from the end of this recording.
            const qint64 d = _playerF->duration();
            setSliderValue(d < 1000 ? 0 : d);
            break;
        }
        default:
            _pause(true, true, 0);
            break;
        }
    }

    Q_EMIT playEvent(_paused ? PLAY_EVENT_PAUSE : PLAY_EVENT_PLAY, _item);
    VwKeyEvent::instance()->keyTrackingEnabled = true;
    VwKeyEvent::instance()->pressedKey = -1;
}

void VwPlayerBase::_pause(bool bPause, bool bWait, qint64 position)
{
    const auto players = {_playerF, _playerR};
    if (bWait) {
        // pause(p) is refused in state p, so a player already there is first
        // brought to the other state.
        for (int tries = 0;; ++tries) {
            bool inState = false;
            for (AVPlayer *player : players)
                inState = inState || (isRunning(player) && player->isPaused() == bPause);
            if (!inState)
                break;
            if (tries >= kWaitTries) {
                qCWarning(lcHxCore) << "FAIL bPause:" << bPause << "_playerR->isLoaded():"
                                    << _playerR->isLoaded() << " _playerF->isPaused()="
                                    << _playerF->isPaused() << " _playerR->isPaused():"
                                    << _playerR->isPaused() << "VwPlayerBase::_pause";
                return;
            }
            QThread::msleep(kWaitStepMs);
            for (AVPlayer *player : players) {
                if (isRunning(player) && player->isPaused() == bPause)
                    player->pause(!bPause);
            }
        }
    } else if (_playerF->isPaused() == bPause
               || (_playerR->isLoaded() && _playerR->isPaused() == bPause)) {
        return;
    }

    muteForAWhile(bPause ? 1000 : 10);
    _paused = bPause;
    _playerF->pause(bPause);
    if (_playerR->isLoaded())
        _playerR->pause(bPause);

    if (bWait) {
        for (int tries = 0;; ++tries) {
            bool pending = false;
            for (AVPlayer *player : players)
                pending = pending || (isRunning(player) && player->isPaused() != bPause);
            if (!pending)
                break;
            if (tries >= kWaitTries)
                return;
            QThread::msleep(kWaitStepMs);
            for (AVPlayer *player : players) {
                if (isRunning(player) && player->isPaused() != bPause)
                    player->pause(bPause);
            }
        }
    }

    _syncClock->pause(bPause);
    if (bPause) {
        _pausePosition = position == -1 ? _playerF->position() : position;
        setPlaySpeed(1.0);
        killSyncTimer();
        seek(_pausePosition, true);
        setSliderValue(_pausePosition);
    } else {
        startSyncTimer();
        setPlaySpeed(_speed);
        _pausePosition = 1;
    }
}

void VwPlayerBase::setPlaySpeed(double speed)
{
    const qreal oldSpeed = _playerF->speed();
    _playerF->setSpeed(speed);
    AVPlayer::setRenderDivisor(speed < 1.01 ? 0 : 4 * int(speed));
    _playerR->setSpeed(speed);
    _syncClock->setSpeed(speed);

    if (speed > 1.01 || speed < 0.99) {
        _playerF->audio()->setMute(true);
        return;
    }
    if (!(_muteButton && _muteButton->isChecked()) && !_muteGuard) {
        _playerF->audio()->setMute(false);
        onSetVolume();
    }
    if (std::fabs(oldSpeed - speed) > 0.5 && _playerF->isLoaded())
        seek(_playerF->position(), true);
}

// Position

void VwPlayerBase::onPositionChanged(qint64 value)
{
    const qint64 d = _playerF->duration();
    if (value >= d && !_sliderHeld && _seekMode == 0 && d > 1000 && !_playerF->isPaused()) {
        if (!_idle && !_endReached) {
            _endReached = true;
            _playerF->stop();
            if (_playerR->isLoaded())
                _playerR->stop();
        }
        return;
    }
    const qint64 p = qMin(value, d);
    if (p != _lastPosition) {
        if (_seekMode == 0 && (_playerF->state() == AVPlayer::PlayingState || !_holdPosition)) {
            // The handle stays under the mouse while the user holds it.
            if (!_sliderHeld)
                setSliderValue(p, true);
            Q_EMIT positionChanged(p, _playerF->duration());
        }
        _lastPosition = p;
    }
}

// Stop

void VwPlayerBase::stop()
{
    _idle = true;
    _paused = false;
    _sliderHeld = false;
    // A stop is never followed by the automatic advance: only the players
    // reaching the end of the recording ask for the next one.
    _endReached = false;
    _loadingStage = NotLoading;
    VwKeyEvent::instance()->keyTrackingEnabled = false;
    VwKeyEvent::instance()->pressedKey = -1;
    _pendingStops = 0;

    if (isRunning(_playerF)) {
        _pendingStops += 1;
        _playerF->removeVideoRenderer(_swapped ? _rendererSub : _rendererMain);
        _playerF->stop();
    }
    _playerF->setFile(QString());
    if (isRunning(_playerR)) {
        _pendingStops += 1;
        _playerR->removeVideoRenderer(_swapped ? _rendererMain : _rendererSub);
        _playerR->stop();
    }
    _playerR->setFile(QString());

    _syncClock->reset();
    _syncClock->setClockAuto(false);
    setPlaySpeed(1.0);
    killSyncTimer();
    _item = nullptr;
    _itemRef.reset();

    if (_pendingStops == 0)
        Q_EMIT playEvent(PLAY_EVENT_STOPPED, nullptr);
    VwApp::instance()->setDisplayRequired(true);
}

void VwPlayerBase::onStoppedF()
{
    _syncClock->reset();
    _syncClock->setClockAuto(false);
    killSyncTimer();
    if (_pendingStops < 0)
        return;
    if (_pendingStops > 0 && --_pendingStops != 0)
        return;
    finishStop();
}

void VwPlayerBase::onStoppedR()
{
    if (_pendingStops < 0)
        return;
    if (--_pendingStops != 0)
        return;
    finishStop();
}

void VwPlayerBase::finishStop()
{
    if (!_endReached) {
        Q_EMIT playEvent(PLAY_EVENT_STOPPED, nullptr);
        return;
    }
    VwVideoFileList *list = VwVideoFileList::instance();
    Q_EMIT playEvent(PLAY_EVENT_STOPPED, list->adjacentItem(true));
    list->onPlayNextVideo(-1);
}

// Failures

void VwPlayerBase::onPlayerF(const AVError &error)
{
    const QString text = error.string();
    if (text.contains(QLatin1String("seek error"), Qt::CaseInsensitive)) {
        _endReached = true;
        _playerF->stop();
        if (_playerR->isLoaded())
            _playerR->stop();
    }
    qCWarning(lcHxCore) << "VwPlayerBase::onPlayerF" << text << error.ffmpegErrorString();
}

void VwPlayerBase::onPlayerR(const AVError &error)
{
    qCWarning(lcHxCore) << "VwPlayerBase::onPlayerR" << error.string() << error.ffmpegErrorString();
}

// Hooks of the derived players

bool VwPlayerBase::isSeekBusy()
{
    return false;
}

void VwPlayerBase::clearCamera(bool front)
{
    Q_UNUSED(front)
}

void VwPlayerBase::seek(qint64 position, bool hold)
{
    Q_UNUSED(position)
    Q_UNUSED(hold)
}

void VwPlayerBase::stopSeekTimers()
{
}
