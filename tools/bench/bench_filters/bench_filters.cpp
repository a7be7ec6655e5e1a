// Cost of the player's video filters: decoding plus presenting a generated
// 1080p recording with no filter, with the mirror graph, with the eq graph
// and with both, in frames per second, measured in one run; then, when the
// player is available, front and rear playback at 1x with both graphs on
// both players, counting the frames that were not presented.
//
// Usage: bench_filters [seconds of media, default 10]

#include "lib_av_filter_graph.h"
#include "lib_av_filter_video.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
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

struct Result
{
    int frames = 0;
    double seconds = 0;
    double fps() const { return seconds > 0 ? frames / seconds : 0; }
};

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
    };

    std::printf("\n1080p decode (2 frame threads) + filters + BGRA + paint to 960x540\n");
    std::printf("%-14s %8s %10s %10s %8s\n", "graphs", "frames", "fps", "ms/frame", "ratio");
    double baseline = 0;
    for (const auto &c : cases) {
        run(front, c.graphs); // warm the file cache and the code
        const Result r = run(front, c.graphs);
        if (baseline == 0)
            baseline = r.fps();
        std::printf("%-14s %8d %10.1f %10.2f %8.2f\n", c.name, r.frames, r.fps(),
                    r.frames ? 1000.0 * r.seconds / r.frames : 0.0, baseline > 0 ? r.fps() / baseline : 0.0);
        std::fflush(stdout);
    }
    return 0;
}
