#include "av_player.h"

#include "audio_output.h"
#include "av_clock.h"
#include "player_engine.h"
#include "video_capture.h"
#include "video_frame_filter.h"
#include "video_renderer.h"

namespace av {

namespace {

void registerTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<av::AVError>("av::AVError");
        qRegisterMetaType<av::AVError>("AVError");
        qRegisterMetaType<av::MediaStatus>("av::MediaStatus");
        qRegisterMetaType<av::MediaStatus>("MediaStatus");
        qRegisterMetaType<av::AVPlayer::State>("av::AVPlayer::State");
        qRegisterMetaType<av::VideoFrame>("av::VideoFrame");
        return true;
    }();
    Q_UNUSED(registered)
}

} // namespace

AVPlayer::AVPlayer(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<PlayerEngine>(this))
{
    registerTypes();
    d->audio = new AudioOutput(this);
    d->clock = new AVClock(AVClock::AudioClock, this);
}

AVPlayer::~AVPlayer()
{
    const QList<VideoRenderer *> outputs = d->renderers;
    for (VideoRenderer *renderer : outputs)
        d->removeRenderer(renderer);
    d.reset();
}

void AVPlayer::setFile(const QString &path) { d->setFile(path); }
QString AVPlayer::file() const { return d->file; }
bool AVPlayer::load() { return d->load(); }
bool AVPlayer::isLoaded() const { return d->media != nullptr; }
MediaStatus AVPlayer::mediaStatus() const { return d->status; }
AVPlayer::State AVPlayer::state() const { return d->state; }
bool AVPlayer::isPlaying() const { return d->state != StoppedState; }
bool AVPlayer::isPaused() const { return d->state == PausedState; }
void AVPlayer::setSeekType(SeekType type) { d->seekType = type; }
SeekType AVPlayer::seekType() const { return d->seekType; }
bool AVPlayer::isSeekPending() const { return d->seekPending; }
qint64 AVPlayer::position() const { return d->position(); }
qint64 AVPlayer::duration() const { return d->duration(); }
qint64 AVPlayer::mediaStartPosition() const { return d->startMs(); }
qint64 AVPlayer::mediaStopPosition() const { return d->startMs() + d->duration(); }

void AVPlayer::setFixedDuration(qint64 msecs)
{
    d->fixedDuration = qMax<qint64>(0, msecs);
}

qint64 AVPlayer::fixedDuration() const { return d->fixedDuration; }
void AVPlayer::setRelativeTimeMode(bool relative) { d->relativeTime = relative; }
bool AVPlayer::relativeTimeMode() const { return d->relativeTime; }
void AVPlayer::setMediaEndAction(MediaEndAction action) { d->endAction = action; }
MediaEndAction AVPlayer::mediaEndAction() const { return d->endAction; }

bool AVPlayer::setAudioStream(int index)
{
    // Takes effect at the next start.
    d->audioStreamChoice = index < 0 ? -1 : index;
    return true;
}

int AVPlayer::currentAudioStream() const { return d->audioStreamChoice; }
AudioOutput *AVPlayer::audio() const { return d->audio; }
AVClock *AVPlayer::masterClock() const { return d->clock; }
qreal AVPlayer::speed() const { return d->speed; }
void AVPlayer::setSpeed(qreal speed) { d->setSpeed(speed); }

void AVPlayer::setRenderer(VideoRenderer *renderer, bool keepAspectSettings)
{
    VideoRenderer *previous = d->renderers.isEmpty() ? nullptr : d->renderers.first();
    if (renderer && keepAspectSettings && previous && previous != renderer) {
        renderer->setOutAspectRatioMode(previous->outAspectRatioMode());
        if (previous->outAspectRatio() > 0.0)
            renderer->setOutAspectRatio(previous->outAspectRatio());
    }
    clearVideoRenderers();
    d->addRenderer(renderer);
}

VideoRenderer *AVPlayer::renderer() const
{
    return d->renderers.isEmpty() ? nullptr : d->renderers.first();
}

void AVPlayer::addVideoRenderer(VideoRenderer *renderer) { d->addRenderer(renderer); }
void AVPlayer::removeVideoRenderer(VideoRenderer *renderer) { d->removeRenderer(renderer); }

void AVPlayer::clearVideoRenderers()
{
    const QList<VideoRenderer *> outputs = d->renderers;
    for (VideoRenderer *renderer : outputs)
        d->removeRenderer(renderer);
}

QList<VideoRenderer *> AVPlayer::videoOutputs() const { return d->renderers; }
VideoFrame AVPlayer::displayedFrame() const { return d->displayed; }
void AVPlayer::installFilter(VideoFrameFilter *filter) { d->installFilter(filter); }
bool AVPlayer::uninstallFilter(VideoFrameFilter *filter) { return d->uninstallFilter(filter); }
QList<VideoFrameFilter *> AVPlayer::videoFilters() const { return d->filters(); }

VideoCapture *AVPlayer::videoCapture()
{
    auto *capture = findChild<VideoCapture *>(QString(), Qt::FindDirectChildrenOnly);
    return capture ? capture : new VideoCapture(this);
}

void AVPlayer::setPlayerIndex(int index) { d->index = index; }
int AVPlayer::playerIndex() const { return d->index; }
void AVPlayer::setRenderDivisor(int divisor) { PlayerEngine::renderDivisor = qMax(0, divisor); }
int AVPlayer::renderDivisor() { return PlayerEngine::renderDivisor.load(); }
AVError AVPlayer::lastError() const { return d->lastError; }

AVPlayer::Statistics AVPlayer::statistics() const
{
    Statistics s;
    s.decoded = d->decodedFrames.load();
    s.presented = d->presentedFrames.load();
    s.dropped = d->droppedFrames.load();
    return s;
}

void AVPlayer::play() { d->play(); }
void AVPlayer::pause(bool p) { d->pause(p); }
void AVPlayer::togglePause() { d->pause(!isPaused()); }
void AVPlayer::stop() { d->stop(); }
void AVPlayer::setPosition(qint64 msecs) { d->setPosition(msecs); }

} // namespace av
