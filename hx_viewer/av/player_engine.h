#pragma once

#include "av_error.h"
#include "av_global.h"
#include "av_player.h"
#include "frame_queue.h"
#include "packet_queue.h"
#include "video_frame.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

struct AVBufferPool;
struct AVFrame;
struct SwsContext;

namespace av {

class AudioOutput;
class AVClock;
class MediaContext;
class VideoFrameFilter;
class VideoRenderer;

// The machinery behind AVPlayer: state kept on the GUI thread, the demux,
// video and audio threads, and the presentation step the Presenter calls.
class PlayerEngine
{
public:
    explicit PlayerEngine(AVPlayer *player);
    ~PlayerEngine();
    PlayerEngine(const PlayerEngine &) = delete;
    PlayerEngine &operator=(const PlayerEngine &) = delete;

    // GUI thread.
    void setFile(const QString &path);
    bool load();
    void play();
    void pause(bool p);
    void stop();
    void setPosition(qint64 msecs);
    void setSpeed(qreal speed);
    qint64 position() const;
    qint64 duration() const;
    qint64 startMs() const;
    void addRenderer(VideoRenderer *renderer);
    void removeRenderer(VideoRenderer *renderer);
    void installFilter(VideoFrameFilter *filter);
    bool uninstallFilter(VideoFrameFilter *filter);
    QList<VideoFrameFilter *> filters() const;
    // One presentation step; called by the Presenter.
    void present();
    // How long the Presenter may sleep before this player needs it again.
    int msUntilDue() const;

    AVPlayer *const q;
    QString file;
    int index = 0;
    std::shared_ptr<MediaContext> media;
    MediaStatus status = NoMedia;
    AVPlayer::State state = AVPlayer::StoppedState;
    bool userPaused = false;
    SeekType seekType = AccurateSeek;
    qint64 fixedDuration = 0;
    bool relativeTime = true;
    MediaEndAction endAction = MediaEndAction_Default;
    int audioStreamChoice = 0;
    AudioOutput *audio = nullptr;
    AVClock *clock = nullptr;
    qreal speed = 1.0;
    QList<VideoRenderer *> renderers;
    VideoFrame displayed;
    AVError lastError;
    bool seekPending = false;

    std::atomic<qint64> decodedFrames{0};
    std::atomic<qint64> presentedFrames{0};
    std::atomic<qint64> droppedFrames{0};

    static std::atomic<int> renderDivisor;

private:
    void setStatus(MediaStatus s);
    void setState(AVPlayer::State s);
    void onLoaded(int generation, std::shared_ptr<MediaContext> opened, const AVError &error);
    void unload();
    void joinLoader();
    void startThreads();
    void stopThreads();
    void stopInternal(bool notify);
    void endOfMedia();
    void show(const FrameQueue::Item &item);
    void requestSeek(double target, bool accurate);
    double toSeconds(qint64 msecs) const;
    qint64 toMsecs(double seconds) const;

    // Worker threads.
    void demuxLoop();
    void videoLoop();
    void audioLoop();
    VideoFrame renderFrame(const AVFrame *decoded);
    VideoFrame convert(const AVFrame *frame);
    bool demuxFull() const;

    // Loading.
    std::thread m_loader;
    int m_loadGeneration = 0;
    bool m_playOnLoad = false;
    std::atomic<bool> m_interrupt{false};

    // Running.
    std::thread m_demuxThread;
    std::thread m_videoThread;
    std::thread m_audioThread;
    std::atomic<bool> m_abort{false};
    std::atomic<bool> m_audioEnabled{false};
    PacketQueue m_videoPackets;
    PacketQueue m_audioPackets;
    FrameQueue m_frames;
    std::atomic<int> m_serial{0};

    // Seek requests (GUI -> demux), under m_demuxMutex.
    std::mutex m_demuxMutex;
    std::condition_variable m_demuxWake;
    bool m_seekRequested = false;
    double m_seekTarget = 0.0;
    bool m_seekAccurate = false;

    // What the decoder must do with the packets of a serial (demux -> decoder).
    std::mutex m_serialMutex;
    int m_infoSerial = -1;
    double m_infoTarget = 0.0;
    bool m_infoAccurate = false;

    std::mutex m_audioMutex;
    std::condition_variable m_audioWake;

    // Set while paused: the video thread stops after the frame it must show.
    std::mutex m_holdMutex;
    std::condition_variable m_holdWake;
    std::atomic<bool> m_holdDecoding{false};

    // Filters run under this lock, which also guards the converter.
    mutable std::mutex m_filterMutex;
    QList<VideoFrameFilter *> m_filters;
    SwsContext *m_sws = nullptr;
    AVBufferPool *m_pool = nullptr;
    int m_poolSize = 0;
    int m_swsColorspace = -1;
    int m_swsRange = -1;

    // Presentation (GUI thread).
    bool m_awaitFirst = false;
    bool m_firstAfterStart = false;
    bool m_hasShown = false;
    double m_lastPts = 0.0;
    double m_lastDuration = 0.0;
    double m_pendingRequest = 0.0; // last seek target asked for, seconds
    double m_pendingTarget = 0.0;  // where that seek was sent
    bool m_pendingAccurate = false;
    qint64 m_stoppedPosition = 0;
    QElapsedTimer m_positionTimer;
};

} // namespace av
