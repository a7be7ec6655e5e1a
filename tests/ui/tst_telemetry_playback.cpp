#include "hx_button.h"
#include "hx_frame_gps.h"
#include "hx_speed_frame.h"
#include "hx_speed_widget.h"
#include "hx_test_files.h"
#include "hx_test_viewer.h"
#include "vw_app.h"
#include "vw_format_mov.h"
#include "vw_frame_graph.h"
#include "vw_frame_left.h"
#include "vw_frame_right.h"
#include "vw_graph_widget.h"
#include "vw_language.h"
#include "vw_play_process.h"
#include "vw_player.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"
#include "window_main.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

// Plays recordings of a generated card through the program's player with the
// telemetry views of the main window, checks what they show at paused
// positions and saves the window in Japanese and English for a reviewer.
class TestTelemetryPlayback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void mainDrivePaused();
    void eventImpact();

private:
    VwVideoItem *recording(const QString &name) const;
    bool play(VwVideoItem *item);
    // Pauses (once) and seeks; the position the player reports back.
    qint64 pausedSeek(qint64 position);
    void screenshots(const QString &name);

    QTemporaryDir m_dir;
    QString m_screenshotDir;
    WindowMain *m_window = nullptr;
    VwFrameGraph *m_graphPanel = nullptr;
    HxFrameGPS *m_gps = nullptr;
};

void TestTelemetryPlayback::initTestCase()
{
    QVERIFY(m_dir.isValid());
    HX_MAKE_CARD({"--small", "--duration", "12", "--quiet", m_dir.filePath(QStringLiteral("card"))});

    m_screenshotDir = QFile::decodeName(qgetenv("HX_SCREENSHOT_DIR"));
    m_window = WindowMain::instance();
    m_graphPanel = m_window->frameLeft->graphPanel;
    m_gps = m_window->frameRight->gpsPanel;
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestTelemetryPlayback::cleanupTestCase()
{
    if (m_window)
        VwPlayer::instance()->onUserStop();
}

VwVideoItem *TestTelemetryPlayback::recording(const QString &name) const
{
    for (const VwVideoItemPtr &item : VwVideoFileList::instance()->allItems()) {
        if (item->frontPath.contains(name))
            return item.data();
    }
    return nullptr;
}

bool TestTelemetryPlayback::play(VwVideoItem *item)
{
    // As a double-click does it: the list may have started its first
    // recording already, and the play process stops that one first.
    return hxRunUntil(VwPlayer::instance(), [item] { VwPlayProcess::instance()->onVideoLoadingStart(item); },
                      PLAY_EVENT_LOADED, item);
}

qint64 TestTelemetryPlayback::pausedSeek(qint64 position)
{
    VwPlayer *player = VwPlayer::instance();
    if (!player->isPaused()) {
        player->onPlayOrPause();
        if (!QTest::qWaitFor([player] { return player->isPaused(); }, 5000))
            return -1;
    }
    QSignalSpy reports(player, &VwPlayerBase::positionChanged);
    player->onSliderMove(int(position));
    // A report near the target: the paused player lands on the key frame
    // at or before it, one second apart at most.
    const auto landed = [&] {
        return !reports.isEmpty() && std::abs(reports.last().at(0).toLongLong() - position) < 1000;
    };
    if (!QTest::qWaitFor(landed, 10000))
        return -1;
    QTest::qWait(100);
    return reports.last().at(0).toLongLong();
}

void TestTelemetryPlayback::screenshots(const QString &name)
{
    if (m_screenshotDir.isEmpty())
        return;
    QDir().mkpath(m_screenshotDir);
    for (int language : {1, 2}) {
        VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_TYPE(language));
        QCoreApplication::processEvents();
        const QString file =
            QStringLiteral("%1/%2_%3.png").arg(m_screenshotDir, name, language == 1 ? "ja" : "en");
        QVERIFY(m_window->grab().save(file));
        qInfo("%s", qPrintable(file));
    }
    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_JAPANESE);
}

void TestTelemetryPlayback::mainDrivePaused()
{
    QVERIFY(hxListFolder(m_dir.filePath(QStringLiteral("card"))));
    VwVideoItem *drive = recording(QStringLiteral("NORM260415-081502F"));
    QVERIFY(drive);
    QVERIFY(play(drive));
    QVERIFY(drive->sensorInfo && drive->sensorInfo->hasGps);
    const QVector<VwGpsRecord> records = drive->sensorInfo->gpsRecords;
    QCOMPARE(records.size(), 12);
    HxSpeedWidget *speed = m_graphPanel->speedFrame->speedWidget;

    // Seconds 2 to 8 have a fix, second 0 has none. A paused seek near the
    // position shown reports nothing, so the seeks go far apart.
    const qint64 atFix = pausedSeek(4500);
    const qint64 index = VwSensorInfo::recordIndex(atFix, drive->durationMs, records.size());
    QVERIFY(index >= 2 && index < 9);
    const VwGpsRecord &record = records.at(int(index));
    QVERIFY(record.valid && record.speed > 0);
    QCOMPARE(m_gps->latitudeLabel->text(), QString::asprintf("%.06f", record.latitude));
    QCOMPARE(m_gps->longitudeLabel->text(), QString::asprintf("%.06f", record.longitude));
    QCOMPARE(speed->speedValue(), int(record.speed));

    QVERIFY(pausedSeek(500) >= 0);
    QCOMPARE(m_gps->latitudeLabel->text() + m_gps->longitudeLabel->text(),
             QStringLiteral("--.--------.------"));
    QCOMPARE(speed->speedValue(), -1);
    QCOMPARE(pausedSeek(4500), atFix);
    screenshots(QStringLiteral("telemetry_main_drive_paused"));
}

void TestTelemetryPlayback::eventImpact()
{
    VwVideoItem *event = recording(QStringLiteral("EVEN260415-081630F"));
    QVERIFY(event);
    QVERIFY(play(event));
    VwGraphWidget *graph = m_graphPanel->graph;
    QCOMPARE(graph->zoom(), 4);

    // The impact of 1.5 g is clamped to 1 g, a quarter of the height from
    // the top at zoom 4; it starts at 6 s of 12.
    const QPolygonF &line = graph->xLine();
    QVERIFY(!line.isEmpty());
    const double clamp = graph->height() / 4.0;
    const auto hit = std::find_if(line.cbegin(), line.cend(), [clamp](const QPointF &point) {
        return std::abs(point.y() - clamp) < 0.01;
    });
    QVERIFY(hit != line.cend());
    const double fraction = hit->x() / graph->width();
    QVERIFY2(fraction >= 0.499 && fraction < 0.5 + 0.3 / 12, qPrintable(QString::number(fraction)));

    // A paused seek lands on the key frame of second 6; the readings of the
    // knock follow it by a few frames, where a playing player would report.
    QVERIFY(pausedSeek(6100) >= 0);
    const qint64 atImpact = 6200;
    Q_EMIT VwPlayer::instance()->positionChanged(atImpact, event->durationMs);
    QCOMPARE(m_graphPanel->labelX->text(), QStringLiteral(" 1.00"));
    QCOMPARE(graph->cursorX(), int(graph->width() * atImpact / event->durationMs));
    m_graphPanel->zoomIn->click();
    m_graphPanel->zoomIn->click();
    QCOMPARE(graph->zoom(), 1);
    screenshots(QStringLiteral("telemetry_event_impact_zoom1"));
}

HX_TEST_VIEWER_MAIN(TestTelemetryPlayback)

#include "tst_telemetry_playback.moc"
