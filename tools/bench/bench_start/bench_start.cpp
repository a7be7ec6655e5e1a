// Start-up and response times of the real viewer, read from the screen of a
// private desktop, beside ffplay (a bare FFmpeg player) on the same front file.
//
//     bench_start [--rounds N] [CARD]
//
// Without CARD a small card of 20 s recordings is written first. Figures are
// medians of N rounds (10 by default): start to the first frame in both panes,
// a double click on a list row to that recording's first frame, a click on
// the position slider to the new frame.

#include "hx_desktop_session.h"
#include "hx_frame_code.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {
const QSize kScreen(1280, 800);
const QSizeF kAspect(16, 9);
const QRect kMainPicture(5, 74, 688, 387);
const QRect kSubPicture(699, 100, 390, 220);
const QRect kGroove(75, 468, 548, 15);
constexpr int kRowX = 780;
constexpr int kFirstRowY = 421;
constexpr int kRowPitch = 22;
constexpr int kLimitMs = 30000;

double median(QVector<double> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

int code(const HxDesktopSession &desktop, const QRect &pane)
{
    return HxFrameCode::read(desktop.grab(), HxFrameCode::fittedPicture(pane, kAspect));
}

// Milliseconds until `shown` holds, measured from `clock`'s start; -1 past the limit.
double until(const QElapsedTimer &clock, const std::function<bool()> &shown)
{
    while (clock.elapsed() < kLimitMs) {
        if (shown())
            return clock.nsecsElapsed() / 1e6;
        QThread::msleep(5);
    }
    return -1;
}

struct Figures
{
    QVector<double> start, row, slider;
};

void endProcess(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

void viewerRound(HxDesktopSession &desktop, const QString &card, int round, Figures *figures)
{
    QProcess viewer;
    viewer.setProcessEnvironment(desktop.environment());
    viewer.setStandardOutputFile(QProcess::nullDevice());
    viewer.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    viewer.start(QStringLiteral(HX_VIEWER_PATH), {card});
    QRect window;
    const auto both = [&](const std::function<bool(int, int)> &accept) {
        if (window.isEmpty())
            window = desktop.windowRect(QStringLiteral("KT-LV550N_A"));
        if (window.isEmpty())
            return false;
        const QImage image = desktop.grab();
        const int main = HxFrameCode::read(image, HxFrameCode::fittedPicture(kMainPicture.translated(window.topLeft()), kAspect));
        const int sub = HxFrameCode::read(image, HxFrameCode::fittedPicture(kSubPicture.translated(window.topLeft()), kAspect));
        return main >= 0 && sub >= 0 && accept(main, sub);
    };
    figures->start << until(clock, [&] { return both([](int, int) { return true; }); });

    // Rows 2 and 3 in turn, double-clicked as a person plays a recording:
    // each starts at frame 0 while the first had played on. Timed from the
    // second press, when the request is complete.
    // The list reads every recording's length after the first one plays; a
    // row is asked for once it is done.
    QThread::msleep(4000);
    desktop.click(window.topLeft() + QPoint(kRowX, kFirstRowY + kRowPitch * (1 + round % 2)), 1, 2);
    clock.restart();
    figures->row << until(clock, [&] { return both([](int main, int sub) { return main < 15 && sub < 15; }); });

    QThread::msleep(500);
    const double fraction = 0.3 + 0.04 * (round % 5);
    const int target = int(fraction * 20 * 30);
    clock.restart();
    desktop.click(window.topLeft() + QPoint(kGroove.left() + int(fraction * kGroove.width()), kGroove.center().y()));
    figures->slider << until(clock, [&] {
        return both([&](int main, int) { return qAbs(main - target) <= 30; });
    });
    endProcess(viewer);
}

void ffplayRound(HxDesktopSession &desktop, const QString &file, int round, Figures *figures)
{
    const QRect picture(0, 0, 640, 360);
    QProcess player;
    player.setProcessEnvironment(desktop.environment());
    player.setStandardOutputFile(QProcess::nullDevice());
    player.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    player.start(QStringLiteral("ffplay"), {QStringLiteral("-loglevel"), QStringLiteral("quiet"), QStringLiteral("-an"),
                                            QStringLiteral("-noborder"), QStringLiteral("-left"), QStringLiteral("0"),
                                            QStringLiteral("-top"), QStringLiteral("0"), QStringLiteral("-x"),
                                            QStringLiteral("640"), QStringLiteral("-y"), QStringLiteral("360"), file});
    const double first = until(clock, [&] { return code(desktop, picture) >= 0; });
    figures->start << first;
    // ffplay has no list: a new file is a new start.
    figures->row << first;
    QThread::msleep(500);
    // ffplay seeks to the fraction of the window's width under a right
    // click; the pointer enters the window first, or SDL drops the click.
    const double fraction = 0.3 + 0.04 * (round % 5);
    const int target = int(fraction * 20 * 30);
    const QPoint point(int(fraction * picture.width()), picture.center().y());
    desktop.moveMouse(picture.bottomRight() + QPoint(50, 50));
    desktop.moveMouse(point);
    QThread::msleep(100);
    clock.restart();
    desktop.click(point, 3);
    figures->slider << until(clock, [&] { return qAbs(code(desktop, picture) - target) <= 30; });
    endProcess(player);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    int rounds = 10;
    if (arguments.value(0) == QLatin1String("--rounds")) {
        rounds = qMax(1, arguments.value(1).toInt());
        arguments = arguments.mid(2);
    }
    QTemporaryDir scratch;
    QString card = arguments.value(0);
    if (card.isEmpty()) {
        card = scratch.path() + QStringLiteral("/card");
        if (QProcess::execute(QStringLiteral(HX_MAKE_CARD), {QStringLiteral("--small"), QStringLiteral("--duration"),
                                                            QStringLiteral("20"), QStringLiteral("--quiet"), card})
            != 0) {
            std::fprintf(stderr, "bench_start: make_card failed\n");
            return 1;
        }
    }
    const QString front = QDir(card).absoluteFilePath(QStringLiteral("Normal/NORM260231-120000F.MP4"));
    const QStringList missing = HxDesktopSession::missingPrograms();
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "bench_start: not installed: %s\n", qPrintable(missing.join(QStringLiteral(", "))));
        return 1;
    }
    HxDesktopSession desktop(scratch.path() + QStringLiteral("/home"), kScreen);
    QString error;
    if (!desktop.start(&error)) {
        std::fprintf(stderr, "bench_start: %s\n", qPrintable(error));
        return 1;
    }
    Figures viewer;
    Figures peer;
    for (int round = 0; round < rounds; ++round) {
        viewerRound(desktop, card, round, &viewer);
        ffplayRound(desktop, front, round, &peer);
    }
    std::printf("bench_start: medians of %d rounds, ms (-1: not seen within %d ms)\n", rounds, kLimitMs);
    std::printf("%-34s %10s %10s %8s %8s\n", "", "hx_viewer", "ffplay", "ratio", "target");
    const auto row = [](const char *name, const QVector<double> &ours, const QVector<double> &theirs, int target) {
        const double a = median(ours);
        const double b = median(theirs);
        std::printf("%-34s %10.0f %10.0f %8.2f %8d\n", name, a, b, b > 0 ? a / b : 0.0, target);
    };
    row("start to first frame (both panes)", viewer.start, peer.start, 1500);
    row("list row to its first frame", viewer.row, peer.row, 300);
    row("slider click to the new frame", viewer.slider, peer.slider, 150);
    return 0;
}
