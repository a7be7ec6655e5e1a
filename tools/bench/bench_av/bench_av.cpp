// Figures of the media framework next to the ffmpeg program on the same files:
// decode throughput, dual playback at 1x, and the time a paused seek takes to
// show its frame. Run: bench_av [--seconds N] [--seeks N] [--dir FOLDER] [--only decode|dual|seek]

#include "audio_output.h"
#include "av_clock.h"
#include "av_player.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdio>

using namespace av;

namespace {

constexpr int kThreads = 2;
constexpr int kFps = 30;

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakRssMb(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss / 1024;
}

bool runFfmpeg(const QStringList &args, double *seconds = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("ffmpeg"), QStringList{"-hide_banner", "-loglevel", "error", "-nostdin", "-y"} + args);
    const bool ok = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    if (seconds)
        *seconds = timer.nsecsElapsed() / 1e9;
    return ok;
}

bool makeFile(const QString &path, int width, int height, int seconds, int kbps, bool audio)
{
    if (QFile::exists(path))
        return true;
    std::printf("generating %s (%dx%d, %d s)...\n", qPrintable(QFileInfo(path).fileName()), width, height, seconds);
    std::fflush(stdout);
    QStringList args{"-f", "lavfi", "-i",
                     QStringLiteral("testsrc2=s=%1x%2:r=%3:d=%4").arg(width).arg(height).arg(kFps).arg(seconds)};
    if (audio)
        args << "-f" << "lavfi" << "-i" << QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(seconds);
    args << "-c:v" << "libx264" << "-preset" << "veryfast" << "-g" << QString::number(kFps) << "-keyint_min"
         << QString::number(kFps) << "-sc_threshold" << "0" << "-pix_fmt" << "yuv420p" << "-b:v"
         << QStringLiteral("%1k").arg(kbps);
    if (audio)
        args << "-c:a" << "aac";
    args << path;
    return runFfmpeg(args);
}

// Runs the event loop until `done` holds or `timeoutMs` passes.
template<typename Pred>
bool waitFor(Pred done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    // Sleeps in the event loop between events; the timer bounds each sleep
    // so that the condition and the timeout are checked regularly.
    QTimer poke;
    poke.start(20);
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool loadPlayer(AVPlayer &player, const QString &file)
{
    player.setFile(file);
    player.load();
    return waitFor([&] { return player.mediaStatus() == LoadedMedia || player.mediaStatus() == InvalidMedia; },
                   30000)
        && player.mediaStatus() == LoadedMedia;
}

double median(QVector<double> v)
{
    if (v.isEmpty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double percentile95(QVector<double> v)
{
    if (v.isEmpty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[qMin(v.size() - 1, int(v.size() * 0.95))];
}

double playerDecodeSeconds(const QString &file, qint64 *frames)
{
    AVPlayer player;
    player.audio()->setBackends({});
    if (!loadPlayer(player, file))
        return 0.0;
    // A clock far faster than decoding and a divisor that presents only the
    // first frame keep presentation out of the way: this is the decoder
    // pipeline alone, as ffmpeg -f null measures it.
    player.setSpeed(1000.0);
    AVPlayer::setRenderDivisor(1000000);
    bool stopped = false;
    QObject::connect(&player, &AVPlayer::stopped, [&] { stopped = true; });
    QElapsedTimer timer;
    timer.start();
    player.play();
    waitFor([&] { return stopped; }, 600000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    AVPlayer::setRenderDivisor(0);
    *frames = player.statistics().decoded;
    return seconds;
}

void decodeThroughput(const QString &file, const char *label)
{
    // Alternate the two and keep the best of each, so that a burst of other
    // load on the machine does not favour either.
    qint64 frames = 0;
    double ours = 1e9;
    double theirs = 1e9;
    for (int round = 0; round < 2; ++round) {
        const double o = playerDecodeSeconds(file, &frames);
        if (o > 0.0)
            ours = qMin(ours, o);
        double t = 0.0;
        if (runFfmpeg({"-threads", QString::number(kThreads), "-i", file, "-an", "-f", "null", "-"}, &t))
            theirs = qMin(theirs, t);
    }
    const double oursFps = frames / ours;
    const double theirsFps = frames / theirs;
    std::printf("decode %-6s %5lld frames: player %7.1f fps, ffmpeg -threads %d %7.1f fps, ratio %.2f (target >= 0.80)\n",
                label, frames, oursFps, kThreads, theirsFps, oursFps / theirsFps);
}

// The same seeks done directly on libavformat/libavcodec in this process:
// seek, decode to the frame, convert it to BGRA. The floor for the player.
QVector<double> rawSeeks(const QString &file, const QVector<qint64> &targets, bool accurate)
{
    QVector<double> times;
    AVFormatContext *ic = nullptr;
    if (avformat_open_input(&ic, file.toUtf8().constData(), nullptr, nullptr) < 0)
        return times;
    avformat_find_stream_info(ic, nullptr);
    const int vs = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec *codec = avcodec_find_decoder(ic->streams[vs]->codecpar->codec_id);
    AVCodecContext *ctx = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(ctx, ic->streams[vs]->codecpar);
    ctx->thread_count = kThreads;
    ctx->thread_type = FF_THREAD_FRAME;
    avcodec_open2(ctx, codec, nullptr);
    const double tb = av_q2d(ic->streams[vs]->time_base);
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    AVFrame *bgra = av_frame_alloc();
    SwsContext *sws = nullptr;
    for (qint64 target : targets) {
        QElapsedTimer timer;
        timer.start();
        const int64_t ts = target * (AV_TIME_BASE / 1000);
        avformat_seek_file(ic, -1, INT64_MIN, ts, ts, 0);
        avcodec_flush_buffers(ctx);
        bool done = false;
        while (!done && av_read_frame(ic, packet) >= 0) {
            if (packet->stream_index == vs)
                avcodec_send_packet(ctx, packet);
            av_packet_unref(packet);
            while (!done && avcodec_receive_frame(ctx, frame) >= 0) {
                const double pts = frame->best_effort_timestamp * tb;
                if (!accurate || pts + 1.0 / kFps > target / 1000.0) {
                    sws = sws_getCachedContext(sws, frame->width, frame->height, AVPixelFormat(frame->format),
                                               frame->width, frame->height, AV_PIX_FMT_BGRA, SWS_BILINEAR,
                                               nullptr, nullptr, nullptr);
                    av_frame_unref(bgra);
                    bgra->format = AV_PIX_FMT_BGRA;
                    bgra->width = frame->width;
                    bgra->height = frame->height;
                    av_frame_get_buffer(bgra, 0);
                    sws_scale(sws, frame->data, frame->linesize, 0, frame->height, bgra->data, bgra->linesize);
                    done = true;
                }
                av_frame_unref(frame);
            }
        }
        times << timer.nsecsElapsed() / 1e6;
    }
    sws_freeContext(sws);
    av_frame_free(&bgra);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
    avformat_close_input(&ic);
    return times;
}

void dualPlayback(const QString &front, const QString &rear, int seconds)
{
    AVClock sync(AVClock::ExternalClock);
    AVPlayer playerF;
    AVPlayer playerR;
    playerF.setPlayerIndex(0);
    playerR.setPlayerIndex(1);
    playerR.audio()->setBackends({});
    if (!loadPlayer(playerF, front) || !loadPlayer(playerR, rear)) {
        std::printf("dual playback: cannot load\n");
        return;
    }
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    // As the pair player does: start both, seek both to 0, and put the
    // shared clock on the position the front player reached.
    QObject::connect(&playerF, &AVPlayer::seekFinished, [&](qint64 position) {
        sync.updateExternalClock(position);
        playerF.masterClock()->updateExternalClock(sync);
        playerR.masterClock()->updateExternalClock(sync);
    });
    playerF.play();
    playerR.play();
    playerF.setPosition(0);
    playerR.setPosition(0);
    sync.start();
    QTimer correction;
    QObject::connect(&correction, &QTimer::timeout, [&] { playerF.masterClock()->updateExternalClock(sync); });
    correction.start(300);
    waitFor([&] { return playerF.position() >= seconds * 1000 || !playerF.isPlaying(); }, (seconds + 30) * 1000);
    const double wall = timer.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    const AVPlayer::Statistics f = playerF.statistics();
    const AVPlayer::Statistics r = playerR.statistics();
    playerF.stop();
    playerR.stop();
    const qint64 expected = qint64(seconds) * kFps;
    std::printf("dual 1x %d s: front presented %lld / %lld (dropped %lld), rear %lld / %lld (dropped %lld) (target: none dropped)\n",
                seconds, f.presented, expected, f.dropped, r.presented, expected, r.dropped);
    std::printf("dual 1x %d s: CPU %.1f s in %.1f s wall = %.2f cores\n", seconds, cpu, wall, cpu / wall);

    // The peer: ffmpeg decoding the same two files flat out.
    const double childBefore = cpuSeconds(RUSAGE_CHILDREN);
    runFfmpeg({"-threads", QString::number(kThreads), "-t", QString::number(seconds), "-i", front, "-an", "-f", "null", "-"});
    runFfmpeg({"-threads", QString::number(kThreads), "-t", QString::number(seconds), "-i", rear, "-an", "-f", "null", "-"});
    const double childCpu = cpuSeconds(RUSAGE_CHILDREN) - childBefore;
    std::printf("dual 1x %d s: ffmpeg decode of both %.1f CPU s, ratio player/ffmpeg %.2f\n", seconds, childCpu,
                cpu / childCpu);
    std::printf("peak RSS: player process %ld MB (target < 400), ffmpeg %ld MB\n", peakRssMb(RUSAGE_SELF),
                peakRssMb(RUSAGE_CHILDREN));
}

void pausedSeeks(const QString &file, int count, SeekType type, const char *label)
{
    AVPlayer player;
    player.audio()->setBackends({});
    if (!loadPlayer(player, file))
        return;
    player.setSeekType(type);
    bool first = false;
    QObject::connect(&player, &AVPlayer::firstFrameNotify, [&] { first = true; });
    player.play();
    waitFor([&] { return first; }, 10000);
    player.pause(true);
    int finished = 0;
    QObject::connect(&player, &AVPlayer::seekFinished, [&] { ++finished; });
    QRandomGenerator random(1234);
    QVector<double> times;
    QVector<qint64> targets;
    for (int i = 0; i < count; ++i)
        targets << qint64(random.bounded(int(player.duration() - 1000)));
    for (qint64 target : qAsConst(targets)) {
        const int before = finished;
        QElapsedTimer timer;
        timer.start();
        player.setPosition(target);
        if (!waitFor([&] { return finished > before; }, 10000))
            continue;
        times << timer.nsecsElapsed() / 1e6;
    }
    player.stop();

    const QVector<double> peer = rawSeeks(file, targets, type == AccurateSeek);
    std::printf("paused seek %-9s %2d seeks: player median %6.1f ms, p95 %6.1f ms; direct FFmpeg median %6.1f ms, p95 %6.1f ms; ratio of medians %.2f\n",
                label, int(times.size()), median(times), percentile95(times), median(peer), percentile95(peer),
                median(times) / qMax(0.001, median(peer)));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    qputenv("QT_LOGGING_RULES", "hx.av.debug=false");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption secondsOption("seconds", "Length of the generated files and of the dual playback.", "s", "60");
    QCommandLineOption seeksOption("seeks", "Number of random seeks.", "n", "50");
    QCommandLineOption dirOption("dir", "Folder for the generated files (kept).", "folder");
    QCommandLineOption onlyOption("only", "Run one part only: decode, dual or seek.", "part");
    parser.addOptions({secondsOption, seeksOption, dirOption, onlyOption});
    parser.process(app);
    if (QStandardPaths::findExecutable("ffmpeg").isEmpty()) {
        std::printf("ffmpeg not found\n");
        return 1;
    }
    const int seconds = qMax(5, parser.value(secondsOption).toInt());
    const int seeks = qMax(1, parser.value(seeksOption).toInt());
    QTemporaryDir temporary;
    const QString dir = parser.isSet(dirOption) ? parser.value(dirOption) : temporary.path();
    QDir().mkpath(dir);
    const QString front = QDir(dir).filePath(QStringLiteral("front_1080p_%1s.mp4").arg(seconds));
    const QString rear = QDir(dir).filePath(QStringLiteral("rear_720p_%1s.mp4").arg(seconds));
    if (!makeFile(front, 1920, 1080, seconds, 12000, true) || !makeFile(rear, 1280, 720, seconds, 6000, false)) {
        std::printf("cannot generate the test files\n");
        return 1;
    }

    const QString only = parser.value(onlyOption);
    if (only.isEmpty() || only == QLatin1String("decode")) {
        decodeThroughput(front, "1080p");
        decodeThroughput(rear, "720p");
    }
    if (only.isEmpty() || only == QLatin1String("dual"))
        dualPlayback(front, rear, seconds);
    if (only.isEmpty() || only == QLatin1String("seek")) {
        pausedSeeks(front, seeks, KeyFrameSeek, "key frame");
        pausedSeeks(front, seeks, AccurateSeek, "accurate");
    }
    return 0;
}
