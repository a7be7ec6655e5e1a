#include "hx_button.h"
#include "hx_frame_title.h"
#include "hx_test_files.h"
#include "hx_test_sandbox.h"
#include "hx_test_tile_server.h"
#include "hx_web_host.h"
#include "vw_app.h"
#include "vw_format_mov.h"
#include "vw_language.h"
#include "vw_settings.h"
#include "vw_video_item.h"
#include "vw_web_view.h"
#include "window_main.h"

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <memory>

// The map window on the real web engine, driven the way the player drives it,
// with the main drive of a generated card: 12 records, no fix in seconds 0, 1
// and 9. Tiles come from a server of the test on 127.0.0.1 or from nowhere;
// nothing here may reach the network.
class TestVwWebView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void engineWaitsForTheFirstShowing();
    void routeAndCar();
    void reloadShowsTheCarAgain();
    void tiles_data();
    void tiles();
    void otherServersStayUnreached();
    void buttonAndFullScreen();
    void renderProcessEnd();
    void screenshots_data();
    void screenshots();
    void releaseEndsCleanly();

private:
    QVariant evaluate(const QString &script);
    QJsonObject pageState();
    qint64 positionOf(int second) const;
    void report(int second);
    void verifyCar(int second);
    void setTileSettings(const QString &url, const QString &attribution = QString());
    void reopen();
    bool loadRecording(VwVideoItem *item = nullptr);
    std::unique_ptr<VwVideoItem> makeDrive(const QString &folder, int seconds);
    QString tileFolder();

    QTemporaryDir m_cards;
    std::unique_ptr<VwVideoItem> m_item;
    // The sample card's drive, a minute long, for the pictures.
    std::unique_ptr<VwVideoItem> m_sampleDrive;
    QVector<VwGpsRecord> m_records;
    WindowMain *m_window = nullptr;
    VwWebView *m_view = nullptr;
};

QVariant TestVwWebView::evaluate(const QString &script)
{
    // The answer may come after this call gave up waiting.
    auto answer = std::make_shared<QPair<bool, QVariant>>(false, QVariant());
    m_view->webHost()->runJavaScript(script, [answer](const QVariant &value) {
        *answer = {true, value};
    });
    if (!QTest::qWaitFor([answer] { return answer->first; }, 20000))
        qWarning("no answer to %s", qPrintable(script.left(60)));
    return answer->second;
}

// The page's drawn route, view and car, as JSON.
QJsonObject TestVwWebView::pageState()
{
    const QVariant json = evaluate(QStringLiteral(R"(JSON.stringify({
        lines: polylines.map(function (l) { return l.getLatLngs().map(function (p) { return [p.lat, p.lng]; }); }),
        inView: polylines.every(function (l) { return l.getLatLngs().every(function (p) { return map.getBounds().contains(p); }); }),
        zoom: map.getZoom(),
        car: carMarker ? [carMarker.getLatLng().lat, carMarker.getLatLng().lng] : null,
        note: document.getElementById("offline_note").className === "shown",
        noteText: document.getElementById("offline_note").textContent,
        scale: !!document.querySelector(".leaflet-control-scale-line"),
        attribution: document.querySelector(".leaflet-control-attribution").textContent,
        tiles: tileLayer !== null
    }))"));
    return QJsonDocument::fromJson(json.toString().toUtf8()).object();
}

// A position in the middle of the record's second.
qint64 TestVwWebView::positionOf(int second) const
{
    return qint64(m_item->durationMs * (second + 0.5) / m_records.size());
}

void TestVwWebView::report(int second)
{
    m_view->onPositionChanged(positionOf(second), m_item->durationMs);
}

void TestVwWebView::verifyCar(int second)
{
    const QJsonValue car = pageState().value(QStringLiteral("car"));
    const VwGpsRecord &record = m_records.at(second);
    QVERIFY2(car.isArray(), qPrintable(QStringLiteral("no car at second %1").arg(second)));
    QVERIFY(qAbs(car.toArray().at(0).toDouble() - record.latitude) < 1e-6);
    QVERIFY(qAbs(car.toArray().at(1).toDouble() - record.longitude) < 1e-6);
}

void TestVwWebView::setTileSettings(const QString &url, const QString &attribution)
{
    QSettings *settings = VwSettings::instance()->settingsFile;
    settings->setValue(QStringLiteral("MAP/TILE_URL"), url);
    settings->setValue(QStringLiteral("MAP/TILE_ATTRIBUTION"), attribution);
}

// A folder of tiles around the drive's start, at the zoom the drive is shown at.
QString TestVwWebView::tileFolder()
{
    const QString folder = m_cards.filePath(QStringLiteral("tiles"));
    QImage tile(256, 256, QImage::Format_RGB32);
    tile.fill(QColor(0xEE, 0xEB, 0xE2));
    for (int x = 58180; x < 58196; ++x) {
        const QDir column(QStringLiteral("%1/16/%2").arg(folder).arg(x));
        column.mkpath(QStringLiteral("."));
        for (int y = 25800; y < 25820; ++y)
            tile.save(column.filePath(QStringLiteral("%1.png").arg(y)));
    }
    return folder;
}

// Closes the map and opens it again with the main window's button.
void TestVwWebView::reopen()
{
    if (m_view->isVisible())
        m_window->onMap();
    m_window->onMap();
    QVERIFY(QTest::qWaitForWindowExposed(m_view));
}

bool TestVwWebView::loadRecording(VwVideoItem *item)
{
    QSignalSpy drawn(m_view, &VwWebView::routeDrawn);
    m_view->onPlayEvent(PLAY_EVENT_LOADED, item ? item : m_item.get());
    return drawn.wait(20000);
}

// The main drive of a card made by make_card with its telemetry read.
std::unique_ptr<VwVideoItem> TestVwWebView::makeDrive(const QString &folder, int seconds)
{
    bool missing = false;
    if (!hxMakeCard({"--small", "--quiet", "--duration", QString::number(seconds), folder}, &missing).isEmpty())
        return nullptr;
    std::unique_ptr<VwVideoItem> item(new VwVideoItem(
        QDir(folder).filePath(QStringLiteral("Normal/NORM260415-081502F.MP4")), false, nullptr));
    item->loadSensorInfo();
    return item;
}

void TestVwWebView::initTestCase()
{
    if (hxToolPath(QStringLiteral("make_card/make_card")).isEmpty())
        QSKIP("make_card is not built");
    QVERIFY(m_cards.isValid());
    m_item = makeDrive(m_cards.filePath(QStringLiteral("short")), 12);
    QVERIFY(m_item && m_item->sensorInfo && m_item->sensorInfo->hasGps);
    m_records = m_item->sensorInfo->gpsRecords;
    QCOMPARE(m_records.size(), 12);
    for (int second : {0, 1, 9})
        QVERIFY(!m_records.at(second).valid);

    // Never the default server: the machine may have no network, and a test
    // must not use a public tile server anyway.
    setTileSettings(QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png")
                        .arg(HxTestTileServer::closedPort()));
    m_window = WindowMain::instance();
    m_view = m_window->mapView;
    QVERIFY(m_view);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestVwWebView::engineWaitsForTheFirstShowing()
{
    // Loading and seeking with the map never shown starts no engine...
    m_view->onPlayEvent(PLAY_EVENT_LOADED, m_item.get());
    report(7);
    QVERIFY(!m_view->webHost());
    QVERIFY(!m_view->isVisible());

    // ...and the first opening shows the route and the car where playback is.
    QSignalSpy drawn(m_view, &VwWebView::routeDrawn);
    m_window->onMap();
    QVERIFY(m_view->webHost());
    QVERIFY(drawn.wait(60000));
    verifyCar(7);

    const QRect main = m_window->frameGeometry();
    const QRect screen = m_window->screen()->availableGeometry();
    if (main.right() + VwWebView::kWidth < screen.right())
        QCOMPARE(m_view->pos(), QPoint(main.right() + 1, main.top()));
}

void TestVwWebView::routeAndCar()
{
    QVERIFY(loadRecording());
    const QJsonObject state = pageState();

    // Two runs of valid records: seconds 2 to 8 and 10 to 11.
    const QJsonArray lines = state.value(QStringLiteral("lines")).toArray();
    QCOMPARE(lines.size(), 2);
    const QList<QList<int>> runs = {{2, 3, 4, 5, 6, 7, 8}, {10, 11}};
    for (int line = 0; line < 2; ++line) {
        const QJsonArray points = lines.at(line).toArray();
        QCOMPARE(points.size(), runs.at(line).size());
        for (int i = 0; i < points.size(); ++i) {
            const VwGpsRecord &record = m_records.at(runs.at(line).at(i));
            QVERIFY(qAbs(points.at(i).toArray().at(0).toDouble() - record.latitude) < 1e-6);
            QVERIFY(qAbs(points.at(i).toArray().at(1).toDouble() - record.longitude) < 1e-6);
        }
    }
    QVERIFY(state.value(QStringLiteral("inView")).toBool());
    QVERIFY(state.value(QStringLiteral("zoom")).toInt() <= 16);
    QVERIFY(state.value(QStringLiteral("car")).isNull());

    for (int second = 0; second < m_records.size(); ++second) {
        report(second);
        if (m_records.at(second).valid) {
            verifyCar(second);
        } else {
            QVERIFY2(pageState().value(QStringLiteral("car")).isNull(),
                     qPrintable(QStringLiteral("a car at second %1").arg(second)));
        }
    }
    // The end of the recording still shows its last record; past it, nothing.
    m_view->onPositionChanged(m_item->durationMs, m_item->durationMs);
    verifyCar(11);
    m_view->onPositionChanged(m_item->durationMs + 3000, m_item->durationMs);
    QVERIFY(pageState().value(QStringLiteral("car")).isNull());
}

void TestVwWebView::reloadShowsTheCarAgain()
{
    report(11);
    verifyCar(11);
    m_view->onPlayEvent(PLAY_EVENT_STOPPED, nullptr);
    QJsonObject state = pageState();
    QVERIFY(state.value(QStringLiteral("car")).isNull());
    QVERIFY(state.value(QStringLiteral("lines")).toArray().isEmpty());

    // The next recording starts where the last one ended (drives are split
    // into files): the same fix must bring the car back.
    QVERIFY(loadRecording());
    report(11);
    verifyCar(11);
}

void TestVwWebView::tiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("local server") << "server";
    QTest::newRow("closed port") << "closed";
    QTest::newRow("none") << "none";
    QTest::newRow("folder") << "folder";
}

void TestVwWebView::tiles()
{
    QFETCH(QString, kind);
    HxTestTileServer server;
    QVERIFY(server.start());
    if (kind == QLatin1String("server"))
        setTileSettings(server.tileUrl(), QStringLiteral("Test tiles <b>bold</b>"));
    else if (kind == QLatin1String("closed"))
        setTileSettings(QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png")
                            .arg(HxTestTileServer::closedPort()));
    else if (kind == QLatin1String("folder"))
        setTileSettings(QUrl::fromLocalFile(tileFolder()).toString() + QStringLiteral("/{z}/{x}/{y}.png"));
    else
        setTileSettings(QStringLiteral("none"));
    reopen();
    QVERIFY(loadRecording());
    report(5);

    if (kind == QLatin1String("server")) {
        QTRY_VERIFY_WITH_TIMEOUT(server.requestCount() > 0, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!pageState().value(QStringLiteral("note")).toBool(), 20000);
        // Shown as the text it is, never as markup.
        QVERIFY(pageState().value(QStringLiteral("attribution")).toString().contains(
            QStringLiteral("Test tiles <b>bold</b>")));
        QVERIFY2(server.lastUserAgent().startsWith(VwWebView::userAgent()),
                 qPrintable(server.lastUserAgent()));
    } else if (kind == QLatin1String("closed")) {
        QTRY_VERIFY_WITH_TIMEOUT(pageState().value(QStringLiteral("note")).toBool(), 20000);
        const QJsonObject state = pageState();
        QCOMPARE(state.value(QStringLiteral("noteText")).toString(),
                 QStringLiteral("オフライン：地図画像を取得できません"));
        QCOMPARE(state.value(QStringLiteral("lines")).toArray().size(), 2);
        QVERIFY(state.value(QStringLiteral("scale")).toBool());
        verifyCar(5);
    } else if (kind == QLatin1String("folder")) {
        QTRY_VERIFY_WITH_TIMEOUT(
            evaluate(QStringLiteral("document.querySelectorAll('.leaflet-tile-loaded').length")).toInt() > 0,
            20000);
    } else {
        const QJsonObject state = pageState();
        QVERIFY(!state.value(QStringLiteral("tiles")).toBool());
        QVERIFY(!state.value(QStringLiteral("note")).toBool());
        // Whatever the page would ask for is asked by now.
        QTest::qWait(1000);
        QCOMPARE(server.requestCount(), 0);
    }
}

void TestVwWebView::otherServersStayUnreached()
{
    HxTestTileServer allowed;
    HxTestTileServer other;
    QVERIFY(allowed.start());
    QVERIFY(other.start());
    setTileSettings(allowed.tileUrl());
    reopen();
    QTRY_VERIFY_WITH_TIMEOUT(allowed.requestCount() > 0, 20000);

    // Same host, another port: a picture, a fetch and a navigation, then a
    // request to the allowed server that comes after all three.
    const QString otherBase = QStringLiteral("http://127.0.0.1:%1").arg(other.serverPort());
    evaluate(QStringLiteral("new Image().src = '%1/1/1/1.png'; fetch('%1/data').catch(function () {});"
                            "window.location.href = '%1/page';")
                 .arg(otherBase));
    evaluate(QStringLiteral("new Image().src = 'http://127.0.0.1:%1/19/1/1.png';")
                 .arg(allowed.serverPort()));
    QTRY_VERIFY_WITH_TIMEOUT(allowed.paths().contains(QStringLiteral("/19/1/1.png")), 20000);
    QCOMPARE(other.requestCount(), 0);
    // The page is still the map.
    QCOMPARE(evaluate(QStringLiteral("map !== null && location.protocol")).toString(),
             QStringLiteral("qrc:"));
}

void TestVwWebView::buttonAndFullScreen()
{
    HxButton *button = m_window->titleBar->title_map;
    QVERIFY(m_view->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!m_view->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(m_view->isVisible());

    // Full screen hides the map and brings it back; the maximised layout keeps it.
    m_window->onFullScreen();
    QVERIFY(!m_view->isVisible());
    m_window->onFullScreen();
    QVERIFY(m_view->isVisible());
    m_window->onMaximize();
    QVERIFY(m_view->isVisible());
    m_window->onMaximize();
    QVERIFY(m_view->isVisible());
}

void TestVwWebView::renderProcessEnd()
{
    QVERIFY(loadRecording());
    report(4);
    verifyCar(4);
    const qint64 pid = m_view->webHost()->renderProcessPid();
    QVERIFY(pid > 0);
    QVERIFY(::kill(pid_t(pid), SIGKILL) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(m_view->messageLabel()->isVisible(), 20000);
    QVERIFY(!m_view->isPageLoaded());

    // The next showing loads a new page with the route and the car.
    QSignalSpy drawn(m_view, &VwWebView::routeDrawn);
    reopen();
    QVERIFY(drawn.wait(30000));
    QVERIFY(!m_view->messageLabel()->isVisible());
    QCOMPARE(pageState().value(QStringLiteral("lines")).toArray().size(), 2);
    verifyCar(4);
}

void TestVwWebView::screenshots_data()
{
    QTest::addColumn<QString>("tiles");
    QTest::addColumn<int>("language");
    QTest::newRow("map_offline_ja") << "closed" << int(VwLanguage::LANGUAGE_JAPANESE);
    QTest::newRow("map_offline_en") << "closed" << int(VwLanguage::LANGUAGE_ENGLISH);
    QTest::newRow("map_tiles_ja") << "server" << int(VwLanguage::LANGUAGE_JAPANESE);
}

void TestVwWebView::screenshots()
{
    QFETCH(QString, tiles);
    QFETCH(int, language);
    const QByteArray dir = qgetenv("HX_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("HX_SCREENSHOT_DIR is not set");
    if (!m_sampleDrive)
        m_sampleDrive = makeDrive(m_cards.filePath(QStringLiteral("sample")), 60);
    QVERIFY(m_sampleDrive);
    HxTestTileServer server;
    QVERIFY(server.start());
    if (tiles == QLatin1String("server"))
        setTileSettings(server.tileUrl(), QStringLiteral("Local test tiles"));
    else
        setTileSettings(QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png")
                            .arg(HxTestTileServer::closedPort()));
    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_TYPE(language));
    reopen();
    QVERIFY(loadRecording(m_sampleDrive.get()));
    // The car in the middle of the drive.
    m_view->onPositionChanged(m_sampleDrive->durationMs / 2 + 500, m_sampleDrive->durationMs);
    QVERIFY(pageState().value(QStringLiteral("car")).isArray());
    if (tiles == QLatin1String("server"))
        QTRY_VERIFY_WITH_TIMEOUT(server.requestCount() >= 4, 20000);
    else
        QTRY_VERIFY_WITH_TIMEOUT(pageState().value(QStringLiteral("note")).toBool(), 20000);
    // Let the page paint what it has.
    QTest::qWait(1000);

    const QImage image = m_view->grab().toImage();
    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_JAPANESE);
    QCOMPARE(image.size(), QSize(VwWebView::kWidth, VwWebView::kHeight));
    QDir output(QFile::decodeName(dir));
    QVERIFY(output.mkpath(QStringLiteral(".")));
    QVERIFY(image.save(output.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".png")));
}

namespace {
QStringList capturedWarnings;
void captureWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        capturedWarnings.append(message);
}
} // namespace

void TestVwWebView::releaseEndsCleanly()
{
    QVERIFY(m_view->webHost());
    capturedWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureWarnings);
    m_window->onCloseApplication();
    QTest::qWait(500);
    qInstallMessageHandler(previous);
    QVERIFY(!m_view->webHost());
    for (const QString &warning : qAsConst(capturedWarnings))
        QVERIFY2(!warning.contains(QLatin1String("profile"), Qt::CaseInsensitive), qPrintable(warning));
}

int main(int argc, char **argv)
{
    // The web engine draws through the window system; without one there is
    // nothing to test.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("SKIP: the map test needs an X display (run it under xvfb-run)\n");
        return 77;
    }
    HxTestSandbox sandbox;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(sandbox.home() + QStringLiteral("/.cache")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(sandbox.home() + QStringLiteral("/.local/share")));
    HxWebHost::prepareProcess();
    QApplication application(argc, argv);
    VwApp::instance()->initialize(&application);
    TestVwWebView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_vw_web_view.moc"
