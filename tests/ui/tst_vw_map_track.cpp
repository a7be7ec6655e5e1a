#include "vw_map_track.h"

#include <QTest>

Q_DECLARE_METATYPE(QVector<VwGpsRecord>)

namespace {
VwGpsRecord fix(double latitude, double longitude, bool valid = true, double speed = 40.0)
{
    VwGpsRecord record;
    record.latitude = latitude;
    record.longitude = longitude;
    record.valid = valid;
    record.speed = speed;
    return record;
}

VwSensorInfo telemetry(const QVector<VwGpsRecord> &records)
{
    VwSensorInfo info;
    info.hasGps = true;
    info.gpsRecords = records;
    info.gpsCount = quint32(records.size());
    return info;
}
} // namespace

// The scripts the map page gets: the exact route text, and which position
// reports move or clear the car.
class TestVwMapTrack : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void drawPaths_data();
    void drawPaths();
    void positionReports();
    void recordingWithoutFix();
};

void TestVwMapTrack::drawPaths_data()
{
    QTest::addColumn<QVector<VwGpsRecord>>("records");
    QTest::addColumn<QString>("script");

    QTest::newRow("gap splits the route")
        << QVector<VwGpsRecord>{fix(35.5, 139.25), fix(35.500001, 139.250002),
                                fix(35.6, 139.3, false), fix(35.7, 139.4), fix(35.8, 139.5)}
        << "drawPaths([[{lat:35.500000, lng:139.250000},{lat:35.500001, lng:139.250002}],"
           "[{lat:35.700000, lng:139.400000},{lat:35.800000, lng:139.500000}]]);";
    QTest::newRow("lone point between gaps")
        << QVector<VwGpsRecord>{fix(0, 0, false), fix(35.1234564, 139.9876546), fix(0, 0, false)}
        << "drawPaths([[{lat:35.123456, lng:139.987655}]]);";
    // The box bounds are exclusive; a lost fix reads 0/0 with the flag set.
    QTest::newRow("outside the box")
        << QVector<VwGpsRecord>{fix(46.0, 139.0), fix(35.0, 150.0), fix(20.0, 139.0),
                                fix(35.0, 120.0), fix(0.0, 0.0)}
        << "drawPaths([]);";
}

void TestVwMapTrack::drawPaths()
{
    QFETCH(QVector<VwGpsRecord>, records);
    QFETCH(QString, script);
    QCOMPARE(VwMapTrack::drawPathsScript(records), script);
}

void TestVwMapTrack::positionReports()
{
    // Four records over four seconds; the third has no fix.
    const VwSensorInfo info = telemetry(
        {fix(35.1, 139.1), fix(35.1, 139.1), fix(35.2, 139.2, false), fix(35.3, 139.3)});
    const QString moveFirst = QStringLiteral("moveToMap(35.100000,139.100000);");
    const QString moveLast = QStringLiteral("moveToMap(35.300000,139.300000);");
    VwMapTrack track;
    QCOMPARE(track.load(&info), VwMapTrack::drawPathsScript(info.gpsRecords));

    struct Step
    {
        qint64 position;
        qint64 duration;
        QString script;
    };
    const QList<Step> steps = {
        {500, 4000, moveFirst},
        {1500, 4000, QString()}, // the same fix again
        {2500, 4000, VwMapTrack::clearCarScript()},
        {2700, 4000, QString()}, // the car is already gone
        {3500, 4000, moveLast},
        {4000, 4000, QString()}, // the end still stands on the last record
        {6000, 4000, VwMapTrack::clearCarScript()}, // past the end
        {3500, 4000, moveLast},
        {3500, 0, VwMapTrack::clearCarScript()}, // no duration, no position
    };
    for (const Step &step : steps)
        QCOMPARE(track.scriptForPosition(step.position, step.duration), step.script);

    // A new page gets the route and the car of the last report.
    track.scriptForPosition(500, 4000);
    QCOMPARE(track.restoreScripts(), QStringList({VwMapTrack::drawPathsScript(info.gpsRecords),
                                                  moveFirst}));

    QCOMPARE(track.unload(), VwMapTrack::clearPathScript());
    QCOMPARE(track.scriptForPosition(500, 4000), QString());
}

void TestVwMapTrack::recordingWithoutFix()
{
    VwMapTrack track;
    const VwSensorInfo empty = telemetry({});
    QCOMPARE(track.load(&empty), VwMapTrack::clearPathScript());
    QCOMPARE(track.load(nullptr), VwMapTrack::clearPathScript());
    QVERIFY(!track.hasTelemetry());
    QCOMPARE(track.scriptForPosition(500, 4000), QString());
    QVERIFY(track.restoreScripts().isEmpty());
}

QTEST_GUILESS_MAIN(TestVwMapTrack)
#include "tst_vw_map_track.moc"
