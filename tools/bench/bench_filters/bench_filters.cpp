// Cost of the player's video filters: decoding plus presenting a generated
// 1080p recording with no filter, with the mirror graph, with the eq graph
// and with both, in frames per second and CPU time, measured in one run;
// then front (1080p) and rear (720p) playback at 1x through two players,
// without filters and with both graphs on both players, counting the frames
// that were not presented.
//
// Usage: bench_filters [seconds of media, default 10]

#include "lib_av_filter_graph.h"
#include "lib_av_filter_video.h"
#include "audio_output.h"
#include "av_player.h"
#include "video_renderer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLoggingCategory>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
}

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

using namespace av;

namespace {

bool makeVideo(const QString &path, int width, int height, int seconds)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        return false;
    // Moving detail and a GOP of one second, like a recorder's stream.
    const QStringList args = {
        "-v", "error", "-y", "-f", "lavfi", "-i",
        QStringLiteral("testsrc2=size=%1x%2:rate=30:duration=%3").arg(width).arg(height).arg(seconds),
        "-c:v", "libx264", "-preset", "veryfast", "-profile:v", "high", "-pix_fmt", "yuv420p",
        "-b:v", width >= 1920 ? "12M" : "6M", "-g", "30", path};
    QProcess process;
    process.start(ffmpeg, args);
    return process.waitForFinished(600000) && process.exitCode() == 0;
}

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

struct Result
{
    int frames = 0;
    double seconds = 0;
    double cpu = 0;
    double fps() const { return seconds > 0 ? frames / seconds : 0; }
    double cpuMs() const { return frames > 0 ? 1000.0 * cpu / frames : 0; }
};

// Counts the pictures a player presents and paints them into a pane-sized
// image, as the widget renderer would.
class CountingRenderer : public VideoRenderer
{
public:
    VideoRendererId id() const override { return 1002; }
    int frames = 0;

protected:
    void onUpdate() override
    {
        if (!currentFrame().isValid())
            return;
        ++frames;
        QPainter painter(&m_pane);
        paintFrame(painter, m_pane.size());
    }

private:
    QImage m_pane{960, 540, QImage::Format_RGB32};
};

struct Playback
{
    int presentedFront = 0;
    int presentedRear = 0;
    qint64 droppedFront = 0;
    qint64 droppedRear = 0;
    int expected = 0;
    double cpu = 0;
};

bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Front and rear played together at 1x from the start to the end.
Playback playPair(const QString &front, const QString &rear, const QStringList &graphs)
{
    Playback result;
    AVPlayer players[2];
    CountingRenderer outputs[2];
    std::vector<std::unique_ptr<LibAVFilterVideo>> filters;
    const QString files[2] = {front, rear};
    for (int i = 0; i < 2; ++i) {
        players[i].setPlayerIndex(i);
        players[i].audio()->setBackends({});
        players[i].setRenderer(&outputs[i]);
        for (const QString &graph : graphs) {
            filters.push_back(std::make_unique<LibAVFilterVideo>());
            filters.back()->setOptions(graph);
            filters.back()->installTo(&players[i]);
        }
        players[i].setFile(files[i]);
        players[i].load();
    }
    if (!waitFor([&] { return players[0].isLoaded() && players[1].isLoaded(); }, 20000))
        return result;
    result.expected = int(players[0].duration() * 30 / 1000);
    const double cpu0 = cpuSeconds();
    int stopped = 0;
    for (auto &player : players)
        QObject::connect(&player, &AVPlayer::stopped, [&stopped] { ++stopped; });
    players[0].play();
    players[1].play();
    waitFor([&] { return stopped == 2; }, players[0].duration() * 3 + 20000);
    result.cpu = cpuSeconds() - cpu0;
    result.presentedFront = outputs[0].frames;
    result.presentedRear = outputs[1].frames;
    result.droppedFront = players[0].statistics().dropped;
    result.droppedRear = players[1].statistics().dropped;
    return result;
}

// Decode (2 frame threads), run the filters the way the player does, convert
// to the display format and paint into a half-size pane.
Result run(const QString &path, const QStringList &graphs)
{
    Result result;
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return result;
    avformat_find_stream_info(format, nullptr);
    const AVCodec *codec = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    AVCodecContext *decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, format->streams[stream]->codecpar);
    decoder->thread_count = 2;
    decoder->thread_type = FF_THREAD_FRAME;
    avcodec_open2(decoder, codec, nullptr);
    const AVRational timeBase = format->streams[stream]->time_base;

    std::vector<std::unique_ptr<LibAVFilterVideo>> filters;
    for (const QString &graph : graphs) {
        filters.push_back(std::make_unique<LibAVFilterVideo>());
        filters.back()->setOptions(graph);
    }
    LibAVFilterGraph display;
    display.setOutputFormat(AV_PIX_FMT_BGRA);
    QImage pane(960, 540, QImage::Format_RGB32);
    QPainter painter(&pane);

    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    QElapsedTimer timer;
    timer.start();
    const double cpu0 = cpuSeconds();
    auto present = [&](AVFrame *decoded) {
        decoded->time_base = timeBase;
        AVFrame *current = av_frame_clone(decoded);
        for (auto &filter : filters) {
            AVFrame *out = av_frame_alloc();
            if (filter->filterFrame(current, out)) {
                av_frame_free(&current);
                current = out;
            } else {
                av_frame_free(&out);
            }
        }
        AVFrame *bgra = display.filter(current, timeBase);
        av_frame_free(&current);
        if (bgra) {
            const QImage image(bgra->data[0], bgra->width, bgra->height, bgra->linesize[0],
                               QImage::Format_RGB32);
            painter.drawImage(pane.rect(), image);
            ++result.frames;
        }
        av_frame_free(&bgra);
    };
    bool draining = false;
    while (!draining) {
        if (av_read_frame(format, packet) < 0) {
            draining = true;
            avcodec_send_packet(decoder, nullptr);
        } else if (packet->stream_index == stream) {
            avcodec_send_packet(decoder, packet);
            av_packet_unref(packet);
        } else {
            av_packet_unref(packet);
            continue;
        }
        while (avcodec_receive_frame(decoder, frame) >= 0) {
            present(frame);
            av_frame_unref(frame);
        }
    }
    result.seconds = timer.nsecsElapsed() / 1e9;
    result.cpu = cpuSeconds() - cpu0;
    painter.end();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    // Figures, not pictures: no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("hx.*.debug=false"));
    const int seconds = argc > 1 ? qMax(2, atoi(argv[1])) : 10;
    QTemporaryDir dir;
    const QString front = dir.filePath(QStringLiteral("front_1080p.mp4"));
    std::printf("generating %d s of 1920x1080 H.264 ...\n", seconds);
    std::fflush(stdout);
    if (!makeVideo(front, 1920, 1080, seconds)) {
        std::fprintf(stderr, "bench_filters: cannot generate the test video (ffmpeg missing?)\n");
        return 1;
    }

    const QString mirror = QStringLiteral("format=pix_fmts=rgb24,hflip,vflip");
    const QString eq = QStringLiteral("format=pix_fmts=rgb24,eq=brightness=0.100:contrast=1.450");
    const struct {
        const char *name;
        QStringList graphs;
    } cases[] = {
        {"no filter", {}},
        {"mirror", {mirror}},
        {"eq", {eq}},
        {"eq + mirror", {eq, mirror}},
        // The same texts run exactly as written (a trailing copy filter keeps
        // them from being rearranged), for comparison.
        {"mirror*", {mirror + QStringLiteral(",copy")}},
        {"eq*", {eq + QStringLiteral(",copy")}},
    };

    std::printf("\n1080p decode (2 frame threads) + filters + BGRA + paint to 960x540, best of 3 rounds\n");
    std::printf("%-14s %8s %10s %12s %14s\n", "graphs", "frames", "fps", "cpu ms/frame", "fps vs none");
    const int count = int(sizeof cases / sizeof cases[0]);
    std::vector<Result> best(count);
    run(front, {}); // warm the file cache and the code
    // Rounds alternate the cases, so that a busy moment of the machine
    // does not fall on one case only.
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < count; ++i) {
            const Result r = run(front, cases[i].graphs);
            if (best[i].frames == 0 || r.fps() > best[i].fps())
                best[i].frames = r.frames, best[i].seconds = r.seconds;
            if (best[i].cpu == 0 || r.cpu < best[i].cpu)
                best[i].cpu = r.cpu;
        }
    }
    for (int i = 0; i < count; ++i) {
        std::printf("%-14s %8d %10.1f %12.2f %14.2f\n", cases[i].name, best[i].frames, best[i].fps(),
                    best[i].cpuMs(), best[0].fps() > 0 ? best[i].fps() / best[0].fps() : 0.0);
    }
    std::printf("* graph run literally, RGB24 detour included\n");
    std::fflush(stdout);

    const QString rear = dir.filePath(QStringLiteral("rear_720p.mp4"));
    std::printf("\ngenerating %d s of 1280x720 H.264 ...\n", seconds);
    std::fflush(stdout);
    if (!makeVideo(rear, 1280, 720, seconds)) {
        std::fprintf(stderr, "bench_filters: cannot generate the rear video\n");
        return 1;
    }
    std::printf("\nfront 1080p + rear 720p played together at 1x\n");
    std::printf("%-14s %10s %10s %10s %14s %12s\n", "graphs", "expected", "front", "rear",
                "late (F/R)", "cpu s/media s");
    const struct {
        const char *name;
        QStringList graphs;
    } pairs[] = {{"no filter", {}}, {"eq + mirror", {eq, mirror}}};
    for (const auto &c : pairs) {
        const Playback p = playPair(front, rear, c.graphs);
        const QString late = QStringLiteral("%1/%2").arg(p.droppedFront).arg(p.droppedRear);
        std::printf("%-14s %10d %10d %10d %14s %12.2f\n", c.name, p.expected, p.presentedFront,
                    p.presentedRear, qPrintable(late), p.expected > 0 ? p.cpu / (p.expected / 30.0) : 0.0);
        std::fflush(stdout);
    }
    return 0;
}
