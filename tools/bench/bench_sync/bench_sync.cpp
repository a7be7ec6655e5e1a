// Plays generated front (1920x1080) and rear (1280x720) recordings through the
// player and prints how far apart the two cameras are, scenario by scenario.
// The peer is a pair of players started together without the shared clock.
//
//   bench_sync [--seconds S] [--media DIR]
//
// --media keeps the generated recordings in DIR for the next run.
// HX_SYNC_TRACE=1 logs every sample where the two cameras differ.

#include "hx_bench.h"
#include "sync_harness.h"

#include "av_player.h"
#include "vw_video_file_list.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

void printRow(const hxsync::Result &r)
{
    auto cell = [](double v, int width) {
        return v < 0 ? QStringLiteral("-").rightJustified(width) : QString::number(v, 'f', 0).rightJustified(width);
    };
    QTextStream out(stdout);
    out << r.name.leftJustified(34) << QString::number(r.offsets.size()).rightJustified(8)
        << cell(r.percentile(50), 6) << cell(r.percentile(95), 6) << cell(r.maxOffset(), 6)
        << cell(double(r.droppedFrames), 9) << cell(r.seekPercentile(50), 10) << cell(r.seekPercentile(95), 10)
        << QString::number(r.failedSeeks).rightJustified(8) << '\n';
    out.flush();
}

void printStalls(const hxsync::Stalls &s)
{
    std::printf("%-34s%8d%8.1f%8.1f\n", qPrintable(s.name), int(s.longestMs.size()), s.median(), s.max());
}

// The interface thread's longest stall per resume and per load, against the
// same watch with nothing done (timer and scheduling noise of this machine).
void measureStalls(hxsync::Harness &harness)
{
    hxsync::CodePlayer *player = harness.player();
    VwVideoFileList *list = VwVideoFileList::instance();
    std::printf("%-34s%8s%8s%8s\n", "interface thread stalls (ms)", "runs", "median", "max");
    const hxsync::Stalls idle = harness.interfaceStalls(QStringLiteral("idle (peer)"), 10, 800, {}, {});
    printStalls(idle);
    const auto pause = [player] {
        if (!player->playerF()->isPaused())
            player->onPlayOrPause();
        hxsync::Harness::wait(300);
    };
    const hxsync::Stalls resume = harness.interfaceStalls(QStringLiteral("resume"), 10, 800, pause,
                                                          [player] { player->onPlayOrPause(); });
    printStalls(resume);
    int next = 1;
    const hxsync::Stalls load = harness.interfaceStalls(QStringLiteral("load of a recording"), 6, 2500, {},
                                                        [&harness, list, &next] {
        harness.select(list->visibleItems().value(next).data());
        next = 1 - next;
    });
    printStalls(load);
    std::printf("longest stall / idle peer: resume %.1f, load %.1f (target: stalls under 50 ms)\n",
                resume.max() / qMax(idle.max(), 0.001), load.max() / qMax(idle.max(), 0.001));
}

// Forty moves of a real play slider's handle, 100 ms apart, next to their
// peer: the paused slider seeks, one picture per seek. A drag should bring
// both cameras to each picture about as fast as a single seek brings one.
void printSliderDrag(hxsync::Harness &harness, const hxsync::Result &pausedSeeks)
{
    hxsync::Result released;
    const hxsync::Result drag = harness.sliderDrag(40, 100, &released);
    printRow(drag);
    printRow(released);
    const double dragMedian = drag.seekPercentile(50);
    const double seekMedian = pausedSeeks.seekPercentile(50);
    std::printf("slider drag: offsets just before each next move; move times until both cameras show the "
                "target's group of pictures\n");
    std::printf("median move-to-frame: drag %.0f ms, paused seeks %.0f ms (drag / seeks: %s)\n", dragMedian,
                seekMedian,
                dragMedian >= 0 && seekMedian > 0 ? qPrintable(QString::number(dragMedian / seekMedian, 'f', 2))
                                                   : "not measured");
}

} // namespace

int main(int argc, char **argv)
{
    // Keep the list's remembered folder and every other setting out of the
    // user's own files.
    QTemporaryDir home;
    hxBenchPrivateHome(home.path());

    QApplication app(argc, argv);
    int playSeconds = 60;
    QString mediaDir;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--seconds") && i + 1 < args.size())
            playSeconds = args.at(++i).toInt();
        else if (args.at(i) == QLatin1String("--media") && i + 1 < args.size())
            mediaDir = args.at(++i);
    }
    QTemporaryDir scratch;
    if (mediaDir.isEmpty())
        mediaDir = scratch.path();

    hxsync::Config config;
    config.seconds = playSeconds + 10;
    hxsync::Harness harness(config);
    QString error;
    std::printf("generating recordings in %s ...\n", qPrintable(mediaDir));
    std::fflush(stdout);
    if (!harness.prepare(mediaDir, &error)) {
        std::fprintf(stderr, "bench_sync: %s\n", qPrintable(error));
        return 1;
    }

    std::printf("%-34s%8s%6s%6s%6s%9s%10s%10s%8s\n", "scenario (offsets in frames)", "samples", "p50", "p95",
                "max", "dropped", "seek p50", "seek p95", "failed");

    const hxsync::Result peer = harness.unsyncedPair(20);
    printRow(peer);

    if (!harness.start(0)) {
        std::fprintf(stderr, "bench_sync: the first recording did not start\n");
        return 1;
    }
    // The start of a recording is measured by the advance below.
    hxsync::Harness::wait(2000);
    const hxsync::Result playing = harness.playAt1x(playSeconds);
    printRow(playing);
    printRow(harness.seeks(30, false, 7));
    const hxsync::Result pausedSeeks = harness.seeks(30, true, 11);
    printRow(pausedSeeks);
    printSliderDrag(harness, pausedSeeks);
    printRow(harness.pauseResume(10));
    for (double speed : {0.5, 0.8, 2.0})
        printRow(harness.speed(speed, 8));
    printRow(harness.swapWhilePlaying(5));
    printRow(harness.advanceToNext(5));
    measureStalls(harness);
    std::printf("seek times in ms from the slider press to the first frame at the new position\n");
    std::printf("mean |offset| at 1x: player %.3f frames, peer %.3f frames (peer / player: %s)\n",
                playing.meanOffset(), peer.meanOffset(),
                playing.meanOffset() > 0 ? qPrintable(QString::number(peer.meanOffset() / playing.meanOffset(), 'f', 1))
                                         : "player never apart");
    return 0;
}
