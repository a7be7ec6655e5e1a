// Times the G-sensor graph's painting against three ways of painting the same
// lines on every paint, and the cost of following playback with the graph,
// the speed display and the GPS panel.
//
//   bench_graph [--runs N] [--follow-seconds S]
//
// Runs on the offscreen platform (unless QT_QPA_PLATFORM says otherwise) with
// the graph at its size in the main window, 501 x 70, on recordings of 60 s
// and 3 minutes with 40 readings a second (2,400 and 7,200): noise plus an
// impact. Repaint times are the median and 95th percentile of N repaints of
// the shown widget; a cursor move is one position report that moves the
// cursor by a pixel, painted at once. Following: 30 position reports a second
// for S seconds on the 3-minute recording; process CPU time over wall time,
// with the views as they are and with a full graph repaint on every report.

#include "hx_frame_gps.h"
#include "hx_speed_frame.h"
#include "vw_app.h"
#include "vw_format_mov.h"
#include "vw_frame_graph.h"
#include "vw_graph_widget.h"
#include "vw_player.h"
#include "vw_video_item.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

constexpr int kWidth = 501;
constexpr int kHeight = 70;
constexpr int kReadingsPerSecond = 40;

qint64 cpuNs()
{
    timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct Stats
{
    double median = 0.0;
    double p95 = 0.0;
};

Stats statsOf(QVector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    Stats stats;
    if (ms.isEmpty())
        return stats;
    stats.median = ms.at(ms.size() / 2);
    stats.p95 = ms.at(std::min(ms.size() - 1, int(std::ceil(ms.size() * 0.95)) - 1));
    return stats;
}

Stats timeRuns(int runs, const std::function<void(int)> &step)
{
    QVector<double> ms;
    ms.reserve(runs);
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        step(i);
        ms << timer.nsecsElapsed() / 1e6;
    }
    return statsOf(ms);
}

// A recording of `seconds` without files: noise around a gentle drive, one
// knock in the middle that saturates the sensor, a fix every second.
VwVideoItem *makeRecording(int seconds)
{
    auto *item = new VwVideoItem(QStringLiteral("/absent/NORM260415-081502F.MP4"), false, nullptr);
    item->durationMs = quint32(seconds * 1000);
    auto *info = new VwSensorInfo;
    quint32 state = 12345;
    auto noise = [&state] {
        state = state * 1103515245u + 12345u;
        return (int((state >> 16) % 7) - 3) / 16.0f;
    };
    const int count = seconds * kReadingsPerSecond;
    const int impact = count / 2;
    for (int i = 0; i < count; ++i) {
        VwGSensorSample sample;
        if (i >= impact && i < impact + 12) {
            sample = {1.0f, -0.9f, 0.4f};
        } else {
            const float t = float(i) / kReadingsPerSecond;
            sample.x = 0.1f * std::sin(t / 5.0f) + noise();
            sample.y = 0.15f * std::sin(t / 2.0f) + noise();
            sample.z = std::min(1.0f, 0.95f + noise());
        }
        info->gSamples << sample;
    }
    info->gpsRecords.resize(seconds);
    for (int s = 0; s < seconds; ++s) {
        VwGpsRecord &record = info->gpsRecords[s];
        record.latitude = 35.6 + s * 1e-4;
        record.longitude = 139.7 + s * 1e-4;
        record.speed = 40 + s % 20;
        record.valid = true;
    }
    info->hasGps = true;
    info->gpsCount = quint32(seconds);
    info->gCount = quint32(count);
    info->gPerSecond = kReadingsPerSecond;
    item->sensorInfo = info;
    return item;
}

// The peers: the same background, grid, lines and cursor, painted in full
// (within the exposed region) on every paint.
class PeerGraph : public QWidget
{
public:
    enum Kind { DrawLines, Path, Polyline };

    PeerGraph(Kind kind, const VwGraphWidget &source)
        : m_kind(kind)
        , m_zoom(source.zoom())
    {
        m_lines[0] = source.xLine();
        m_lines[1] = source.yLine();
        m_lines[2] = source.zLine();
        for (int axis = 0; axis < 3; ++axis) {
            m_paths[axis].addPolygon(m_lines[axis]);
        }
        setFixedSize(kWidth, kHeight);
    }

    static QString name(Kind kind)
    {
        switch (kind) {
        case DrawLines:
            return QStringLiteral("peer: drawLine per point");
        case Path:
            return QStringLiteral("peer: QPainterPath");
        default:
            return QStringLiteral("peer: drawPolyline");
        }
    }

    void setCursorX(int x)
    {
        update(m_cursorX, 0, 1, height());
        m_cursorX = x;
        update(m_cursorX, 0, 1, height());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x59, 0x59, 0x59));
        painter.drawRoundedRect(rect(), 3, 3, Qt::AbsoluteSize);
        painter.setBrush(Qt::NoBrush);
        const QRect plot = rect().adjusted(3, 8, -3, -8);
        painter.setPen(QColor(0x73, 0x73, 0x73));
        painter.drawRect(plot);
        const int step = plot.height() / 2 / m_zoom;
        for (int k = 1; step > 0 && k < plot.height() / step; ++k)
            painter.drawLine(plot.left(), plot.top() + k * step, plot.right(),
                             plot.top() + k * step);
        for (int x : {plot.center().x(), plot.left() + plot.width() / 4,
                      plot.left() + plot.width() / 4 * 3})
            painter.drawLine(x, plot.top(), x, plot.bottom());
        const QColor colors[3] = {QColor(0x00FF00), QColor(0xFFFF00), QColor(0xFF0000)};
        for (int axis = 0; axis < 3; ++axis) {
            painter.setPen(QPen(colors[axis], 1));
            const QPolygonF &line = m_lines[axis];
            if (m_kind == DrawLines) {
                for (int i = 1; i < line.size(); ++i)
                    painter.drawLine(line.at(i - 1), line.at(i));
            } else if (m_kind == Path) {
                painter.drawPath(m_paths[axis]);
            } else {
                painter.drawPolyline(line);
            }
        }
        painter.setPen(Qt::white);
        painter.drawLine(m_cursorX, 0, m_cursorX, height());
    }

private:
    Kind m_kind;
    int m_zoom;
    int m_cursorX = kWidth / 3;
    QPolygonF m_lines[3];
    QPainterPath m_paths[3];
};

// Counts the paint events a widget receives and the pixels they expose.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    qint64 pixels = 0;

    void print(const char *what, int runs) const
    {
        std::printf("  ours, %s: %d paints for %d runs, %lld pixels each\n", what, paints, runs,
                    paints ? pixels / paints : 0);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            for (const QRect &rect : static_cast<QPaintEvent *>(event)->region())
                pixels += qint64(rect.width()) * rect.height();
        }
        return QObject::eventFilter(watched, event);
    }
};

// Paints what update() marked, at once.
void flushPaint(QWidget *window)
{
    QCoreApplication::sendPostedEvents(window, QEvent::UpdateRequest);
}

struct Row
{
    QString name;
    Stats full;
    Stats cursor;
};

void printRow(const Row &row)
{
    std::printf("  %-30s %8.3f %8.3f   %8.3f %8.3f\n", qPrintable(row.name), row.full.median,
                row.full.p95, row.cursor.median, row.cursor.p95);
}

void benchRepaint(int seconds, int runs)
{
    QScopedPointer<VwVideoItem> item(makeRecording(seconds));
    const qint64 duration = item->durationMs;
    std::printf("\n%d readings (%d s), %d repaints each, ms:\n", seconds * kReadingsPerSecond,
                seconds, runs);
    std::printf("  %-30s %8s %8s   %8s %8s\n", "", "full", "p95", "cursor", "p95");

    QVector<Row> rows;
    {
        VwGraphWidget graph(nullptr, {1, 2, 4});
        graph.setFixedSize(kWidth, kHeight);
        graph.show();
        QCoreApplication::processEvents();
        graph.onPlayEvent(PLAY_EVENT_LOADED, item.data());
        graph.onPositionChanged(duration / 3, duration);
        graph.repaint();

        Row ours;
        ours.name = QStringLiteral("ours: cached pixmap");
        PaintCounter fullCounter;
        graph.installEventFilter(&fullCounter);
        ours.full = timeRuns(runs, [&](int) { graph.repaint(); });
        graph.removeEventFilter(&fullCounter);
        fullCounter.print("full", runs);
        // Each report moves the cursor one pixel to the right.
        PaintCounter counter;
        graph.installEventFilter(&counter);
        ours.cursor = timeRuns(runs, [&](int i) {
            const qint64 pixel = kWidth / 3 + i % 200 + 1;
            graph.onPositionChanged((pixel * duration + kWidth - 1) / kWidth, duration);
            flushPaint(&graph);
        });
        graph.removeEventFilter(&counter);
        rows << ours;
        counter.print("cursor moves", runs);

        const Stats rebuild = timeRuns(std::max(runs / 5, 10), [&](int i) {
            if (i % 2 == 0)
                graph.onZoomIn();
            else
                graph.onZoomOut();
            graph.repaint();
        });
        std::printf("  zoom step (rebuild + repaint): median %.3f ms, p95 %.3f ms\n",
                    rebuild.median, rebuild.p95);

        for (PeerGraph::Kind kind : {PeerGraph::DrawLines, PeerGraph::Path, PeerGraph::Polyline}) {
            PeerGraph peer(kind, graph);
            peer.show();
            QCoreApplication::processEvents();
            Row row;
            row.name = PeerGraph::name(kind);
            row.full = timeRuns(runs, [&](int) { peer.repaint(); });
            row.cursor = timeRuns(runs, [&](int i) {
                peer.setCursorX(kWidth / 3 + i % 200 + 1);
                flushPaint(&peer);
            });
            rows << row;
        }
    }
    for (const Row &row : rows)
        printRow(row);

    const Row &ours = rows.first();
    double bestFull = 1e9;
    double bestCursor = 1e9;
    for (int i = 1; i < rows.size(); ++i) {
        bestFull = std::min(bestFull, rows.at(i).full.median);
        bestCursor = std::min(bestCursor, rows.at(i).cursor.median);
        std::printf("  %-30s full %6.1fx, cursor %6.1fx faster than this peer\n",
                    qPrintable(rows.at(i).name), rows.at(i).full.median / ours.full.median,
                    rows.at(i).cursor.median / ours.cursor.median);
    }
    std::printf("  best peer / ours: full %.1fx, cursor move %.1fx\n", bestFull / ours.full.median,
                bestCursor / ours.cursor.median);
}

// 30 reports a second through the player's signal, as the player sends them.
double followingLoad(VwVideoItem *item, int seconds, bool fullRepaint)
{
    QWidget window;
    auto *graphPanel = new VwFrameGraph(&window);
    graphPanel->setGeometry(0, 0, 688, 79);
    auto *gpsPanel = new HxFrameGPS(&window);
    gpsPanel->setGeometry(0, 80, 392, 26);
    window.resize(688, 106);
    window.show();
    QCoreApplication::processEvents();

    VwPlayer *player = VwPlayer::instance();
    Q_EMIT player->playEvent(PLAY_EVENT_LOADED, item);
    const qint64 duration = item->durationMs;
    const qint64 start = duration / 4;
    QElapsedTimer wall;
    QTimer reports;
    reports.setTimerType(Qt::PreciseTimer);
    reports.setInterval(33);
    QObject::connect(&reports, &QTimer::timeout, &window, [&] {
        Q_EMIT player->positionChanged(start + wall.elapsed(), duration);
        if (fullRepaint)
            graphPanel->graph->update();
    });
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    const qint64 cpu0 = cpuNs();
    wall.start();
    reports.start();
    loop.exec();
    reports.stop();
    const double load = double(cpuNs() - cpu0) / double(wall.nsecsElapsed());
    Q_EMIT player->playEvent(PLAY_EVENT_STOPPED, nullptr);
    return load;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The settings and data folders go to a throw-away home.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral(".local/share"))));
    qputenv("HX_AUDIO_OUTPUT", "null");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("hx.*.debug=false\nhx.*.info=false"));
    VwApp::instance()->initialize(&app);

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"),
                                        QStringLiteral("Repaints per figure."), QStringLiteral("n"),
                                        QStringLiteral("1000"));
    const QCommandLineOption followOption(QStringLiteral("follow-seconds"),
                                          QStringLiteral("Seconds of each following run."),
                                          QStringLiteral("s"), QStringLiteral("60"));
    parser.addOptions({runsOption, followOption});
    parser.process(app);
    const int runs = std::max(parser.value(runsOption).toInt(), 10);
    const int followSeconds = std::max(parser.value(followOption).toInt(), 1);

    std::printf("bench_graph: platform %s, graph %d x %d, device pixel ratio %.1f\n",
                qPrintable(QGuiApplication::platformName()), kWidth, kHeight,
                qApp->devicePixelRatio());
    benchRepaint(60, runs);
    benchRepaint(180, runs);

    QScopedPointer<VwVideoItem> item(makeRecording(180));
    std::printf("\nfollowing 30 reports/s for %d s on the 3-minute recording (graph, speed, GPS), "
                "CPU time / wall time:\n",
                followSeconds);
    const double ours = followingLoad(item.data(), followSeconds, false);
    const double peer = followingLoad(item.data(), followSeconds, true);
    std::printf("  ours                              %6.2f %% of one core\n", ours * 100.0);
    std::printf("  peer: full graph repaint/report   %6.2f %% of one core\n", peer * 100.0);
    std::printf("  peer / ours                       %6.1fx\n", peer / ours);
    return 0;
}
