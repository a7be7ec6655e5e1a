// Measures the map window: how long the first opening takes to show the
// route against a bare web view loading a one-line page (each cold case in a
// fresh process with an empty profile), how long a newly loaded recording
// takes to appear on an open map, and what following playback costs: CPU of
// this process and the web engine's processes per wall second against the
// idle open map, and the round trip of a script through the engine.
//
//   bench_map [--runs N] [--card DIR]
//
// Needs a display: run it under xvfb-run. Tiles come from a server of its own
// on 127.0.0.1; nothing is fetched from the network. --card reuses a card made
// by make_card (--small --duration 60).

#include "hx_button.h"
#include "hx_frame_title.h"
#include "hx_test_tile_server.h"
#include "hx_web_host.h"
#include "vw_app.h"
#include "vw_format_mov.h"
#include "vw_settings.h"
#include "vw_video_item.h"
#include "vw_web_view.h"
#include "window_main.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kDriveSeconds = 60;
const char kDrive[] = "Normal/NORM260415-081502F.MP4";

// Every process of the benchmark keeps its profile, cache and settings in a
// folder of its own, so that each cold start is really cold.
void useFreshHome(QTemporaryDir &home)
{
    const QByteArray path = QFile::encodeName(home.path());
    qputenv("HOME", path);
    qputenv("XDG_CONFIG_HOME", path + "/.config");
    qputenv("XDG_DATA_HOME", path + "/.local/share");
    qputenv("XDG_CACHE_HOME", path + "/.cache");
    QDir(home.path()).mkpath(QStringLiteral("Documents"));
    if (qEnvironmentVariableIsEmpty("HX_AUDIO_OUTPUT"))
        qputenv("HX_AUDIO_OUTPUT", "null");
}

double percentile(QVector<double> values, double p)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    const int index = qBound(0, int(p / 100.0 * (values.size() - 1) + 0.5), int(values.size()) - 1);
    return values.at(index);
}

// User and system CPU ticks of one process; 0 when it is gone.
qint64 processTicks(const QString &pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    // Fields after the command name, which may hold spaces: state is field 3,
    // utime 14 and stime 15.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return fields.at(11).toLongLong() + fields.at(12).toLongLong();
}

QString parentOf(const QString &pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray stat = file.readAll();
    return QString::fromLatin1(stat.mid(stat.lastIndexOf(')') + 2).split(' ').value(1));
}

// CPU ticks of this process and every process below it (the web engine's).
qint64 treeTicks()
{
    const QString self = QString::number(::getpid());
    QHash<QString, QString> parents;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (!entry.isEmpty() && entry.at(0).isDigit())
            parents.insert(entry, parentOf(entry));
    }
    qint64 ticks = 0;
    for (auto it = parents.constBegin(); it != parents.constEnd(); ++it) {
        QString ancestor = it.key();
        for (int depth = 0; depth < 8 && !ancestor.isEmpty() && ancestor != self; ++depth)
            ancestor = parents.value(ancestor);
        if (ancestor == self)
            ticks += processTicks(it.key());
    }
    return ticks;
}

void setTiles(const QString &url)
{
    VwSettings::instance()->settingsFile->setValue(QStringLiteral("MAP/TILE_URL"), url);
}

// Cold start of the viewer's map: the button to the drawn route, with a
// recording loaded while the map was never shown.
int coldMap(const QString &card)
{
    HxTestTileServer tiles;
    tiles.start();
    setTiles(tiles.tileUrl());
    VwVideoItem item(QDir(card).filePath(QLatin1String(kDrive)), false, nullptr);
    item.loadSensorInfo();
    WindowMain *window = WindowMain::instance();
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return 1;
    VwWebView *view = window->mapView;
    view->onPlayEvent(PLAY_EVENT_LOADED, &item);
    QSignalSpy drawn(view, &VwWebView::routeDrawn);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(window->titleBar->title_map, Qt::LeftButton);
    if (!drawn.wait(60000))
        return 1;
    std::printf("%.1f\n", clock.nsecsElapsed() / 1e6);
    view->release();
    return 0;
}

// The peer: a bare view loading a one-line page from the resources.
int coldPeer()
{
    QElapsedTimer clock;
    clock.start();
    auto *view = new QWebEngineView;
    QSignalSpy loaded(view, &QWebEngineView::loadFinished);
    view->resize(VwWebView::kWidth, VwWebView::kHeight);
    view->load(QUrl(QStringLiteral("qrc:/bench/peer.html")));
    view->show();
    if (!loaded.wait(60000))
        return 1;
    std::printf("%.1f\n", clock.nsecsElapsed() / 1e6);
    delete view;
    return 0;
}

double runChild(const QString &kind, const QString &card)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), kind, card});
    if (!child.waitForFinished(120000) || child.exitCode() != 0)
        return -1;
    bool ok = false;
    const double ms = child.readAllStandardOutput().trimmed().split('\n').last().toDouble(&ok);
    return ok ? ms : -1;
}

struct Following
{
    double cpuPercent = 0;
    QVector<double> roundTrips;
    int moves = 0;
    // Most answers still owed when a report went out.
    int backlog = 0;
};

class Bench
{
public:
    Bench(const QString &card)
        : m_item(QDir(card).filePath(QLatin1String(kDrive)), false, nullptr)
    {
        m_item.loadSensorInfo();
    }

    bool open(const QString &tileUrl)
    {
        setTiles(tileUrl);
        m_window = WindowMain::instance();
        m_window->show();
        m_view = m_window->mapView;
        QSignalSpy drawn(m_view, &VwWebView::routeDrawn);
        m_view->onPlayEvent(PLAY_EVENT_LOADED, &m_item);
        m_window->onMap();
        return drawn.wait(60000);
    }

    QVector<double> warm(int runs)
    {
        QVector<double> times;
        for (int i = 0; i < runs; ++i) {
            m_view->onPlayEvent(PLAY_EVENT_STOPPED, nullptr);
            QTest::qWait(200);
            QSignalSpy drawn(m_view, &VwWebView::routeDrawn);
            QElapsedTimer clock;
            clock.start();
            m_view->onPlayEvent(PLAY_EVENT_LOADED, &m_item);
            if (!drawn.wait(10000))
                return {};
            times.append(clock.nsecsElapsed() / 1e6);
        }
        return times;
    }

    // Reports `perSecond` positions a second for `seconds`, each one second of
    // video further on, so that every report with a fix moves the car.
    Following follow(int perSecond, int seconds)
    {
        // Shared with the answers, which may come after this returns.
        auto result = std::make_shared<Following>();
        auto outstanding = std::make_shared<int>(0);
        QTimer timer;
        auto report = [this, result, outstanding] {
            const qint64 duration = m_item.durationMs;
            m_view->onPositionChanged(duration * (m_second % kDriveSeconds) / kDriveSeconds + 500,
                                      duration);
            ++m_second;
            ++result->moves;
            // Answers still owed when the next report goes out pile up.
            result->backlog = qMax(result->backlog, *outstanding);
            ++*outstanding;
            QElapsedTimer clock;
            clock.start();
            m_view->webHost()->runJavaScript(QStringLiteral("0"), [result, outstanding, clock](const QVariant &) {
                result->roundTrips.append(clock.nsecsElapsed() / 1e6);
                --*outstanding;
            });
        };
        if (perSecond > 0) {
            QObject::connect(&timer, &QTimer::timeout, report);
            timer.setTimerType(Qt::PreciseTimer);
            timer.start(1000 / perSecond);
        }
        const qint64 ticks = treeTicks();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(seconds * 1000);
        timer.stop();
        const double elapsed = wall.nsecsElapsed() / 1e9;
        result->cpuPercent = (treeTicks() - ticks) / double(sysconf(_SC_CLK_TCK)) / elapsed * 100.0;
        if (!QTest::qWaitFor([outstanding] { return *outstanding == 0; }, 10000))
            std::fprintf(stderr, "bench_map: %d scripts never answered\n", *outstanding);
        return *result;
    }

private:
    VwVideoItem m_item;
    WindowMain *m_window = nullptr;
    VwWebView *m_view = nullptr;
    int m_second = 0;
};

QString makeCard(const QString &folder)
{
    const QString tool = QDir(QCoreApplication::applicationDirPath())
                             .filePath(QStringLiteral("../../make_card/make_card"));
    QProcess generator;
    generator.setProcessChannelMode(QProcess::ForwardedChannels);
    generator.start(tool, {QStringLiteral("--small"), QStringLiteral("--quiet"),
                           QStringLiteral("--duration"), QString::number(kDriveSeconds), folder});
    if (!generator.waitForFinished(600000) || generator.exitCode() != 0)
        return QString();
    return folder;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench_map: needs a display; run it under xvfb-run\n");
        return 1;
    }
    QTemporaryDir home;
    useFreshHome(home);
    HxWebHost::prepareProcess();
    QApplication application(argc, argv);
    const QStringList args = application.arguments();

    if (args.size() == 4 && args.at(1) == QLatin1String("--child")) {
        if (args.at(2) == QLatin1String("peer"))
            return coldPeer();
        VwApp::instance()->initialize(&application);
        return coldMap(args.at(3));
    }
    VwApp::instance()->initialize(&application);

    int runs = 5;
    QString card;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--runs"))
            runs = qMax(1, args.at(++i).toInt());
        else if (args.at(i) == QLatin1String("--card"))
            card = args.at(++i);
    }
    QTemporaryDir scratch;
    if (card.isEmpty()) {
        std::printf("making a card with a %d s drive ...\n", kDriveSeconds);
        std::fflush(stdout);
        card = makeCard(scratch.filePath(QStringLiteral("card")));
        if (card.isEmpty()) {
            std::fprintf(stderr, "bench_map: make_card failed\n");
            return 1;
        }
    }

    QVector<double> cold;
    QVector<double> peer;
    for (int i = 0; i < runs; ++i) {
        cold.append(runChild(QStringLiteral("map"), card));
        peer.append(runChild(QStringLiteral("peer"), card));
    }
    if (cold.contains(-1) || peer.contains(-1)) {
        std::fprintf(stderr, "bench_map: a cold run failed\n");
        return 1;
    }

    HxTestTileServer tiles;
    tiles.start();
    Bench bench(card);
    if (!bench.open(tiles.tileUrl())) {
        std::fprintf(stderr, "bench_map: the map did not open\n");
        return 1;
    }
    const QVector<double> warm = bench.warm(runs);
    if (warm.isEmpty()) {
        std::fprintf(stderr, "bench_map: a warm run failed\n");
        return 1;
    }
    const Following idle = bench.follow(0, 10);
    const Following slow = bench.follow(1, 30);
    const Following fast = bench.follow(30, 10);

    const double coldMedian = percentile(cold, 50);
    const double peerMedian = percentile(peer, 50);
    std::printf("\nbench_map: %d s drive, %d cold runs each in a fresh process, medians\n",
                kDriveSeconds, runs);
    std::printf("%-48s %10s %10s %10s\n", "case", "median ms", "min ms", "max ms");
    auto row = [](const char *name, const QVector<double> &values) {
        std::printf("%-48s %10.1f %10.1f %10.1f\n", name, percentile(values, 50),
                    percentile(values, 0), percentile(values, 100));
    };
    row("cold: map button to route drawn", cold);
    row("peer: bare web view, one-line page loaded", peer);
    row("warm: PLAY_EVENT_LOADED to route drawn", warm);
    std::printf("%-48s %10.2f   (target: under 1.5)\n", "cold map / peer", coldMedian / peerMedian);
    std::printf("targets: cold under 1500 ms, warm under 100 ms\n\n");

    std::printf("%-28s %8s %12s %12s %10s %10s %8s\n", "following", "moves", "CPU % core",
                "above idle", "rt p50 ms", "rt p95 ms", "backlog");
    auto follows = [&idle](const char *name, const Following &f) {
        std::printf("%-28s %8d %12.1f %12.1f %10.1f %10.1f %8d\n", name, f.moves, f.cpuPercent,
                    f.cpuPercent - idle.cpuPercent, percentile(f.roundTrips, 50),
                    percentile(f.roundTrips, 95), f.backlog);
    };
    follows("idle, map open (10 s)", idle);
    follows("1 move a second (30 s)", slow);
    follows("30 moves a second (10 s)", fast);
    std::printf("targets: 1 a second under 5 %% of a core above idle; 30 a second p95 under 50 ms, "
                "no backlog\n");
    VwWebView::instance()->release();
    return 0;
}
