#include "player_engine.h"

#include "audio_output.h"
#include "av_clock.h"
#include "hx_av_log.h"
#include "media_context.h"
#include "presenter.h"
#include "video_frame_filter.h"
#include "video_renderer.h"

#include <QPointer>

#include <cmath>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/macros.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace av {

std::atomic<int> PlayerEngine::renderDivisor{0};

namespace {

// The demux thread reads ahead about two seconds of video.
constexpr int kMaxVideoPackets = 60;
constexpr int kMaxAudioPackets = 100;
constexpr long long kMaxQueuedBytes = 16 * 1024 * 1024;
// A frame later than this behind the clock is not converted when more
// frames follow.
constexpr double kLateDropSeconds = 0.1;
// ...but at most this many in a row, so that an overloaded machine still
// shows a moving picture instead of catching up in the dark.
constexpr int kMaxLateRun = 5;
// Audio more than this behind the clock is skipped rather than played late.
constexpr double kAudioLateSeconds = 0.2;
constexpr double kAudioLeadSeconds = 0.05;
constexpr int kPositionIntervalMs = 40;

void freeFrame(void *opaque)
{
    auto *frame = static_cast<AVFrame *>(opaque);
    av_frame_free(&frame);
}

} // namespace

PlayerEngine::PlayerEngine(AVPlayer *player)
    : q(player)
{
    m_videoPackets.setConsumedNotifier([this] {
        { std::lock_guard<std::mutex> lock(m_demuxMutex); }
        m_demuxWake.notify_all();
    });
    m_audioPackets.setConsumedNotifier([this] {
        { std::lock_guard<std::mutex> lock(m_demuxMutex); }
        m_demuxWake.notify_all();
    });
}

PlayerEngine::~PlayerEngine()
{
    Presenter::instance()->remove(this);
    stopThreads();
    // Set after stopThreads, which clears it for the next start: a load still
    // running is cut short instead of waited for.
    m_interrupt = true;
    joinLoader();
    sws_freeContext(m_sws);
    // Frees the pool once the last picture made from it is gone.
    av_buffer_pool_uninit(&m_pool);
}

double PlayerEngine::toSeconds(qint64 msecs) const
{
    const double offset = relativeTime && media ? media->startTime : 0.0;
    return double(msecs) / 1000.0 + offset;
}

qint64 PlayerEngine::toMsecs(double seconds) const
{
    const double offset = relativeTime && media ? media->startTime : 0.0;
    return qint64(std::llround((seconds - offset) * 1000.0));
}

qint64 PlayerEngine::startMs() const
{
    if (!media || relativeTime)
        return 0;
    return qint64(std::llround(media->startTime * 1000.0));
}

qint64 PlayerEngine::duration() const
{
    if (fixedDuration > 0)
        return fixedDuration;
    return media ? qint64(std::llround(media->duration * 1000.0)) : 0;
}

qint64 PlayerEngine::position() const
{
    if (state == AVPlayer::StoppedState)
        return m_stoppedPosition;
    return qMax<qint64>(0, toMsecs(clock->value()));
}

void PlayerEngine::setStatus(MediaStatus s)
{
    if (status == s)
        return;
    status = s;
    emit q->mediaStatusChanged(s);
}

void PlayerEngine::setState(AVPlayer::State s)
{
    if (state == s)
        return;
    state = s;
    emit q->stateChanged(s);
}

void PlayerEngine::setFile(const QString &path)
{
    if (path == file)
        return;
    if (state != AVPlayer::StoppedState)
        stopInternal(true);
    unload();
    file = path;
}

void PlayerEngine::joinLoader()
{
    if (m_loader.joinable())
        m_loader.join();
}

void PlayerEngine::unload()
{
    m_playOnLoad = false;
    ++m_loadGeneration;
    m_interrupt = true;
    joinLoader();
    m_interrupt = false;
    media.reset();
    fixedDuration = 0;
    m_hasShown = false;
    m_stoppedPosition = 0;
    setStatus(NoMedia);
}

bool PlayerEngine::load()
{
    if (state != AVPlayer::StoppedState)
        stopInternal(true);
    const bool playOnLoad = m_playOnLoad;
    unload();
    m_playOnLoad = playOnLoad;
    if (file.isEmpty())
        return false;
    setStatus(LoadingMedia);
    const int generation = m_loadGeneration;
    const QString path = file;
    const int playerIndex = index;
    m_loader = std::thread([this, generation, path, playerIndex] {
        AVError error;
        std::shared_ptr<MediaContext> opened = MediaContext::open(path, playerIndex, &error, &m_interrupt);
        // The engine outlives this thread (its destructor joins it), but the
        // result is handed over on the GUI thread.
        QMetaObject::invokeMethod(q, [this, generation, opened, error] {
            onLoaded(generation, opened, error);
        }, Qt::QueuedConnection);
    });
    return true;
}

void PlayerEngine::onLoaded(int generation, std::shared_ptr<MediaContext> opened, const AVError &error)
{
    if (generation != m_loadGeneration)
        return;
    joinLoader();
    if (!opened) {
        lastError = error;
        m_playOnLoad = false;
        qCWarning(lcHxAv) << "AVPlayer::load" << index << error.string() << error.ffmpegErrorString();
        setStatus(InvalidMedia);
        emit q->error(error);
        return;
    }
    media = std::move(opened);
    qCDebug(lcHxAv) << "AVPlayer::load" << index << file << "duration" << duration()
                    << "audio" << (media->audio != nullptr);
    setStatus(LoadedMedia);
    emit q->durationChanged(duration());
    emit q->loaded();
    if (m_playOnLoad && media) {
        m_playOnLoad = false;
        play();
    }
}

void PlayerEngine::play()
{
    if (file.isEmpty())
        return;
    if (!media) {
        m_playOnLoad = true;
        if (status != LoadingMedia)
            load();
        return;
    }
    if (state == AVPlayer::PausedState) {
        pause(false);
        return;
    }
    if (state == AVPlayer::PlayingState)
        return;

    decodedFrames = 0;
    presentedFrames = 0;
    droppedFrames = 0;
    userPaused = false;
    m_holdDecoding = false;
    m_awaitFirst = true;
    m_firstAfterStart = true;
    seekPending = false;
    m_hasShown = false;
    if (status == EndOfMedia)
        setStatus(LoadedMedia);

    clock->reset();
    clock->start();
    clock->pause(true);
    clock->setSpeed(speed);
    clock->updateValue(media->startTime);

    // Every start reads from the beginning, also after an earlier run.
    {
        std::lock_guard<std::mutex> lock(m_demuxMutex);
        ++m_serial;
        m_seekRequested = true;
        m_seekTarget = media->startTime;
        m_seekAccurate = false;
    }

    const bool wantAudio = media->audio && audioStreamChoice >= 0 && audio->hasBackends();
    m_audioEnabled = wantAudio && audio->open(media->audio->sample_rate);
    if (m_audioEnabled) {
        audio->setPaused(false);
        audio->setSpeed(speed);
    }
    startThreads();
    setState(AVPlayer::PlayingState);
    Presenter::instance()->add(this);
    m_positionTimer.start();
    qCDebug(lcHxAv) << "AVPlayer::play" << index << file << "audio" << audio->backendName();
    QPointer<AVPlayer> guard(q);
    QMetaObject::invokeMethod(q, [guard] {
        if (guard)
            emit guard->started();
    }, Qt::QueuedConnection);
}

void PlayerEngine::pause(bool p)
{
    if (state == AVPlayer::StoppedState || userPaused == p)
        return;
    if (!p && status == EndOfMedia) {
        // Paused at its end, the player plays again from the beginning, as it
        // does after stopping at its end; its clock would otherwise run on
        // past the last frame.
        setStatus(LoadedMedia);
        setPosition(startMs());
    }
    userPaused = p;
    {
        std::lock_guard<std::mutex> lock(m_holdMutex);
        m_holdDecoding = p;
    }
    m_holdWake.notify_all();
    if (p)
        clock->pause(true);
    else if (!m_awaitFirst)
        clock->pause(false);
    if (m_audioEnabled)
        audio->setPaused(p);
    if (!p)
        Presenter::instance()->wake();
    setState(p ? AVPlayer::PausedState : AVPlayer::PlayingState);
    emit q->paused(p);
}

void PlayerEngine::stop()
{
    if (state == AVPlayer::StoppedState) {
        // Nothing runs: a pending load-and-play is all there is to cancel.
        m_playOnLoad = false;
        return;
    }
    stopInternal(true);
}

void PlayerEngine::stopInternal(bool notify)
{
    m_stoppedPosition = position();
    Presenter::instance()->remove(this);
    stopThreads();
    userPaused = false;
    m_awaitFirst = false;
    seekPending = false;
    clock->pause(true);
    if (!(endAction & MediaEndAction_KeepDisplay)) {
        displayed = VideoFrame();
        for (VideoRenderer *renderer : qAsConst(renderers))
            renderer->receive(VideoFrame());
    }
    if (status != EndOfMedia && media)
        setStatus(LoadedMedia);
    setState(AVPlayer::StoppedState);
    qCDebug(lcHxAv) << "AVPlayer::stop" << index << "at" << m_stoppedPosition << "presented" << presentedFrames
                    << "dropped" << droppedFrames;
    if (notify) {
        QPointer<AVPlayer> guard(q);
        QMetaObject::invokeMethod(q, [guard] {
            if (guard)
                emit guard->stopped();
        }, Qt::QueuedConnection);
    }
}

void PlayerEngine::startThreads()
{
    m_abort = false;
    m_videoPackets.restart();
    m_audioPackets.restart();
    m_frames.restart();
    m_demuxThread = std::thread([this] { demuxLoop(); });
    m_videoThread = std::thread([this] { videoLoop(); });
    if (m_audioEnabled)
        m_audioThread = std::thread([this] { audioLoop(); });
}

void PlayerEngine::stopThreads()
{
    m_abort = true;
    m_interrupt = true;
    m_videoPackets.abort();
    m_audioPackets.abort();
    m_frames.abort();
    { std::lock_guard<std::mutex> lock(m_demuxMutex); }
    m_demuxWake.notify_all();
    { std::lock_guard<std::mutex> lock(m_audioMutex); }
    m_audioWake.notify_all();
    { std::lock_guard<std::mutex> lock(m_holdMutex); }
    m_holdWake.notify_all();
    if (m_demuxThread.joinable())
        m_demuxThread.join();
    if (m_videoThread.joinable())
        m_videoThread.join();
    if (m_audioThread.joinable())
        m_audioThread.join();
    m_interrupt = false;
    m_videoPackets.flush();
    m_audioPackets.flush();
    m_frames.clear();
    {
        std::lock_guard<std::mutex> lock(m_demuxMutex);
        m_seekRequested = false;
    }
    if (m_audioEnabled) {
        audio->close();
        m_audioEnabled = false;
    }
}

void PlayerEngine::requestSeek(double target, bool accurate)
{
    {
        // Serial and target change together: the demux thread takes them
        // together under this lock, and must never pair one request's
        // serial with another's target.
        std::lock_guard<std::mutex> lock(m_demuxMutex);
        ++m_serial;
        m_seekRequested = true;
        m_seekTarget = target;
        m_seekAccurate = accurate;
    }
    m_demuxWake.notify_all();
    m_frames.wake();
    { std::lock_guard<std::mutex> lock(m_holdMutex); }
    m_holdWake.notify_all();
    { std::lock_guard<std::mutex> lock(m_audioMutex); }
    m_audioWake.notify_all();
    if (m_audioEnabled)
        audio->flush();
}

void PlayerEngine::setPosition(qint64 msecs)
{
    if (state == AVPlayer::StoppedState || !media) {
        qCDebug(lcHxAv) << "AVPlayer::setPosition" << index << "not running, ignored" << msecs;
        return;
    }
    const double begin = media->startTime;
    const double end = media->startTime + double(duration()) / 1000.0;
    double target = qBound(begin, toSeconds(msecs), qMax(begin, end - 0.010));
    bool accurate = seekType == AccurateSeek;
    // Asking a paused player for the moment it shows re-makes exactly that
    // picture (for instance after its filters changed) instead of jumping
    // back to the key frame before it. The paused clock may be a little past
    // the shown frame when the next one was due but not yet drawn.
    const double shownUntil = qMax(m_lastPts + qMax(m_lastDuration, 0.001), clock->value() + 0.001);
    const double requested = target;
    if (m_awaitFirst && seekPending && qAbs(requested - m_pendingRequest) < 0.0005
        && (m_pendingAccurate || !accurate)) {
        // The same request again (a refresh right after a pause): keep its
        // resolved target. An exact request for the moment of a pending key
        // frame seek (a slider let go at once) still goes to that moment.
        target = m_pendingTarget;
        accurate = m_pendingAccurate;
    } else if (userPaused && m_hasShown && !m_awaitFirst
               && ((target >= m_lastPts - 0.0005 && target < shownUntil)
                   // The request that re-made the shown picture, again: the
                   // clock now stands at that picture, before the request.
                   || (qAbs(requested - m_pendingRequest) < 0.0005
                       && qAbs(m_pendingTarget - m_lastPts) < 0.0005))) {
        target = m_lastPts;
        accurate = true;
    }
    m_pendingRequest = requested;
    m_pendingTarget = target;
    m_pendingAccurate = accurate;
    qCDebug(lcHxAv) << "AVPlayer::setPosition" << index << msecs << (accurate ? "accurate" : "key frame");
    seekPending = true;
    m_awaitFirst = true;
    clock->pause(true);
    clock->updateValue(target);
    requestSeek(target, accurate);
    Presenter::instance()->wake();
}

void PlayerEngine::setSpeed(qreal value)
{
    if (value <= 0.0 || qFuzzyCompare(value, speed))
        return;
    speed = value;
    clock->setSpeed(value);
    audio->setSpeed(value);
    emit q->speedChanged(value);
}

void PlayerEngine::addRenderer(VideoRenderer *renderer)
{
    if (!renderer || renderers.contains(renderer))
        return;
    renderers.append(renderer);
    renderer->attachPlayer(q);
    if (state != AVPlayer::StoppedState && displayed.isValid())
        renderer->receive(displayed);
}

void PlayerEngine::removeRenderer(VideoRenderer *renderer)
{
    if (!renderer)
        return;
    renderers.removeAll(renderer);
    renderer->detachPlayer(q);
}

void PlayerEngine::installFilter(VideoFrameFilter *filter)
{
    std::lock_guard<std::mutex> lock(m_filterMutex);
    if (filter && !m_filters.contains(filter))
        m_filters.append(filter);
}

bool PlayerEngine::uninstallFilter(VideoFrameFilter *filter)
{
    std::lock_guard<std::mutex> lock(m_filterMutex);
    return m_filters.removeAll(filter) > 0;
}

QList<VideoFrameFilter *> PlayerEngine::filters() const
{
    std::lock_guard<std::mutex> lock(m_filterMutex);
    return m_filters;
}

void PlayerEngine::show(const FrameQueue::Item &item)
{
    displayed = item.frame;
    m_hasShown = true;
    m_lastPts = item.pts;
    m_lastDuration = item.duration;
    ++presentedFrames;
    const QList<VideoRenderer *> outputs = renderers;
    for (VideoRenderer *renderer : outputs)
        renderer->receive(item.frame);
}

void PlayerEngine::present()
{
    if (state == AVPlayer::StoppedState)
        return;
    const int serial = m_serial.load();
    m_frames.dropStale(serial);
    QPointer<AVPlayer> guard(q);
    FrameQueue::Item item;

    if (m_awaitFirst) {
        if (!m_frames.front(&item))
            return;
        m_frames.pop();
        m_awaitFirst = false;
        const bool firstAfterStart = m_firstAfterStart;
        m_firstAfterStart = false;
        if (item.end) {
            // Nothing to show at the target (a file cut short): report where
            // the player is and end there.
            if (seekPending) {
                seekPending = false;
                emit q->seekFinished(position());
                if (!guard || state == AVPlayer::StoppedState || serial != m_serial.load())
                    return;
            }
            endOfMedia();
            return;
        }
        clock->updateValue(item.pts);
        show(item);
        if (!userPaused)
            clock->pause(false);
        setStatus(BufferedMedia);
        if (!guard || state == AVPlayer::StoppedState || serial != m_serial.load())
            return;
        if (seekPending) {
            seekPending = false;
            emit q->seekFinished(toMsecs(item.pts));
            if (!guard || state == AVPlayer::StoppedState || serial != m_serial.load())
                return;
        }
        if (firstAfterStart) {
            emit q->firstFrameNotify(item.pts);
            if (!guard || state == AVPlayer::StoppedState || serial != m_serial.load())
                return;
        }
        m_positionTimer.restart();
        emit q->positionChanged(position());
        return;
    }

    if (userPaused)
        return;
    const double now = clock->value();
    bool have = false;
    FrameQueue::Item next;
    while (m_frames.front(&item) && !item.end && item.pts <= now) {
        m_frames.pop();
        if (have)
            ++droppedFrames;
        next = item;
        have = true;
    }
    if (have)
        show(next);
    if (m_frames.front(&item) && item.end && (!m_hasShown || now >= m_lastPts + m_lastDuration - 0.001)) {
        m_frames.pop();
        endOfMedia();
        return;
    }
    if (m_positionTimer.elapsed() >= kPositionIntervalMs) {
        m_positionTimer.restart();
        emit q->positionChanged(position());
    }
}

int PlayerEngine::msUntilDue() const
{
    // Waiting for a decoder (first frame, or a queue run dry): look often.
    constexpr int kPollMs = 5;
    constexpr int kLongMs = 1000;
    if (state == AVPlayer::StoppedState || (userPaused && !m_awaitFirst))
        return kLongMs;
    FrameQueue::Item item;
    if (m_awaitFirst || !m_frames.front(&item))
        return kPollMs;
    const double due = item.end ? m_lastPts + m_lastDuration : item.pts;
    const double wait = (due - clock->value()) / qMax(clock->speed(), 0.01);
    return int(std::ceil(qMax(0.0, wait) * 1000.0));
}

void PlayerEngine::endOfMedia()
{
    QPointer<AVPlayer> guard(q);
    qCDebug(lcHxAv) << "AVPlayer::endOfMedia" << index << "last frame at" << m_lastPts;
    clock->pause(true);
    if (m_hasShown)
        clock->updateValue(qMax(clock->value(), m_lastPts + m_lastDuration));
    setStatus(EndOfMedia);
    if (!guard || state == AVPlayer::StoppedState)
        return;
    emit q->positionChanged(position());
    if (!guard || state == AVPlayer::StoppedState)
        return;
    if (endAction & MediaEndAction_Pause) {
        pause(true);
        return;
    }
    stopInternal(true);
}

// ---------------------------------------------------------------------------
// Demux thread

bool PlayerEngine::demuxFull() const
{
    if (m_videoPackets.bytes() + m_audioPackets.bytes() > kMaxQueuedBytes)
        return true;
    return m_videoPackets.count() >= kMaxVideoPackets
        && (!m_audioEnabled || m_audioPackets.count() >= kMaxAudioPackets);
}

void PlayerEngine::demuxLoop()
{
    AVFormatContext *ic = media->format;
    const int videoIndex = media->videoStream;
    const int audioIndex = media->audioStream;
    int serial = m_serial.load();
    bool ended = false;
    while (!m_abort) {
        bool seek = false;
        double target = 0.0;
        bool accurate = false;
        {
            std::unique_lock<std::mutex> lock(m_demuxMutex);
            m_demuxWake.wait(lock, [&] {
                return m_abort || m_seekRequested || (!ended && !demuxFull());
            });
            if (m_abort)
                break;
            if (m_seekRequested) {
                seek = true;
                m_seekRequested = false;
                target = m_seekTarget;
                accurate = m_seekAccurate;
                serial = m_serial.load();
            }
        }
        if (seek) {
            const int64_t ts = int64_t(target * AV_TIME_BASE);
            const int ret = avformat_seek_file(ic, -1, INT64_MIN, ts, ts, 0);
            m_videoPackets.flush();
            m_audioPackets.flush();
            {
                std::lock_guard<std::mutex> lock(m_serialMutex);
                m_infoSerial = serial;
                m_infoTarget = target;
                m_infoAccurate = accurate;
            }
            ended = false;
            if (ret < 0) {
                const AVError error(AVError::SeekError, QStringLiteral("seek error at %1 s").arg(target), ret);
                qCWarning(lcHxAv) << "AVPlayer::seek" << index << error.string() << error.ffmpegErrorString();
                QMetaObject::invokeMethod(q, [this, error] {
                    lastError = error;
                    emit q->error(error);
                }, Qt::QueuedConnection);
            }
            continue;
        }
        AVPacket *packet = av_packet_alloc();
        const int ret = av_read_frame(ic, packet);
        if (ret < 0) {
            av_packet_free(&packet);
            if (m_abort)
                break;
            if (ret == AVERROR(EAGAIN))
                continue;
            if (ret != AVERROR_EOF)
                qCDebug(lcHxAv) << "AVPlayer::demux" << index << "read ends:"
                                << AVError(AVError::ReadError, ret).ffmpegErrorString();
            m_videoPackets.putEnd(serial);
            if (m_audioEnabled)
                m_audioPackets.putEnd(serial);
            ended = true;
            continue;
        }
        if (packet->stream_index == videoIndex)
            m_videoPackets.put(packet, serial);
        else if (m_audioEnabled && packet->stream_index == audioIndex)
            m_audioPackets.put(packet, serial);
        else
            av_packet_free(&packet);
    }
}

// ---------------------------------------------------------------------------
// Video decode thread

VideoFrame PlayerEngine::convert(const AVFrame *frame)
{
    AVFrame *out = nullptr;
    if (frame->format == AV_PIX_FMT_BGRA && frame->linesize[0] > 0) {
        out = av_frame_clone(frame);
    } else {
        m_sws = sws_getCachedContext(m_sws, frame->width, frame->height, AVPixelFormat(frame->format),
                                     frame->width, frame->height, AV_PIX_FMT_BGRA, SWS_BILINEAR,
                                     nullptr, nullptr, nullptr);
        if (!m_sws)
            return VideoFrame();
        const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
        if (desc && !(desc->flags & AV_PIX_FMT_FLAG_RGB)) {
            const int colorspace = (frame->colorspace == AVCOL_SPC_BT709
                                    || (frame->colorspace == AVCOL_SPC_UNSPECIFIED && frame->height >= 720))
                ? SWS_CS_ITU709 : SWS_CS_ITU601;
            const int range = frame->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
            if (colorspace != m_swsColorspace || range != m_swsRange) {
                sws_setColorspaceDetails(m_sws, sws_getCoefficients(colorspace), range,
                                         sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
                m_swsColorspace = colorspace;
                m_swsRange = range;
            }
        }
        // Pictures come from a pool: fresh 8 MB buffers for every 1080p frame
        // would cost a page fault per 4 KB.
        const int linesize = FFALIGN(frame->width * 4, 64);
        const int size = linesize * frame->height;
        if (!m_pool || size != m_poolSize) {
            av_buffer_pool_uninit(&m_pool);
            m_pool = av_buffer_pool_init(size, nullptr);
            m_poolSize = size;
        }
        AVBufferRef *buffer = m_pool ? av_buffer_pool_get(m_pool) : nullptr;
        if (!buffer)
            return VideoFrame();
        out = av_frame_alloc();
        out->format = AV_PIX_FMT_BGRA;
        out->width = frame->width;
        out->height = frame->height;
        out->buf[0] = buffer;
        out->data[0] = buffer->data;
        out->linesize[0] = linesize;
        sws_scale(m_sws, frame->data, frame->linesize, 0, frame->height, out->data, out->linesize);
    }
    if (!out)
        return VideoFrame();
    // The image owns the converted buffer and frees it with the last copy.
    const QImage image(out->data[0], out->width, out->height, out->linesize[0], QImage::Format_RGB32,
                       freeFrame, out);
    VideoFrame result(image);
    const AVRational sar = frame->sample_aspect_ratio;
    if (sar.num > 0 && sar.den > 0 && frame->height > 0)
        result.setDisplayAspectRatio(double(frame->width) * av_q2d(sar) / frame->height);
    return result;
}

VideoFrame PlayerEngine::renderFrame(const AVFrame *decoded)
{
    std::lock_guard<std::mutex> lock(m_filterMutex);
    const AVFrame *current = decoded;
    AVFrame *owned = nullptr;
    for (VideoFrameFilter *filter : qAsConst(m_filters)) {
        AVFrame *out = av_frame_alloc();
        if (filter->filterFrame(current, out) && out->data[0]) {
            av_frame_free(&owned);
            owned = out;
            current = out;
        } else {
            av_frame_free(&out);
        }
    }
    VideoFrame frame = convert(current);
    av_frame_free(&owned);
    return frame;
}

void PlayerEngine::videoLoop()
{
    AVCodecContext *ctx = media->video;
    const double timeBase = media->videoTimeBase;
    AVFrame *frame = av_frame_alloc();
    AVFrame *candidate = av_frame_alloc();
    bool haveCandidate = false;
    int decoderSerial = -1;
    double target = 0.0;
    bool accurate = false;
    bool first = true;
    int sinceFirst = 0;
    int lateRun = 0;
    double lastPts = 0.0;
    int decodeErrors = 0;

    auto stale = [&] { return m_abort.load() || decoderSerial != m_serial.load(); };

    auto output = [&](AVFrame *decoded, double pts, double duration) {
        std::shared_ptr<AVFrame> source(av_frame_clone(decoded), [](AVFrame *f) { av_frame_free(&f); });
        VideoFrame picture = renderFrame(decoded);
        if (!picture.isValid())
            return;
        picture.setTimestamp(pts);
        picture.setSourceFrame(std::move(source));
        FrameQueue::Item item;
        item.frame = std::move(picture);
        item.serial = decoderSerial;
        item.pts = pts;
        item.duration = duration;
        const bool firstOfSerial = first;
        first = false;
        m_frames.push(std::move(item), stale);
        if (firstOfSerial && !stale()) {
            // The first picture after a start or a seek is shown, and
            // BufferedMedia reported, as soon as the interface thread is
            // free rather than at the presenter's next look.
            QMetaObject::invokeMethod(q, [this] {
                if (m_awaitFirst)
                    present();
            }, Qt::QueuedConnection);
        }
    };

    auto handle = [&](AVFrame *decoded) {
        ++decodedFrames;
        double pts = lastPts + media->frameDuration;
        if (decoded->best_effort_timestamp != AV_NOPTS_VALUE)
            pts = decoded->best_effort_timestamp * timeBase;
        lastPts = pts;
        const double duration = decoded->pkt_duration > 0 ? decoded->pkt_duration * timeBase
                                                          : media->frameDuration;
        if (first && accurate && pts + duration <= target + 0.0001) {
            // Before the target of an accurate seek: keep it only in case the
            // stream ends before the target.
            av_frame_unref(candidate);
            av_frame_ref(candidate, decoded);
            haveCandidate = true;
            return;
        }
        if (!first) {
            const int divisor = renderDivisor.load();
            if (divisor > 0 && (++sinceFirst % divisor) != 0)
                return;
            // Late with more to come: skip the conversion, as ffplay does.
            if (!clock->isPaused() && pts + duration < clock->value() - kLateDropSeconds
                && (m_videoPackets.count() > 0 || m_frames.size() > 0) && lateRun < kMaxLateRun) {
                ++lateRun;
                ++droppedFrames;
                return;
            }
            lateRun = 0;
        }
        output(decoded, pts, duration);
    };

    while (!m_abort) {
        if (!first && m_holdDecoding && !stale()) {
            // Paused with the picture shown: decode nothing more until play
            // resumes or a seek comes, so that a seek never waits for work
            // done ahead.
            std::unique_lock<std::mutex> lock(m_holdMutex);
            m_holdWake.wait(lock, [&] { return !m_holdDecoding || stale(); });
            continue;
        }
        PacketQueue::Item packet;
        if (!m_videoPackets.get(&packet))
            break;
        if (packet.serial != decoderSerial) {
            avcodec_flush_buffers(ctx);
            decoderSerial = packet.serial;
            {
                std::lock_guard<std::mutex> lock(m_serialMutex);
                const bool known = m_infoSerial == decoderSerial;
                target = known ? m_infoTarget : 0.0;
                accurate = known && m_infoAccurate;
            }
            first = true;
            sinceFirst = 0;
            haveCandidate = false;
            av_frame_unref(candidate);
        }
        if (stale()) {
            av_packet_free(&packet.packet);
            continue;
        }
        int ret = avcodec_send_packet(ctx, packet.end ? nullptr : packet.packet);
        if (ret < 0 && ret != AVERROR(EAGAIN) && ret != AVERROR_EOF && decodeErrors++ < 10)
            qCDebug(lcHxAv) << "AVPlayer::decode" << index << "packet skipped:"
                            << AVError(AVError::DecodeError, ret).ffmpegErrorString();
        av_packet_free(&packet.packet);
        while (!m_abort) {
            ret = avcodec_receive_frame(ctx, frame);
            if (ret < 0)
                break;
            if (!stale())
                handle(frame);
            av_frame_unref(frame);
        }
        if (packet.end && !stale()) {
            if (first && haveCandidate)
                output(candidate, candidate->best_effort_timestamp != AV_NOPTS_VALUE
                                      ? candidate->best_effort_timestamp * timeBase : lastPts,
                       media->frameDuration);
            FrameQueue::Item end;
            end.serial = decoderSerial;
            end.end = true;
            m_frames.push(std::move(end), stale);
            // A drained decoder takes new packets only after a flush.
            avcodec_flush_buffers(ctx);
        }
    }
    av_frame_free(&candidate);
    av_frame_free(&frame);
}

// ---------------------------------------------------------------------------
// Audio decode thread

void PlayerEngine::audioLoop()
{
    AVCodecContext *ctx = media->audio;
    const double timeBase = media->audioTimeBase;
    const int outRate = audio->sampleRate();
    SwrContext *swr = nullptr;
    int swrFormat = -1;
    int swrRate = 0;
    AVChannelLayout swrLayout = {};
    AVFrame *frame = av_frame_alloc();
    std::vector<float> samples;
    int decoderSerial = -1;
    auto stale = [&] { return m_abort.load() || decoderSerial != m_serial.load(); };

    auto play = [&](double pts, int frames) {
        int offset = 0;
        while (offset < frames && !stale()) {
            const bool running = clock->isActive() && !clock->isPaused();
            const double buffered = double(audio->bufferedFrames()) / outRate;
            const double lead = pts + double(offset) / outRate - (clock->value() + buffered);
            if (running && lead < -kAudioLateSeconds)
                return;
            if (!running || lead > kAudioLeadSeconds || audio->freeFrames() == 0) {
                std::unique_lock<std::mutex> lock(m_audioMutex);
                m_audioWake.wait_for(lock, std::chrono::milliseconds(10), stale);
                continue;
            }
            offset += audio->write(samples.data() + size_t(offset) * AudioOutput::channels(), frames - offset);
        }
    };

    const auto atNormalSpeed = [this] { return std::fabs(clock->speed() - 1.0) <= 0.01; };
    // Away from 1x the sound is silent, but its frames are still taken at the
    // pace of the clock: dropped at once, they would let the demuxer read far
    // ahead, and back at 1x the sound would resume only when the clock caught
    // up with it.
    auto skip = [&](double pts) {
        while (!stale() && !atNormalSpeed()
               && (!clock->isActive() || clock->isPaused() || pts > clock->value())) {
            std::unique_lock<std::mutex> lock(m_audioMutex);
            m_audioWake.wait_for(lock, std::chrono::milliseconds(10), stale);
        }
    };

    while (!m_abort) {
        PacketQueue::Item packet;
        if (!m_audioPackets.get(&packet))
            break;
        if (packet.serial != decoderSerial) {
            avcodec_flush_buffers(ctx);
            decoderSerial = packet.serial;
        }
        if (stale() || packet.end) {
            av_packet_free(&packet.packet);
            if (packet.end)
                avcodec_flush_buffers(ctx);
            continue;
        }
        avcodec_send_packet(ctx, packet.packet);
        av_packet_free(&packet.packet);
        while (!stale() && avcodec_receive_frame(ctx, frame) >= 0) {
            const double pts = frame->best_effort_timestamp != AV_NOPTS_VALUE
                ? frame->best_effort_timestamp * timeBase : clock->value();
            if (!atNormalSpeed()) {
                av_frame_unref(frame);
                skip(pts);
                continue;
            }
            if (!swr || frame->format != swrFormat || frame->sample_rate != swrRate
                || av_channel_layout_compare(&frame->ch_layout, &swrLayout) != 0) {
                swr_free(&swr);
                av_channel_layout_uninit(&swrLayout);
                AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
                if (swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_FLT, outRate, &frame->ch_layout,
                                        AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr) < 0
                    || swr_init(swr) < 0) {
                    swr_free(&swr);
                    av_frame_unref(frame);
                    continue;
                }
                swrFormat = frame->format;
                swrRate = frame->sample_rate;
                av_channel_layout_copy(&swrLayout, &frame->ch_layout);
            }
            const int capacity = swr_get_out_samples(swr, frame->nb_samples);
            samples.resize(size_t(qMax(capacity, 0)) * AudioOutput::channels());
            uint8_t *out[] = {reinterpret_cast<uint8_t *>(samples.data())};
            const int converted = swr_convert(swr, out, capacity,
                                              const_cast<const uint8_t **>(frame->extended_data),
                                              frame->nb_samples);
            av_frame_unref(frame);
            if (converted > 0)
                play(pts, converted);
        }
    }
    swr_free(&swr);
    av_channel_layout_uninit(&swrLayout);
    av_frame_free(&frame);
}

} // namespace av
