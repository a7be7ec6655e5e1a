// Times the repair of the damaged 60 s 1080p front file of the full-size
// sample card (the main drive cut by a power loss 2 s before its end) and
// prints the bytes it read and the pictures it recovered against the
// pictures written before the cut. Beside it, the peer: ffmpeg's stream copy
// of the same file (ffmpeg -i damaged.mp4 -c copy out.mp4), timed in the same
// run, with what it recovered.
//
//   bench_repair [--rounds R] [CARD]
//
// Without CARD, make_card writes the full-size sample card into a temporary
// folder first (a few minutes). Times are the best of R rounds (default 5),
// in wall-clock and in CPU time: the machine may be shared.

#include "vw_mov_repair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

const char kDamaged[] = "Normal/NORM260415-095502F.MP4";
const char kOriginal[] = "Normal/NORM260415-081502F.MP4";

qint64 cpuNs()
{
    timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct Timing
{
    double wallMs = 1e300;
    double cpuMs = 1e300;
};

Timing best(int rounds, const std::function<void()> &work)
{
    Timing timing;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer wall;
        const qint64 cpu = cpuNs();
        wall.start();
        work();
        timing.wallMs = std::min(timing.wallMs, wall.nsecsElapsed() / 1e6);
        timing.cpuMs = std::min(timing.cpuMs, (cpuNs() - cpu) / 1e6);
    }
    return timing;
}

// Pictures of `path` whose data lies wholly before `cut`, from its own index.
int picturesBefore(const QString &path, qint64 cut)
{
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return -1;
    int count = -1;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVPacket *packet = av_packet_alloc();
    if (stream >= 0 && packet) {
        count = 0;
        while (av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == stream && packet->pos >= 0 && packet->pos + packet->size <= cut)
                ++count;
            av_packet_unref(packet);
        }
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    return count;
}

// Pictures in a file as ffprobe counts them; 0 when it has none or is no movie.
int picturesIn(const QString &path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                 QStringLiteral("v"), QStringLiteral("-count_packets"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=nb_read_packets"), QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    probe.waitForFinished(-1);
    return probe.readAllStandardOutput().trimmed().toInt();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("hx.*.debug=false\nhx.*.info=false"));
    av_log_set_level(AV_LOG_QUIET);
    QStringList args = app.arguments().mid(1);
    int rounds = 5;
    QString card;
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if (arg == QLatin1String("--rounds") && !args.isEmpty())
            rounds = std::max(1, args.takeFirst().toInt());
        else
            card = arg;
    }

    QTemporaryDir temporary;
    if (card.isEmpty()) {
        card = temporary.filePath(QStringLiteral("card"));
        std::printf("writing the full-size sample card (a few minutes)\n");
        std::fflush(stdout);
        QProcess generator;
        generator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        generator.start(QStringLiteral(HX_TOOLS_BINARY_DIR "/make_card/make_card"),
                        {QStringLiteral("--quiet"), card});
        if (!generator.waitForFinished(-1) || generator.exitCode() != 0) {
            std::fprintf(stderr, "bench_repair: make_card failed\n");
            return 1;
        }
    }
    const QString damaged = card + QLatin1Char('/') + QLatin1String(kDamaged);
    const QString original = card + QLatin1Char('/') + QLatin1String(kOriginal);
    const qint64 size = QFileInfo(damaged).size();
    if (size <= 0 || !QFileInfo::exists(original)) {
        std::fprintf(stderr, "bench_repair: %s holds no damaged main drive\n", qPrintable(card));
        return 1;
    }
    // One read beforehand puts the file in the cache for both sides alike.
    {
        QFile file(damaged);
        if (file.open(QIODevice::ReadOnly))
            while (!file.read(1 << 20).isEmpty()) {}
    }
    const int written = picturesBefore(original, size);

    const QString ours = temporary.filePath(QStringLiteral("repaired.mp4"));
    VwMovRepair::Result result;
    const Timing repair = best(rounds, [&] {
        result = VwMovRepair::repairFile(damaged, ours, QString(), true);
    });

    const QString theirs = temporary.filePath(QStringLiteral("copied.mp4"));
    int ffmpegStatus = -1;
    const bool haveFfmpeg = !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
    Timing peer;
    if (haveFfmpeg) {
        peer = best(rounds, [&] {
            QProcess ffmpeg;
            ffmpeg.start(QStringLiteral("ffmpeg"),
                         {QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-y"), QStringLiteral("-i"),
                          damaged, QStringLiteral("-c"), QStringLiteral("copy"), theirs});
            ffmpeg.waitForFinished(-1);
            ffmpegStatus = ffmpeg.exitCode();
        });
    }
    const int theirPictures = haveFfmpeg && QFileInfo::exists(theirs) ? picturesIn(theirs) : 0;

    const double megabytes = size / 1e6;
    std::printf("damaged file:        %s (%.1f MB)\n", qPrintable(damaged), megabytes);
    std::printf("reference:           %s\n", qPrintable(result.referencePath));
    std::printf("pictures written before the cut: %d\n\n", written);
    std::printf("%-28s %12s %12s %10s %14s %12s\n", "", "wall ms", "cpu ms", "MB/s", "bytes read", "pictures");
    std::printf("%-28s %12.1f %12.1f %10.0f %13.3fx %5lld (%5.1f %%)\n", "repair (ours)", repair.wallMs,
                repair.cpuMs, megabytes / (repair.wallMs / 1000.0), double(result.bytesRead) / size,
                result.videoFrames, written > 0 ? 100.0 * result.videoFrames / written : 0.0);
    if (haveFfmpeg) {
        std::printf("%-28s %12.1f %12s %10s %14s %5d (%5.1f %%)   exit status %d\n", "ffmpeg -c copy (peer)",
                    peer.wallMs, "-", "-", "-", theirPictures, written > 0 ? 100.0 * theirPictures / written : 0.0,
                    ffmpegStatus);
    } else {
        std::printf("ffmpeg is not installed: no peer\n");
    }
    std::printf("\nrecovered: %.2f s of video, %.2f s of sound, %.0f s of telemetry; ends at byte %lld of %lld\n",
                result.videoSeconds, result.audioSeconds, result.telemetrySeconds, result.cutOffset, size);
    std::printf("targets: 100 %% of the pictures before the cut, at least 100 MB/s, bytes read within 1.1x\n");
    return result.recovered() ? 0 : 1;
}
