#pragma once

#include "vw_player_zoom.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <QMetaType>

class QLabel;
class QTimer;

// The program's player: the synchronised pair with what the user drives
// directly: the position slider, fast forward/backward and frame steps, play,
// pause and stop, the swap of the two panes, the speed slider and the still
// capture of both cameras.
class VwPlayer : public VwPlayerZoom
{
    Q_OBJECT

public:
    static VwPlayer *instance();

    // The program uses instance(); tests make players of their own.
    explicit VwPlayer(QObject *parent = nullptr);
    ~VwPlayer() override;

    void stop() override;
    bool isSeekBusy() override;
    void seek(qint64 position, bool hold) override;
    void stopSeekTimers() override;
    void refreshRear() override;
    void refreshFront() override;

    bool startCapture();
    QDateTime currentDateTime() const;
    bool isAtEnd() const;

    // Playback speeds selectable with the speed slider (positions 0..3).
    static double speedAt(int index);
    static QString speedLabelAt(int index);
    // Where one fast-seek step goes from `current` (modes 1 forward, 2 backward, 3 frame step).
    static qint64 seekTarget(int mode, int step, qint64 current, qint64 duration);

    // The time the play slider's label shows, in recording milliseconds.
    qint64 displayTime() const { return _displayTime; }
    void setDisplayTime(qint64 ms) { _displayTime = ms; }
    QLabel *speedLabel() const { return _speedLabel; }
    void setSpeedLabel(QLabel *label) { _speedLabel = label; }
    const QList<QString> *capturePaths() const { return _capturePaths; }

Q_SIGNALS:
    void videoCaptureDone(QList<QString> *list);
    // A capture ended without its stills; nothing of it is left on disk.
    void videoCaptureFailed();
    void swapChanged(bool swap);
    void cancelFullScreen();
    void userStop();

public Q_SLOTS:
    void requestVideoCaptureProcess();
    void onSliderPress(bool bKnob);
    void onSliderMove(int value);
    void onSliderRelease();
    void onPlayOrPause();
    void onUserStop();
    void onSeekForwardStart();
    void onSeekBackwardStart();
    void onSeekFrameForwardStart();
    void onSeekStepEnd();
    bool prepareForCapture();
    void onCaptureSavedFront(const QString &path);
    void onCaptureSavedRear(const QString &path);
    void toggleSwap(bool forceEmit);
    void toggleSwap();
    void onSpeedSliderMoved(int position);
    void onSpeedSliderReleased();
    // Back to normal speed, shown on the speed label at once.
    void resetSpeed();
    void onPlayRestart();

private Q_SLOTS:
    void onSeekUpdate();
    void onSeekLastUpdate();
    void onSeekPressed();
    void onReleaseBlockEvent();
    void onReadyForCapture();
    void onFailToCapture();
    void onCaptureFailed();

protected:
    void timerEvent(QTimerEvent *event) override;

    void seekPlayer(av::AVPlayer *player, qint64 position, bool exact);
    void startSeek(int mode);
    void startSeekTimers();
    void captureCamera(bool front, const QString &name);
    void endCapture(bool done);
    bool tagStill(const QString &path) const;
    qint64 sliderValue() const;

    bool _resumeAfterDrag = false;
    QTimer *_captureReadyTimer = nullptr;
    QTimer *_captureFailTimer = nullptr;
    int _seekStep = 1;
    QTimer *_seekRepeatTimer = nullptr;
    QTimer *_seekLastUpdateTimer = nullptr;
    QTimer *_seekUpdateTimer = nullptr;
    qint64 _displayTime = 0;
    QString _captureDir;
    QList<QString> *_capturePaths = nullptr;
    QLabel *_speedLabel = nullptr;
    QTimer *_releaseBlockTimer = nullptr;
    bool _swapBlocked = false;
    // Recording time both still names carry, taken once per capture.
    qint64 _captureTime = 0;
    // The front player's position and duration at the capture, which place
    // the GPS record the stills are tagged with.
    qint64 _capturePosition = 0;
    qint64 _captureDuration = 0;
};

Q_DECLARE_METATYPE(QList<QString> *)
