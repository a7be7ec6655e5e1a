#include "vw_player.h"

#include "av_clock.h"
#include "av_player.h"
#include "hx_core_log.h"
#include "video_capture.h"
#include "video_frame.h"
#include "video_renderer.h"
#include "vw_app.h"
#include "vw_still_exif.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"

#include <QAbstractSlider>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QSlider>
#include <QTimer>
#include <QTimerEvent>

#include <cmath>

using namespace av;

namespace {

struct SpeedEntry
{
    double speed;
    const char *label;
};

const SpeedEntry kSpeeds[] = {
    {0.5, "0.5 x"},
    {0.8, "0.8 x"},
    {1.0, "1 x"},
    {2.0, "2.0 x"},
};

constexpr int kSpeedCount = int(sizeof(kSpeeds) / sizeof(kSpeeds[0]));
constexpr qint64 kSeekMarkMs = 10000;
constexpr qint64 kFrameStepMs = 34;
constexpr qint64 kSeekEndMarginMs = 2000;

// Timers may be dropped from their own timeout; they go once control is back
// in the event loop.
void dropTimer(QTimer *&timer)
{
    if (!timer)
        return;
    timer->stop();
    timer->deleteLater();
    timer = nullptr;
}

QTimer *makeTimer(QObject *owner, int ms, bool singleShot)
{
    auto *timer = new QTimer(owner);
    timer->setSingleShot(singleShot);
    timer->setInterval(ms);
    return timer;
}

} // namespace

VwPlayer *VwPlayer::instance()
{
    static VwPlayer *player = new VwPlayer;
    return player;
}

VwPlayer::VwPlayer(QObject *parent)
    : VwPlayerZoom(parent)
{
    connect(_playerF, &AVPlayer::started, this, qOverload<>(&VwPlayerBase::updateSlider));
}

VwPlayer::~VwPlayer()
{
    if (_captureFailTimer)
        QGuiApplication::restoreOverrideCursor();
    delete _capturePaths;
}

double VwPlayer::speedAt(int index)
{
    return index >= 0 && index < kSpeedCount ? kSpeeds[index].speed : 1.0;
}

QString VwPlayer::speedLabelAt(int index)
{
    return index >= 0 && index < kSpeedCount ? QString::fromLatin1(kSpeeds[index].label) : QString();
}

qint64 VwPlayer::sliderValue() const
{
    return _positionSlider ? _positionSlider->value() : 0;
}

// Clock correction

void VwPlayer::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != _syncTimerId) {
        VwPlayerZoom::timerEvent(event);
        return;
    }
    if (_syncEnabled && _syncClock->isActive())
        _playerF->masterClock()->updateExternalClock(*_syncClock);
}

// Seeking

void VwPlayer::seek(qint64 position, bool hold)
{
    const qint64 duration = _playerF->duration();
    if (position > duration - kSeekEndMarginMs)
        position = qMax<qint64>(duration - kSeekEndMarginMs, 0);
    if (!_playerF->isPlaying())
        return;
    if (_playerR->isLoaded() && !_playerR->isPlaying())
        return;

    delete _syncRestartTimer;
    _syncRestartTimer = nullptr;
    _syncEnabled = false;
    _holdPosition = hold;
    // A paused pair re-shown at its position (pause, swap) must show one
    // moment in both panes: a key frame seek would put a camera that was a
    // frame apart back on its key frame, up to a second earlier.
    const bool exact = hold && _paused;
    seekPlayer(_playerF, position, exact);
    if (_playerR->isLoaded()) {
        if (!_paused)
            _playerR->pause(false);
        seekPlayer(_playerR, position, exact);
    }
}

void VwPlayer::seekPlayer(AVPlayer *player, qint64 position, bool exact)
{
    player->setSeekType(exact ? AccurateSeek : KeyFrameSeek);
    player->setPosition(position);
    // Drags and refreshes seek the players directly, to key frames.
    player->setSeekType(KeyFrameSeek);
}

void VwPlayer::onSliderPress(bool bKnob)
{
    Q_UNUSED(bKnob)
    _seekMode = 0;
    auto *slider = qobject_cast<QAbstractSlider *>(sender());
    if (!slider)
        return;
    _sliderHeld = true;
    // The pictures go where the press put the handle; pausing at the
    // position playback had reached would put the handle back there.
    const int target = slider->value();
    if (_playerF->isPlaying() && !_playerF->isPaused()) {
        _resumeAfterDrag = true;
        _pause(true, true, target);
    }
    onSliderMove(target);
}

void VwPlayer::onSliderMove(int value)
{
    _holdPosition = false;
    if (!_playerF->isLoaded())
        return;
    _sliderHeld = true;
    const qint64 p = qMax(value, 1);
    // Silent until the slider is let go.
    muteForAWhile(-1);
    if (_playerF->isPaused()) {
        _syncClock->updateExternalClock(p);
        _playerF->setPosition(p);
        if (_playerR->isLoaded())
            _playerR->setPosition(p);
    } else {
        seek(p, false);
    }
    _pausePosition = p;
}

void VwPlayer::onSliderRelease()
{
    const bool held = _sliderHeld;
    _sliderHeld = false;
    if (held && _playerF->isPlaying() && _paused) {
        // The drag showed key frames; both pictures now go exactly where the
        // handle was let go (seeks stop short of the end, so does the handle).
        const qint64 d = _playerF->duration();
        _pausePosition = qMin(_pausePosition, qMax<qint64>(d - kSeekEndMarginMs, 0));
        seek(_pausePosition, true);
        setSliderValue(_pausePosition, true);
        if (!_resumeAfterDrag)
            Q_EMIT positionChanged(_pausePosition, d);
    }
    if (_resumeAfterDrag) {
        _pause(false, true, -1);
        _resumeAfterDrag = false;
    }
    onUnMuteIfRequired();
    if (_syncEnabled && _syncClock->isActive())
        _playerF->masterClock()->updateExternalClock(*_syncClock);
}

void VwPlayer::onPlayRestart()
{
    _syncClock->updateExternalClock(0);
    seek(0, false);
}

// Play, pause and stop

void VwPlayer::onPlayOrPause()
{
    playOrPause(false);
}

void VwPlayer::onUserStop()
{
    _seekMode = 0;
    stop();
    Q_EMIT playEvent(PLAY_EVENT_USER_STOP, nullptr);
}

void VwPlayer::stop()
{
    VwPlayerBase::stop();
    stopSeekTimers();
    // A drag cut short by the stop has nothing left to resume.
    _resumeAfterDrag = false;
}

// Fast seek

bool VwPlayer::isSeekBusy()
{
    return _seekRepeatTimer || _seekLastUpdateTimer || _seekUpdateTimer;
}

void VwPlayer::stopSeekTimers()
{
    dropTimer(_seekRepeatTimer);
    dropTimer(_seekLastUpdateTimer);
    dropTimer(_seekUpdateTimer);
    _seekStep = 1;
}

void VwPlayer::startSeekTimers()
{
    stopSeekTimers();
    _seekRepeatTimer = makeTimer(this, 300, false);
    connect(_seekRepeatTimer, &QTimer::timeout, this, &VwPlayer::onSeekPressed);
    _seekRepeatTimer->start();
    _seekUpdateTimer = makeTimer(this, 500, false);
    connect(_seekUpdateTimer, &QTimer::timeout, this, &VwPlayer::onSeekUpdate);
    _seekUpdateTimer->start();
}

void VwPlayer::onSeekForwardStart()
{
    startSeek(1);
}

void VwPlayer::onSeekBackwardStart()
{
    if (!_playerF->isLoaded())
        return;
    stopSeekTimers();
    startSeek(2);
}

void VwPlayer::onSeekFrameForwardStart()
{
    startSeek(3);
}

void VwPlayer::startSeek(int mode)
{
    _seekMode = mode;
    _loaded = false;
    if (!_playerF->isPaused()) {
        _pause(true, true, -1);
        Q_EMIT playEvent(PLAY_EVENT_PAUSE, _item);
    }
    onSeekPressed();
    startSeekTimers();
}

void VwPlayer::onSeekStepEnd()
{
    stopSeekTimers();
    _seekLastUpdateTimer = makeTimer(this, 300, true);
    connect(_seekLastUpdateTimer, &QTimer::timeout, this, &VwPlayer::onSeekLastUpdate);
    _seekLastUpdateTimer->start();
}

void VwPlayer::onSeekUpdate()
{
    if (!_loaded)
        seek(sliderValue(), false);
}

void VwPlayer::onSeekLastUpdate()
{
    if (!_loaded)
        seek(sliderValue(), false);
    stopSeekTimers();
}

qint64 VwPlayer::seekTarget(int mode, int step, qint64 current, qint64 duration)
{
    if (mode == 3)
        return qMin(current + kFrameStepMs, duration);
    const qint64 s = mode == 2 ? -step : step;
    // Integer division truncates toward zero like the mark arithmetic wants.
    const qint64 mark = current / kSeekMarkMs;
    qint64 target = (s + mark) * kSeekMarkMs;
    if (std::llabs(target - current) < 100)
        target = (2 * s + mark) * kSeekMarkMs;
    if (s >= 1 && duration - target < 500)
        target = duration;
    return target;
}

bool VwPlayer::isAtEnd() const
{
    const qint64 rest = _playerF->duration() - sliderValue();
    return _seekMode == 3 ? rest < 1 : rest < 500;
}

void VwPlayer::onSeekPressed()
{
    if (_loaded)
        return;
    if (_seekRepeatTimer)
        _seekRepeatTimer->setInterval(150);

    const qint64 d = _playerF->duration();
    qint64 t = seekTarget(_seekMode, _seekStep, sliderValue(), d);
    _seekStep = qMin(_seekStep + 1, 3);

    VwVideoFileList *list = VwVideoFileList::instance();
    if (isAtEnd() && _seekMode != 2) {
        stopSeekTimers();
        if (list->hasAdjacent(true)) {
            _endReached = true;
            list->onPlayNextVideo(-1);
        }
        return;
    }
    if (_seekMode == 2 && t < 0) {
        stopSeekTimers();
        if (list->hasAdjacent(false)) {
            _endReached = true;
            list->onPlayPreviousVideo(-1);
        }
        return;
    }

    if (qMin(t, d) <= 0)
        t = 0;
    else if (t >= d)
        t = d;
    setSliderValue(t);
    _pausePosition = t;
    Q_EMIT positionChanged(t, d);
}

// Swap

void VwPlayer::toggleSwap()
{
    toggleSwap(false);
}

void VwPlayer::toggleSwap(bool forceEmit)
{
    // The block holds off the user's repeated clicks, not the program's own swaps.
    if (_swapBlocked && !forceEmit)
        return;

    AVPlayer *mainPlayer = _swapped ? _playerR : _playerF;
    AVPlayer *subPlayer = _swapped ? _playerF : _playerR;
    if (_zoomOverviewMain)
        mainPlayer->removeVideoRenderer(_zoomOverviewMain);
    if (_zoomOverviewSub)
        subPlayer->removeVideoRenderer(_zoomOverviewSub);

    if (!forceEmit) {
        _swapBlocked = true;
        delete _releaseBlockTimer;
        _releaseBlockTimer = makeTimer(this, 200, true);
        connect(_releaseBlockTimer, &QTimer::timeout, this, &VwPlayer::onReleaseBlockEvent);
        _releaseBlockTimer->start();
    }

    _swapped = !_swapped;
    VideoRenderer *front = _swapped ? _rendererSub : _rendererMain;
    VideoRenderer *other = _swapped ? _rendererMain : _rendererSub;
    _playerF->setRenderer(front, true);
    const bool cameraMissing = _item && (_item->frontPath.isEmpty() || _item->rearPath.isEmpty());
    if (cameraMissing) {
        if (other)
            other->receive(VideoFrame());
    } else {
        _playerR->setRenderer(other, true);
    }

    mainPlayer = _swapped ? _playerR : _playerF;
    subPlayer = _swapped ? _playerF : _playerR;
    if (_zoomOverviewMain)
        mainPlayer->addVideoRenderer(_zoomOverviewMain);
    if (_zoomOverviewSub)
        subPlayer->addVideoRenderer(_zoomOverviewSub);

    _pausePosition = qMax<qint64>(_pausePosition, 1);
    if (_playerF->isPaused())
        seek(_pausePosition, true);

    Q_EMIT playEvent(_swapped ? PLAY_EVENT_SWAP_REAR : PLAY_EVENT_SWAP_FRONT, nullptr);
}

void VwPlayer::onReleaseBlockEvent()
{
    _swapBlocked = false;
    dropTimer(_releaseBlockTimer);
}

// Speed

void VwPlayer::onSpeedSliderMoved(int position)
{
    if (!qobject_cast<QAbstractSlider *>(sender()) || position < 0 || position >= kSpeedCount)
        return;
    _speed = speedAt(position);
    if (_speedLabel)
        _speedLabel->setText(speedLabelAt(position));
}

void VwPlayer::onSpeedSliderReleased()
{
    auto *slider = qobject_cast<QAbstractSlider *>(sender());
    if (!slider)
        return;
    const int position = slider->value();
    if (position < 0 || position >= kSpeedCount)
        return;
    _speed = speedAt(position);
    if (_speedLabel)
        _speedLabel->setText(speedLabelAt(position));
    setPlaySpeed(_speed);
}

void VwPlayer::resetSpeed()
{
    constexpr int kNormalIndex = 2;
    _speed = speedAt(kNormalIndex);
    if (_speedLabel)
        _speedLabel->setText(speedLabelAt(kNormalIndex));
    setPlaySpeed(_speed);
}

// Refresh of a paused picture after a filter change

void VwPlayer::refreshRear()
{
    _pausePosition = qMax<qint64>(_pausePosition, 1);
    if (_playerR->isPaused()) {
        _holdPosition = true;
        if (_playerR->isLoaded())
            _playerR->setPosition(_pausePosition);
    }
}

void VwPlayer::refreshFront()
{
    _pausePosition = qMax<qint64>(_pausePosition, 1);
    if (_playerF->isPaused()) {
        _holdPosition = true;
        if (_playerF->isLoaded())
            _playerF->setPosition(_pausePosition);
    }
}

// Capture

bool VwPlayer::prepareForCapture()
{
    if (!_playerF->isLoaded() || _playerF->position() < 1)
        return false;
    if (_playerF->isPlaying() && !_playerF->isPaused())
        playOrPause(false);
    Q_EMIT cancelFullScreen();
    return true;
}

bool VwPlayer::startCapture()
{
    if (_captureFailTimer || !_playerF->isLoaded() || _playerF->position() < 1)
        return false;
    const bool wasPaused = _playerF->isPaused();
    if (!wasPaused)
        playOrPause(false);
    Q_EMIT cancelFullScreen();

    _captureFailTimer = makeTimer(this, 2000, true);
    connect(_captureFailTimer, &QTimer::timeout, this, &VwPlayer::onFailToCapture);
    _captureFailTimer->start();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);

    if (wasPaused) {
        QTimer::singleShot(100, this, &VwPlayer::requestVideoCaptureProcess);
    } else {
        delete _captureReadyTimer;
        _captureReadyTimer = makeTimer(this, 500, false);
        connect(_captureReadyTimer, &QTimer::timeout, this, &VwPlayer::onReadyForCapture);
        _captureReadyTimer->start();
    }
    return true;
}

void VwPlayer::onReadyForCapture()
{
    if (!_playerF->isPaused() || (_playerR->isLoaded() && !_playerR->isPaused()))
        return;
    dropTimer(_captureReadyTimer);
    QTimer::singleShot(100, this, &VwPlayer::requestVideoCaptureProcess);
}

void VwPlayer::requestVideoCaptureProcess()
{
    if (!_captureFailTimer || !_item)
        return;
    delete _capturePaths;
    _capturePaths = new QList<QString>;
    _captureDir = VwApp::instance()->appPath(VwApp::PATH_BACKUP);
    // The data folders are made at start-up, but may have gone since.
    QDir().mkpath(_captureDir);

    // Both stills carry the same moment: the recording time the play slider
    // shows for the paused position (the player's position scaled to the
    // recording's own duration).
    const qint64 d = _playerF->duration();
    const qint64 p = qBound<qint64>(0, _playerF->position(), d);
    _captureTime = d > 0 ? qint64(double(p) * double(_item->durationMs) / double(d)) : p;
    _capturePosition = p;
    _captureDuration = d;
    // A recording without a front file plays its rear file on the front player.
    const bool frontCamera = !_item->frontPath.isEmpty();
    captureCamera(true, _item->captureName(_captureTime)
                            + (frontCamera ? QLatin1String("_CH1_") : QLatin1String("_CH2_")));
}

void VwPlayer::captureCamera(bool front, const QString &name)
{
    AVPlayer *player = front ? _playerF : _playerR;
    auto *capture = player->findChild<VideoCapture *>(QString(), Qt::FindDirectChildrenOnly);
    if (!capture)
        capture = new VideoCapture(player);
    capture->setAsync(false);
    capture->setCaptureDir(_captureDir);
    capture->setSaveFormat(QStringLiteral("jpg"));
    capture->setCaptureName(name);
    if (front)
        connect(capture, &VideoCapture::saved, this, &VwPlayer::onCaptureSavedFront, Qt::UniqueConnection);
    else
        connect(capture, &VideoCapture::saved, this, &VwPlayer::onCaptureSavedRear, Qt::UniqueConnection);
    connect(capture, &VideoCapture::failed, this, &VwPlayer::onCaptureFailed, Qt::UniqueConnection);
    capture->capture();
}

bool VwPlayer::tagStill(const QString &path) const
{
    const VwSensorInfo *info = _item ? _item->sensorInfo : nullptr;
    const QDateTime moment = _item ? _item->dateTime.addMSecs(_captureTime) : QDateTime();
    const VwStillExif exif(moment,
                           VwStillExif::shownRecord(info, _capturePosition, _captureDuration));
    return exif.rewrite(path, nullptr);
}

void VwPlayer::onCaptureSavedFront(const QString &path)
{
    if (!_capturePaths || !_captureFailTimer)
        return;
    _capturePaths->append(path);
    if (!tagStill(path)) {
        endCapture(false);
        return;
    }
    if (_playerR->isLoaded() && _item) {
        captureCamera(false, _item->captureName(_captureTime) + QLatin1String("_CH2_"));
        return;
    }
    endCapture(true);
}

void VwPlayer::onCaptureSavedRear(const QString &path)
{
    if (!_capturePaths || !_captureFailTimer)
        return;
    _capturePaths->append(path);
    endCapture(tagStill(path));
}

void VwPlayer::onFailToCapture()
{
    qCWarning(lcHxCore) << "VwPlayer::onFailToCapture" << "no still within 2 s";
    endCapture(false);
}

void VwPlayer::onCaptureFailed()
{
    qCWarning(lcHxCore) << "VwPlayer::onCaptureFailed" << _captureDir;
    endCapture(false);
}

void VwPlayer::endCapture(bool done)
{
    if (!_captureFailTimer)
        return;
    dropTimer(_captureFailTimer);
    dropTimer(_captureReadyTimer);
    QGuiApplication::restoreOverrideCursor();
    if (done) {
        Q_EMIT videoCaptureDone(_capturePaths);
        return;
    }
    // Half a capture is no capture: a front still without its rear one would
    // otherwise stay in the folder for good.
    if (_capturePaths) {
        for (const QString &path : qAsConst(*_capturePaths))
            QFile::remove(path);
        _capturePaths->clear();
    }
    Q_EMIT videoCaptureFailed();
}

QDateTime VwPlayer::currentDateTime() const
{
    if (!_playerF->isLoaded() || !_item)
        return QDateTime();
    const qint64 d = _playerF->duration();
    if (d <= 0)
        return QDateTime();
    return _item->dateTimeAt(double(_playerF->position()) / double(d));
}
