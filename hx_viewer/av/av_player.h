#pragma once

#include "av_error.h"
#include "av_global.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

namespace av {

class AudioOutput;
class AVClock;
class PlayerEngine;
class VideoFrame;
class VideoCapture;
class VideoFrameFilter;
class VideoRenderer;

// Plays one media file: a demux thread, a video decode thread and, when the
// file has sound and the audio output has back ends, an audio decode thread.
// Frames are presented on the GUI thread by one presenter shared by every
// player, each when the player's master clock reaches its time stamp, so two
// players whose clocks agree show the same moment. All public calls and all
// signals belong to the GUI thread.
class AVPlayer : public QObject
{
    Q_OBJECT
public:
    enum State { StoppedState, PlayingState, PausedState };
    Q_ENUM(State)

    explicit AVPlayer(QObject *parent = nullptr);
    ~AVPlayer() override;

    // Sets the file for the next load(); a different file unloads the current
    // one (stopping playback first).
    void setFile(const QString &path);
    QString file() const;
    // Opens the file asynchronously: LoadingMedia, then LoadedMedia or
    // InvalidMedia with error(). Returns false when there is no file.
    bool load();
    bool isLoaded() const;
    MediaStatus mediaStatus() const;

    State state() const;
    // True while playing or paused.
    bool isPlaying() const;
    // Reflects pause(true) as soon as that call returns.
    bool isPaused() const;

    void setSeekType(SeekType type);
    SeekType seekType() const;
    // True while a seek has been asked for and has not yet finished.
    bool isSeekPending() const;

    // Milliseconds, on the file's own time line (see setRelativeTimeMode).
    qint64 position() const;
    qint64 duration() const;
    qint64 mediaStartPosition() const;
    qint64 mediaStopPosition() const;
    // A length to use instead of the one the file declares (0: none).
    void setFixedDuration(qint64 msecs);
    qint64 fixedDuration() const;
    // Relative mode counts from the file's start time; absolute mode (false)
    // uses the time stamps as stored.
    void setRelativeTimeMode(bool relative);
    bool relativeTimeMode() const;

    void setMediaEndAction(MediaEndAction action);
    MediaEndAction mediaEndAction() const;

    // Audio stream number among the file's audio streams; -1: no sound.
    bool setAudioStream(int index);
    int currentAudioStream() const;
    AudioOutput *audio() const;
    AVClock *masterClock() const;

    qreal speed() const;
    void setSpeed(qreal speed);

    // Replaces all outputs by `renderer`; with keepAspectSettings the previous
    // output's aspect-ratio settings carry over to it.
    void setRenderer(VideoRenderer *renderer, bool keepAspectSettings = false);
    VideoRenderer *renderer() const;
    void addVideoRenderer(VideoRenderer *renderer);
    void removeVideoRenderer(VideoRenderer *renderer);
    void clearVideoRenderers();
    QList<VideoRenderer *> videoOutputs() const;
    // The frame shown last (invalid before the first one).
    VideoFrame displayedFrame() const;

    // Video filters run in installation order on decoded frames.
    void installFilter(VideoFrameFilter *filter);
    bool uninstallFilter(VideoFrameFilter *filter);
    QList<VideoFrameFilter *> videoFilters() const;
    // Saves the displayed picture; made on first use, owned by the player.
    VideoCapture *videoCapture();

    // Number that labels this player's log lines.
    void setPlayerIndex(int index);
    int playerIndex() const;

    // Process-wide: 0 presents every decoded frame; N > 0 presents one in N.
    static void setRenderDivisor(int divisor);
    static int renderDivisor();

    AVError lastError() const;

    // Frame counts since the last play(), for diagnostics and benchmarks.
    struct Statistics {
        qint64 decoded = 0;   // frames that left the decoder
        qint64 presented = 0; // frames shown
        qint64 dropped = 0;   // frames skipped because they were late
    };
    Statistics statistics() const;

public Q_SLOTS:
    // Starts playing a loaded file (loading it first when needed).
    void play();
    // Refused (no effect) when not playing or already in the requested state.
    void pause(bool p = true);
    void togglePause();
    // Stops; when the player was playing or paused, stopped() follows.
    void stop();
    // Asynchronous; seekFinished() gives the position reached. A request made
    // while another is queued replaces it.
    void setPosition(qint64 msecs);
    void seek(qint64 msecs) { setPosition(msecs); }

Q_SIGNALS:
    void started();
    void stopped();
    void paused(bool p);
    void stateChanged(av::AVPlayer::State state);
    void mediaStatusChanged(av::MediaStatus status);
    void loaded();
    void positionChanged(qint64 position);
    void durationChanged(qint64 duration);
    void seekFinished(qint64 position);
    void speedChanged(qreal speed);
    void error(const av::AVError &e);
    // Once after each start, when the first frame is shown (pts in seconds).
    void firstFrameNotify(qreal pts);

private:
    friend class PlayerEngine;
    friend class Presenter;
    std::unique_ptr<PlayerEngine> d;
};

} // namespace av
