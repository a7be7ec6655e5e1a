#include "hx_button.h"
#include "hx_frame_gps.h"
#include "hx_speed_frame.h"
#include "hx_speed_widget.h"
#include "hx_test_viewer.h"
#include "vw_app.h"
#include "vw_format_mov.h"
#include "vw_frame_graph.h"
#include "vw_graph_widget.h"
#include "vw_language.h"
#include "vw_player.h"
#include "vw_video_item.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

constexpr qint64 kDurationMs = 10000;
constexpr int kGraphWidth = 501;
constexpr int kGraphHeight = 70;

// A recording of 10 s without files and with telemetry given directly: by
// default ten fixes at (35 + i / 1000, 139 + i / 1000) driving 77 km/h and
// 400 readings of zero.
struct Recording
{
    QVector<VwGpsRecord> gps = QVector<VwGpsRecord>(10);
    QVector<VwGSensorSample> samples = QVector<VwGSensorSample>(400);
    bool hasGps = true;

    Recording()
    {
        for (int i = 0; i < gps.size(); ++i) {
            VwGpsRecord &record = gps[i];
            record.latitude = 35.0 + i / 1000.0;
            record.longitude = 139.0 + i / 1000.0;
            record.speed = 77.0;
            record.valid = true;
        }
    }

    VwVideoItem *make() const
    {
        auto *item =
            new VwVideoItem(QStringLiteral("/absent/NORM260415-081502F.MP4"), false, nullptr);
        item->durationMs = kDurationMs;
        item->sensorInfo = new VwSensorInfo;
        item->sensorInfo->hasGps = hasGps;
        item->sensorInfo->gpsRecords = hasGps ? gps : QVector<VwGpsRecord>();
        item->sensorInfo->gSamples = samples;
        return item;
    }
};

QString labelTexts(const VwFrameGraph &panel)
{
    return QStringList{panel.labelX->text(), panel.labelY->text(), panel.labelZ->text()}.join(
        QLatin1Char('|'));
}

QString fixed6(double value)
{
    return QString::asprintf("%.06f", value);
}

void setLanguage(int language)
{
    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_TYPE(language));
}

} // namespace

class TestTelemetryViews : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void speed_data();
    void speed();
    void languageSwitch();
    void speedCells_data();
    void speedCells();
    void lineGeometry_data();
    void lineGeometry();
    void zoomButtons();
    void cursorAndLabels_data();
    void cursorAndLabels();
    void cachedPaintMatchesDirectPaint();
    void gpsPanel_data();
    void gpsPanel();
    void viewsOutliveTheRecording();
};

void TestTelemetryViews::cleanup()
{
    setLanguage(VwLanguage::LANGUAGE_JAPANESE);
}

void TestTelemetryViews::speed_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<double>("speed");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<int>("shown");

    // The row's speed is that of record 3; the others read 77 km/h.
    const qint64 third = 3500;
    QTest::newRow("0 lights the panel") << 1 << 0.0 << true << third << kDurationMs << 0;
    QTest::newRow("499.9") << 1 << 499.9 << true << third << kDurationMs << 499;
    QTest::newRow("500") << 1 << 500.0 << true << third << kDurationMs << -1;
    QTest::newRow("no fix") << 1 << 60.0 << false << third << kDurationMs << -1;
    QTest::newRow("not a number") << 1 << std::numeric_limits<double>::quiet_NaN() << true << third
                                  << kDurationMs << -1;
    QTest::newRow("at the duration") << 1 << 60.0 << true << kDurationMs << kDurationMs << 77;
    QTest::newRow("past the count") << 1 << 60.0 << true << qint64(11000) << kDurationMs << -1;
    QTest::newRow("duration 0") << 1 << 60.0 << true << qint64(0) << qint64(0) << -1;
    QTest::newRow("negative position") << 1 << 60.0 << true << qint64(-500) << kDurationMs << 77;
    QTest::newRow("English 100 km/h") << 2 << 100.0 << true << third << kDurationMs << 62;
}

void TestTelemetryViews::speed()
{
    QFETCH(int, language);
    QFETCH(double, speed);
    QFETCH(bool, valid);
    QFETCH(qint64, position);
    QFETCH(qint64, duration);
    QFETCH(int, shown);

    setLanguage(language);
    Recording recording;
    recording.gps[3].speed = speed;
    recording.gps[3].valid = valid;
    QScopedPointer<VwVideoItem> item(recording.make());
    HxSpeedFrame frame;
    frame.onPlayEvent(PLAY_EVENT_LOADED, item.data());
    frame.onPositionChanged(position, duration);
    QCOMPARE(frame.speedWidget->speedValue(), shown);
    QCOMPARE(frame.unitMph->isVisibleTo(&frame), language == 2);
    QCOMPARE(frame.unitKmh->isVisibleTo(&frame), language == 1);
}

void TestTelemetryViews::languageSwitch()
{
    Recording recording;
    recording.gps[3].speed = 100.0;
    QScopedPointer<VwVideoItem> item(recording.make());
    HxSpeedFrame speed;
    HxFrameGPS gps;
    speed.onPlayEvent(PLAY_EVENT_LOADED, item.data());
    speed.onPositionChanged(3500, kDurationMs);
    auto shown = [&] {
        return QStringLiteral("%1 %2 %3 %4")
            .arg(speed.speedWidget->speedValue())
            .arg(speed.unitMph->isVisibleTo(&speed) ? "mph" : "km/h")
            .arg(gps.latitudeTitle->text(), gps.longitudeTitle->text());
    };
    QCOMPARE(shown(), QStringLiteral("100 km/h 緯度 経度"));
    setLanguage(VwLanguage::LANGUAGE_ENGLISH);
    QCOMPARE(shown(), QStringLiteral("62 mph Lat Lon"));
    setLanguage(VwLanguage::LANGUAGE_JAPANESE);
    QCOMPARE(shown(), QStringLiteral("100 km/h 緯度 経度"));
}

void TestTelemetryViews::speedCells_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("cells");

    QTest::newRow("0") << 0 << "000";
    QTest::newRow("7") << 7 << "007";
    QTest::newRow("409") << 409 << "409";
    QTest::newRow("none") << -1 << "---";
}

void TestTelemetryViews::speedCells()
{
    QFETCH(int, value);
    QFETCH(QString, cells);

    HxSpeedWidget widget;
    widget.setFixedSize(87, 52);
    widget.setSpeedValue(value);
    const QImage shown = widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);

    // Each cell must be its sprite cell drawn on the panel of the state.
    QImage expected(shown.size(), QImage::Format_ARGB32);
    expected.fill(shown.pixel(0, 0));
    QPainter painter(&expected);
    const QPixmap panel(value >= 0 ? QStringLiteral(":/image/speed_on.png")
                                   : QStringLiteral(":/image/speed_off.png"));
    QVERIFY(!panel.isNull());
    painter.drawPixmap(7, 4, panel);
    const QPixmap sprite(QStringLiteral(":/image/num_15x25.png"));
    for (int i = 0; i < 3; ++i) {
        const QChar cell = cells.at(i);
        const int column = cell == QLatin1Char('-') ? 150 : cell.digitValue() * 15;
        painter.drawPixmap(21 + 15 * i, 21, sprite, column, 0, 15, 25);
    }
    painter.end();
    QCOMPARE(shown.copy(7, 4, 72, 44), expected.copy(7, 4, 72, 44));
}

void TestTelemetryViews::lineGeometry_data()
{
    QTest::addColumn<int>("zoomIns");
    QTest::addColumn<float>("edge");

    QTest::newRow("zoom 4") << 0 << 2.0f;
    QTest::newRow("zoom 2") << 1 << 2.0f / 3.0f;
    QTest::newRow("zoom 1") << 2 << 2.0f / 7.0f;
}

void TestTelemetryViews::lineGeometry()
{
    QFETCH(int, zoomIns);
    QFETCH(float, edge);

    Recording recording;
    recording.samples = {{edge, -edge, 0.0f}, {0.0f, edge, -edge}, {-edge, 0.0f, edge}, {}};
    QScopedPointer<VwVideoItem> item(recording.make());
    VwGraphWidget graph(nullptr, {1, 2, 4});
    graph.resize(kGraphWidth, kGraphHeight);
    graph.onPlayEvent(PLAY_EVENT_LOADED, item.data());
    for (int i = 0; i < zoomIns; ++i)
        graph.onZoomIn();

    // The edge values lie on the top and bottom edges, 0 in the middle.
    const double t = 0.0;
    const double m = kGraphHeight / 2.0;
    const double b = kGraphHeight;
    const double expected[3][4] = {{t, m, b, m}, {b, t, m, m}, {m, b, t, m}};
    const QPolygonF *lines[3] = {&graph.xLine(), &graph.yLine(), &graph.zLine()};
    for (int axis = 0; axis < 3; ++axis) {
        for (int i = 0; i < 4; ++i) {
            const QPointF point = lines[axis]->at(i);
            QCOMPARE(point.x(), double(float(i) * float(kGraphWidth / 4.0)));
            QVERIFY2(std::abs(point.y() - expected[axis][i]) < 1e-3,
                     qPrintable(
                         QStringLiteral("axis %1 point %2: %3").arg(axis).arg(i).arg(point.y())));
        }
    }
}

void TestTelemetryViews::zoomButtons()
{
    VwFrameGraph panel;
    auto state = [&] {
        return QString::asprintf("%d %d %d", panel.graph->zoom(), int(panel.zoomIn->isEnabled()),
                                 int(panel.zoomOut->isEnabled()));
    };
    QCOMPARE(state(), QStringLiteral("4 1 0"));
    panel.zoomIn->click();
    QCOMPARE(state(), QStringLiteral("2 1 1"));
    panel.zoomIn->click();
    QCOMPARE(state(), QStringLiteral("1 0 1"));
    panel.zoomOut->click();
    QCOMPARE(state(), QStringLiteral("2 1 1"));
    panel.zoomOut->click();
    QCOMPARE(state(), QStringLiteral("4 1 0"));

    setLanguage(VwLanguage::LANGUAGE_ENGLISH);
    QCOMPARE(panel.zoomIn->toolTip() + '/' + panel.zoomOut->toolTip(),
             QStringLiteral("Zoom In/Zoom Out"));
}

void TestTelemetryViews::cursorAndLabels_data()
{
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("labels");

    // Reading j has x = +0.5, y = -0.5 and z = j / 1000; every row starts at
    // 2.5 s (reading 100), whose labels the rows without a reading keep.
    const QString start = QStringLiteral(" 0.50|-0.50| 0.10");
    QTest::newRow("a quarter") << qint64(2500) << kDurationMs << kGraphWidth / 4 << start;
    QTest::newRow("reading 200") << qint64(5000) << kDurationMs << kGraphWidth / 2
                                 << QStringLiteral(" 0.50|-0.50| 0.20");
    QTest::newRow("at the duration") << kDurationMs << kDurationMs << kGraphWidth << start;
    QTest::newRow("past the duration") << qint64(20000) << kDurationMs << kGraphWidth << start;
    QTest::newRow("negative position")
        << qint64(-100) << kDurationMs << 0 << QStringLiteral(" 0.50|-0.50| 0.00");
    QTest::newRow("duration 0") << qint64(0) << qint64(0) << -1 << start;
}

void TestTelemetryViews::cursorAndLabels()
{
    QFETCH(qint64, position);
    QFETCH(qint64, duration);
    QFETCH(int, cursor);
    QFETCH(QString, labels);

    Recording recording;
    for (int j = 0; j < recording.samples.size(); ++j)
        recording.samples[j] = {0.5f, -0.5f, j / 1000.0f};
    QScopedPointer<VwVideoItem> item(recording.make());
    VwFrameGraph panel;
    QCOMPARE(labelTexts(panel), QStringLiteral("-0.00|-0.00|-0.00"));
    VwGraphWidget *graph = panel.graph;
    graph->resize(kGraphWidth, kGraphHeight);
    graph->onPlayEvent(PLAY_EVENT_LOADED, item.data());
    QCOMPARE(graph->cursorX(), -1);
    graph->onPositionChanged(2500, kDurationMs);
    graph->onPositionChanged(position, duration);
    QCOMPARE(graph->cursorX(), cursor);
    QCOMPARE(labelTexts(panel), labels);
}

void TestTelemetryViews::cachedPaintMatchesDirectPaint()
{
    // Noise with an impact beyond the plot, at a zoom whose grid is dense.
    Recording recording;
    for (int j = 0; j < recording.samples.size(); ++j) {
        const float noise = float(std::sin(j * 0.7)) * 0.2f;
        recording.samples[j] = {noise, -noise / 2, 1.0f - noise};
    }
    for (int j = 200; j < 212; ++j)
        recording.samples[j] = {1.0f, -0.9f, 0.4f};
    QScopedPointer<VwVideoItem> item(recording.make());

    VwGraphWidget graph(nullptr, {1, 2, 4});
    graph.resize(kGraphWidth, kGraphHeight);
    graph.onPlayEvent(PLAY_EVENT_LOADED, item.data());
    graph.onZoomIn();
    graph.show();
    QVERIFY(QTest::qWaitForWindowExposed(&graph));

    // Each step moves the cursor, which repaints only the two columns.
    for (qint64 position : {3000, 3020, 6000, 10000}) {
        graph.onPositionChanged(position, kDurationMs);
        QCoreApplication::processEvents();
        const QImage shown = graph.screen()
                                 ->grabWindow(graph.winId())
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        QImage direct(graph.size(), QImage::Format_RGB32);
        direct.fill(graph.palette().window().color());
        QPainter painter(&direct);
        graph.paintGraph(&painter);
        painter.setPen(Qt::white);
        painter.drawLine(graph.cursorX(), 0, graph.cursorX(), kGraphHeight);
        painter.end();
        QCOMPARE(shown, direct);
    }

    // A new width rebuilds the lines for the width the cursor uses.
    graph.resize(1200, kGraphHeight);
    const int n = recording.samples.size();
    QTRY_COMPARE(graph.xLine().last().x(), double(float(n - 1) * float(1200.0 / n)));
    graph.onPositionChanged(kDurationMs / 2, kDurationMs);
    QCOMPARE(graph.cursorX(), 600);
    // A plot one pixel high has no room for a grid step at zoom 2.
    graph.resize(1200, 17);
    QTRY_COMPARE(graph.height(), 17);
    QVERIFY(!graph.grab().isNull());
}

void TestTelemetryViews::gpsPanel_data()
{
    QTest::addColumn<bool>("hasGps");
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<int>("event");
    QTest::addColumn<int>("record");

    // Every row first shows record 3 (3.5 s), then reports a position or
    // sends an event; record -1 stands for dashes. Record 2 has no fix.
    QTest::newRow("fix") << true << qint64(4200) << kDurationMs << 0 << 4;
    QTest::newRow("no fix") << true << qint64(2500) << kDurationMs << 0 << -1;
    QTest::newRow("index equal to the count") << true << kDurationMs << kDurationMs << 0 << 9;
    QTest::newRow("index past the count") << true << qint64(11000) << kDurationMs << 0 << -1;
    QTest::newRow("duration 0 keeps the text") << true << qint64(5000) << qint64(0) << 0 << 3;
    QTest::newRow("user stop") << true << qint64(0) << qint64(0) << int(PLAY_EVENT_USER_STOP) << -1;
    QTest::newRow("stopped keeps the text")
        << true << qint64(4200) << kDurationMs << int(PLAY_EVENT_STOPPED) << 3;
    QTest::newRow("no GPS") << false << qint64(4200) << kDurationMs << 0 << -1;
}

void TestTelemetryViews::gpsPanel()
{
    QFETCH(bool, hasGps);
    QFETCH(qint64, position);
    QFETCH(qint64, duration);
    QFETCH(int, event);
    QFETCH(int, record);

    Recording recording;
    recording.hasGps = hasGps;
    recording.gps[2].valid = false;
    QScopedPointer<VwVideoItem> item(recording.make());
    HxFrameGPS frame;
    frame.onPlayEvent(PLAY_EVENT_LOADED, item.data());
    frame.onPositionChanged(3500, kDurationMs);
    if (event)
        frame.onPlayEvent(PLAY_EVENT(event), nullptr);
    // After a stop, reports no longer reach the labels.
    if (event != PLAY_EVENT_USER_STOP)
        frame.onPositionChanged(position, duration);

    const QString dashes = QStringLiteral("--.------");
    QCOMPARE(frame.latitudeLabel->text(),
             record < 0 ? dashes : fixed6(recording.gps.at(record).latitude));
    QCOMPARE(frame.longitudeLabel->text(),
             record < 0 ? dashes : fixed6(recording.gps.at(record).longitude));
    QCOMPARE(frame.latitudeLabel->accessibleDescription() + '/' + frame.longitudeLabel->accessibleDescription(),
             QStringLiteral("Latitude/Longitude"));
}

void TestTelemetryViews::viewsOutliveTheRecording()
{
    // The views as the main window wires them: through the player's signals.
    QWidget window;
    auto *graphPanel = new VwFrameGraph(&window);
    auto *gpsPanel = new HxFrameGPS(&window);
    graphPanel->setGeometry(0, 0, 688, 79);
    gpsPanel->setGeometry(0, 80, 392, 26);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    Recording recording;
    recording.gps[4].speed = 42.0;
    recording.samples[160] = {0.25f, -0.75f, 0.5f};
    VwVideoItem *item = recording.make();
    VwPlayer *player = VwPlayer::instance();
    Q_EMIT player->playEvent(PLAY_EVENT_LOADED, item);
    // The record goes before the player's stop reaches the views.
    delete item;
    Q_EMIT player->positionChanged(4000, kDurationMs);
    graphPanel->graph->onZoomIn();
    window.repaint();

    const QString latitude = fixed6(recording.gps.at(4).latitude);
    QCOMPARE(graphPanel->speedFrame->speedWidget->speedValue(), 42);
    QCOMPARE(gpsPanel->latitudeLabel->text(), latitude);
    QCOMPARE(labelTexts(*graphPanel), QStringLiteral(" 0.25|-0.75| 0.50"));
    QCOMPARE(graphPanel->graph->xLine().size(), recording.samples.size());

    // The stop empties the graph and the speed; the coordinates stay.
    Q_EMIT player->playEvent(PLAY_EVENT_STOPPED, nullptr);
    window.repaint();
    QCOMPARE(graphPanel->speedFrame->speedWidget->speedValue(), -1);
    QCOMPARE(gpsPanel->latitudeLabel->text(), latitude);
    QCOMPARE(labelTexts(*graphPanel), QStringLiteral(" 0.00| 0.00| 0.00"));
    QVERIFY(graphPanel->graph->xLine().isEmpty() && graphPanel->graph->zLine().isEmpty());
    QCOMPARE(graphPanel->graph->cursorX(), -1);
    Q_EMIT player->positionChanged(5000, kDurationMs);
    QCOMPARE(graphPanel->graph->cursorX(), -1);
}

HX_TEST_VIEWER_MAIN(TestTelemetryViews)

#include "tst_telemetry_views.moc"
