#pragma once

#include "av_global.h"
#include "vw_play_event.h"

#include <QMetaType>
#include <QObject>
#include <QSharedPointer>

// Play events travel in queued connections and signal spies.
Q_DECLARE_METATYPE(PLAY_EVENT)

class QAbstractButton;
class QSlider;
class QTimer;
class VwVideoItem;

namespace av {
class AVClock;
class AVError;
class AVPlayer;
class VideoRenderer;
} // namespace av

// Plays the front and rear files of one recording on two players and keeps
// them at the same moment. Both players and a clock of our own run on
// external clocks: the pair's clock is the reference, the front clock is put
// back onto it every 300 ms and both are put onto it after every seek. Only
// the front player makes sound. A recording without a front file plays its
// rear file on the front player.
//
// Everything runs on the GUI thread. Pausing waits, in 10 ms steps, until the
// players report the requested state, which ours do at once; nothing else
// blocks the thread.
class VwPlayerBase : public QObject
{
    Q_OBJECT

public:
    explicit VwPlayerBase(QObject *parent = nullptr);
    ~VwPlayerBase() override;

    av::AVPlayer *playerF() const { return _playerF; }
    av::AVPlayer *playerR() const { return _playerR; }
    av::VideoRenderer *rendererMain() const { return _rendererMain; }
    av::VideoRenderer *rendererSub() const { return _rendererSub; }
    // 1 for the OpenGL widget renderer, 2 for the plain widget renderer.
    int rendererKind() const { return _rendererKind; }
    VwVideoItem *currentItem() const { return _item; }
    bool isSwapped() const { return _swapped; }
    bool isPaused() const { return _paused; }
    double playSpeed() const { return _speed; }

    // The panels hand their widgets over after construction; none is owned.
    QSlider *positionSlider() const { return _positionSlider; }
    void setPositionSlider(QSlider *slider) { _positionSlider = slider; }
    QAbstractButton *muteButton() const { return _muteButton; }
    void setMuteButton(QAbstractButton *button) { _muteButton = button; }
    QSlider *volumeSlider() const { return _volumeSlider; }
    void setVolumeSlider(QSlider *slider) { _volumeSlider = slider; }

    virtual void stop();
    virtual bool isSeekBusy();
    virtual void clearCamera(bool front);
    virtual void seek(qint64 position, bool hold);
    virtual void stopSeekTimers();

    void playOrPause(bool fromLoad);
    // Ends a fast seek's claim on the next load, which would otherwise start
    // the recording at its end when it was chosen while seeking backwards.
    void clearSeekMode() { _seekMode = 0; }
    void setPlaySpeed(double speed);
    void muteForAWhile(int ms);
    void restartSyncTimer();

    // Gain of the front audio for a volume slider position 0..100.
    static qreal volumeGain(int sliderValue);

Q_SIGNALS:
    void playEvent(PLAY_EVENT event, VwVideoItem *item);
    void positionChanged(qint64 current, qint64 total);

public Q_SLOTS:
    void onSetVolume();
    void onMute();
    void onLoad(VwVideoItem *item);
    void onStartPause();
    void onPlayerF(const av::AVError &error);
    void onPlayerR(const av::AVError &error);

protected Q_SLOTS:
    void onUnMuteIfRequired();
    void updateSlider(qint64 value);
    void updateSlider();
    void changeClockType();
    void onMediaChangedF(av::MediaStatus status);
    void onMediaChangedR(av::MediaStatus status);
    void onPositionChanged(qint64 value);
    void onSeekFinishedF(qint64 pos);
    void onSeekFinishedR(qint64 pos);
    void onStoppedF();
    void onStoppedR();
    void onFirstFrame(qreal pts);
    void on_sync_timer_restarted();

protected:
    void _pause(bool bPause, bool bWait, qint64 position);
    void killSyncTimer();
    void startSyncTimer();
    void setSliderValue(qint64 value, bool blockSignals = false);
    // The last awaited player has stopped: announce it, or go on to the next recording.
    void finishStop();

    av::AVPlayer *_playerF = nullptr;
    av::AVPlayer *_playerR = nullptr;
    av::VideoRenderer *_rendererMain = nullptr;
    av::VideoRenderer *_rendererSub = nullptr;
    av::VideoRendererId _rendererId = av::VideoRendererId_Widget;
    int _rendererKind = 0;
    av::VideoRenderer *_zoomOverviewMain = nullptr;
    av::VideoRenderer *_zoomOverviewSub = nullptr;
    av::AVClock *_syncClock = nullptr;
    int _syncTimerId = -1;
    bool _syncEnabled = false;
    QTimer *_syncRestartTimer = nullptr;
    qint64 _lastPosition = 1;
    int _seekMode = 0;
    bool _loaded = false;
    bool _holdPosition = false;
    qint64 _pausePosition = 1;
    QSlider *_positionSlider = nullptr;
    QAbstractButton *_muteButton = nullptr;
    QSlider *_volumeSlider = nullptr;
    bool _idle = false;
    bool _paused = false;
    bool _endReached = false;
    bool _sliderHeld = false;
    double _speed = 1.0;
    bool _muteGuard = false;
    VwVideoItem *_item = nullptr;
    // Keeps the recording alive while it plays, also when the list is rebuilt.
    QSharedPointer<VwVideoItem> _itemRef;
    bool _swapped = false;
    int _pendingStops = 0;

    // Which file's LoadedMedia is awaited. The players report LoadedMedia
    // again when they stop, which must not start a recording anew.
    enum LoadingStage { NotLoading, LoadingFront, LoadingRear };
    LoadingStage _loadingStage = NotLoading;

private:
    void chooseRenderers();
};
