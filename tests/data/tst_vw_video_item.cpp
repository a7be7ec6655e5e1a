#include "hx_test_fifo.h"
#include "mov_builder.h"
#include "vw_format_mov.h"
#include "vw_video_item.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace movtest;

namespace {

// A recording file whose movie header gives durationMs and whose telemetry
// track holds one 41-entry sample per started second.
QByteArray recordingBytes(quint32 durationMs, const char *valid = "1")
{
    TextTrack textTrack;
    for (quint32 s = 0; s < (durationMs + 999) / 1000; ++s)
        textTrack.samples.append(textSample(sampleText(41, entry(valid))));
    return movie(textTrack, 1000, durationMs);
}

} // namespace

class TestVwVideoItem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void parseRecordingName_data();
    void parseRecordingName();
    void parseRecordingDateTime_data();
    void parseRecordingDateTime();
    void recordingTypeAndTime();
    void pairKey_data();
    void pairKey();
    void timeText_data();
    void timeText();
    void durationThreshold_data();
    void durationThreshold();
    void checkRear_data();
    void checkRear();
    void texts();
    void sizeText();
    void loadSensorInfo();
    void dateTimeAt_data();
    void dateTimeAt();

private:
    QString write(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

void TestVwVideoItem::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QLoggingCategory::setFilterRules(QStringLiteral("hx.data.info=false\nhx.data.debug=false"));
}

QString TestVwVideoItem::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    file.write(bytes);
    return path;
}

void TestVwVideoItem::parseRecordingName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");

    QTest::newRow("normal") << "/card/NORM230415-081502F.MP4" << 0 << "230415-081502";
    QTest::newRow("lower case") << "norm230415-081502f.mp4" << 0 << "230415-081502";
    QTest::newRow("event rear") << "EVEN230415-081502R.MP4" << 1 << "230415-081502";
    QTest::newRow("pnor") << "PNOR230415-081502F.MP4" << 3 << "230415-081502";
    QTest::newRow("peve") << "PEVE230415-081502F.MP4" << 4 << "230415-081502";
    QTest::newRow("matches without a prefix") << "MORE230415-081502F.MP4" << 0 << "230415-081502";
    QTest::newRow("EVNO: O is not a fourth letter") << "EVNO230415-081502F.MP4" << 9999 << "";
    QTest::newRow("commas stand in the classes") << ",,,,230415-081502F.MP4" << 0
                                                 << "230415-081502";
    QTest::newRow("base name ends at the first dot") << "a.b/NORM230415-081502F.x.MP4" << 0
                                                     << "230415-081502";
    QTest::newRow("no camera letter") << "NORM230415-081502.MP4" << 9999 << "";
    QTest::newRow("camera letter X") << "NORM230415-081502X.MP4" << 9999 << "";
    QTest::newRow("longer name") << "NORM230415-081502FF.MP4" << 9999 << "";
    QTest::newRow("unknown letters") << "ABCD230415-081502F.MP4" << 9999 << "";
    QTest::newRow("empty") << "" << 9999 << "";
}

void TestVwVideoItem::parseRecordingName()
{
    QFETCH(QString, path);
    QFETCH(int, type);
    QFETCH(QString, text);

    int parsedType = -1;
    QCOMPARE(VwVideoItem::parseRecordingName(path, &parsedType), text);
    QCOMPARE(parsedType, type);
}

void TestVwVideoItem::parseRecordingDateTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected");

    QTest::newRow("plain") << "230415-081502" << QDateTime(QDate(2023, 4, 15), QTime(8, 15, 2));
    QTest::newRow("first year") << "000101-000000" << QDateTime(QDate(2000, 1, 1), QTime(0, 0));
    QTest::newRow("day overflow") << "230231-120000" << QDateTime(QDate(2023, 3, 3), QTime(12, 0));
    QTest::newRow("leap day") << "240229-120000" << QDateTime(QDate(2024, 2, 29), QTime(12, 0));
    QTest::newRow("day 0 counts as 1") << "230200-120000"
                                       << QDateTime(QDate(2023, 2, 1), QTime(12, 0));
    QTest::newRow("month 13") << "231301-000000" << QDateTime();
    QTest::newRow("no dash") << "230415081502" << QDateTime();
    QTest::newRow("empty") << "" << QDateTime();
}

void TestVwVideoItem::parseRecordingDateTime()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    const QDateTime parsed = VwVideoItem::parseRecordingDateTime(text);
    QCOMPARE(parsed.isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(parsed, expected);
}

void TestVwVideoItem::recordingTypeAndTime()
{
    const QString event = write(QStringLiteral("EVEN230231-120000F.MP4"), recordingBytes(5000));
    QDateTime dateTime;
    QCOMPARE(VwVideoItem::recordingTypeAndTime(event, &dateTime), 1);
    QCOMPARE(dateTime, QDateTime(QDate(2023, 3, 3), QTime(12, 0)));

    QCOMPARE(VwVideoItem::recordingTypeAndTime(m_dir.filePath(QStringLiteral("NORM230415-081502F.MP4"))),
             9999);
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("NORM230415-081502R.MP4")));
    QCOMPARE(VwVideoItem::recordingTypeAndTime(m_dir.filePath(QStringLiteral("NORM230415-081502R.MP4"))),
             9999);
    const QString badMonth = write(QStringLiteral("NORM231301-081502F.MP4"), recordingBytes(5000));
    QCOMPARE(VwVideoItem::recordingTypeAndTime(badMonth), 9999);
}

void TestVwVideoItem::pairKey_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("key");
    QTest::newRow("front") << "/c/NORM230415-081502F.MP4" << "NORM230415-081502";
    QTest::newRow("rear") << "/c/NORM230415-081502R.MOV" << "NORM230415-081502";
    QTest::newRow("lower-case letter kept") << "/c/norm230415-081502r.mp4" << "norm230415-081502r";
    QTest::newRow("no letter") << "/c/NORM230415-081502.MP4" << "NORM230415-081502";
}

void TestVwVideoItem::pairKey()
{
    QFETCH(QString, path);
    QFETCH(QString, key);
    QCOMPARE(VwVideoItem::pairKey(path), key);
}

void TestVwVideoItem::timeText_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "00:00";
    QTest::newRow("59.999 s") << 59999 << "00:59";
    QTest::newRow("60 s") << 60000 << "01:00";
    QTest::newRow("59:59") << 3599999 << "59:59";
    QTest::newRow("1 h 2 min 3 s") << 3723000 << "01:02:03";
    QTest::newRow("negative") << -1500 << "00:00";
}

void TestVwVideoItem::timeText()
{
    QFETCH(int, ms);
    QFETCH(QString, text);
    QCOMPARE(VwVideoItem::timeText(ms), text);
}

void TestVwVideoItem::durationThreshold_data()
{
    QTest::addColumn<quint32>("durationMs");
    QTest::addColumn<bool>("recording");
    QTest::newRow("300 ms") << 300u << false;
    QTest::newRow("301 ms") << 301u << true;
    QTest::newRow("60.5 s") << 60500u << true;
}

void TestVwVideoItem::durationThreshold()
{
    QFETCH(quint32, durationMs);
    QFETCH(bool, recording);

    const QString path = write(QStringLiteral("NORM230415-081502F.MP4"), recordingBytes(durationMs));
    const QDateTime start(QDate(2023, 4, 15), QTime(8, 15, 2));
    VwVideoItem item(path, false, &start);
    QCOMPARE(item.durationMs, durationMs);
    QCOMPARE(item.frontPath, path);
    QVERIFY(item.rearPath.isEmpty());
    QCOMPARE(item.dateTime, start);
    QCOMPARE(item.readDuration(false), recording);
}

void TestVwVideoItem::checkRear_data()
{
    QTest::addColumn<quint32>("frontMs");
    QTest::addColumn<quint32>("rearMs");
    QTest::addColumn<bool>("fromRear");
    QTest::addColumn<QString>("files");
    QTest::addColumn<quint32>("durationMs");
    QTest::newRow("shorter rear: the front's length") << 8000u << 5000u << false << "FR" << 8000u;
    QTest::newRow("rear of 300 ms: front only") << 8000u << 300u << false << "F" << 8000u;
    QTest::newRow("front met after its rear") << 8000u << 5000u << true << "FR" << 8000u;
    QTest::newRow("front of 300 ms: rear only") << 300u << 5000u << true << "R" << 5000u;
}

void TestVwVideoItem::checkRear()
{
    QFETCH(quint32, frontMs);
    QFETCH(quint32, rearMs);
    QFETCH(bool, fromRear);
    QFETCH(QString, files);
    QFETCH(quint32, durationMs);

    const QString front = write(QStringLiteral("pair/NORM230415-081502F.MP4"), recordingBytes(frontMs));
    const QString rear = write(QStringLiteral("pair/NORM230415-081502R.MP4"), recordingBytes(rearMs));
    VwVideoItem item(fromRear ? rear : front, fromRear, nullptr);
    QCOMPARE(item.durationMs, fromRear ? rearMs : frontMs);
    QCOMPARE(item.primaryPath(), fromRear ? rear : front);
    if (fromRear)
        item.frontPath = front;
    else
        item.rearPath = rear;
    QVERIFY(fromRear ? item.checkFront() : item.checkRear());
    QCOMPARE(item.frontPath, files.contains('F') ? front : QString());
    QCOMPARE(item.rearPath, files.contains('R') ? rear : QString());
    QCOMPARE(item.durationMs, durationMs);
}

void TestVwVideoItem::texts()
{
    const QString path = write(QStringLiteral("NORM230415-081502F.MP4"), recordingBytes(6000000));
    const QDateTime start(QDate(2023, 4, 15), QTime(8, 15, 2));
    VwVideoItem item(path, false, &start);
    QCOMPARE(item.displayName(), QStringLiteral("NORM230415-081502"));
    QCOMPARE(item.dateTimeText(), QStringLiteral("2023-04-15 08:15:02"));
    QCOMPARE(item.durationText(), QStringLiteral("100:00"));
    QCOMPARE(item.captureName(5000), QStringLiteral("NORM230415-081502_230415-081507"));
    QCOMPARE(item.typeLabel(), QStringLiteral("常時"));

    VwVideoItem missing(m_dir.filePath(QStringLiteral("PNOR230415-081502_X.MP4")), false, nullptr);
    QCOMPARE(missing.durationMs, 0u);
    QCOMPARE(missing.dateTimeText(), QStringLiteral("---------- --:--:--"));
    QCOMPARE(missing.typeLabel(), QStringLiteral("駐車監視"));
    QCOMPARE(missing.captureName(0).section(QLatin1Char('_'), 0, 0),
             QStringLiteral("PNOR230415-081502"));
}

void TestVwVideoItem::sizeText()
{
    const QString front = write(QStringLiteral("size/NORM230415-081502F.MP4"), QByteArray());
    const QString rear = write(QStringLiteral("size/NORM230415-081502R.MP4"), QByteArray());
    for (const QString &path : {front, rear}) {
        QFile file(path);
        QVERIFY(file.resize(700000000));
    }
    VwVideoItem item(front, false, nullptr);
    item.rearPath = rear;
    QCOMPARE(item.sizeText(), QStringLiteral("1335MB"));
    QCOMPARE(item.sizeBytes, quint64(1400000000));

    VwVideoItem frontOnly(front, false, nullptr);
    QCOMPARE(frontOnly.sizeText(), QStringLiteral("667MB"));
}

void TestVwVideoItem::loadSensorInfo()
{
    const QString path = write(QStringLiteral("NORM230415-081502F.MP4"), recordingBytes(60500));
    VwVideoItem item(path, false, nullptr);
    item.loadSensorInfo();
    QVERIFY(item.sensorInfo);
    QVERIFY(item.sensorInfo->hasGps);
    QCOMPARE(item.sensorInfo->gpsCount, 60u);
    QCOMPARE(item.sensorInfo->gCount, 2400u);
    VwSensorInfo *first = item.sensorInfo;
    item.loadSensorInfo();
    QCOMPARE(item.sensorInfo, first);

    // Telemetry is read only from MOV/MP4 files.
    const QString other = write(QStringLiteral("NORM230415-081502F.AVI"), recordingBytes(60500));
    VwVideoItem avi(other, false, nullptr);
    QCOMPARE(avi.durationMs, 0u);
    avi.loadSensorInfo();
    QVERIFY(avi.sensorInfo);
    QVERIFY(!avi.sensorInfo->hasGps);
    QCOMPARE(avi.sensorInfo->gCount, 0u);

    // Listed while it was a recording, a FIFO by the time it is read: the
    // reader neither waits for a writer nor reads from one.
    VwVideoItem swapped(path, false, nullptr);
    const HxTestFifo fifo(path);
    QVERIFY(fifo.isValid());
    swapped.readDuration(false);
    swapped.loadSensorInfo();
    QVERIFY(!fifo.rescued());
    QCOMPARE(swapped.durationMs, 60500u);
    QVERIFY(!swapped.sensorInfo->hasGps);
}

void TestVwVideoItem::dateTimeAt_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("withGps");
    QTest::addColumn<bool>("fixDate");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QDateTime>("expected");

    const QDate day(2023, 4, 15);
    // Start 08:15:02, 60.5 s long; dated fixes are 23:00:00 UTC plus the index.
    QTest::newRow("no telemetry: name time") << "MP4" << false << false << 0.5
                                             << QDateTime(day, QTime(8, 15, 32));
    QTest::newRow("GPS without dates: name time") << "MP4" << true << false << 0.5
                                                  << QDateTime(day, QTime(8, 15, 32));
    QTest::newRow("GPS without dates, MOV: no shift") << "MOV" << true << false << 0.0
                                                      << QDateTime(day, QTime(8, 15, 2));
    QTest::newRow("dated fix") << "MP4" << true << true << 0.5
                               << QDateTime(QDate(2023, 4, 14), QTime(23, 0, 30));
    QTest::newRow("dated fix, MOV: +9 h") << "MOV" << true << true << 0.5
                                          << QDateTime(day, QTime(8, 0, 30));
    QTest::newRow("ratio 1 is past the records") << "MP4" << true << true << 1.0 << QDateTime();
    QTest::newRow("negative ratio") << "MP4" << true << true << -0.1 << QDateTime();
}

void TestVwVideoItem::dateTimeAt()
{
    QFETCH(QString, suffix);
    QFETCH(bool, withGps);
    QFETCH(bool, fixDate);
    QFETCH(double, ratio);
    QFETCH(QDateTime, expected);

    const QString path = write(QStringLiteral("NORM230415-081502F.") + suffix, recordingBytes(60500));
    const QDateTime start(QDate(2023, 4, 15), QTime(8, 15, 2));
    VwVideoItem item(path, false, &start);
    if (withGps) {
        item.loadSensorInfo();
        QCOMPARE(item.sensorInfo->gpsRecords.size(), 60);
        if (fixDate) {
            for (int i = 0; i < item.sensorInfo->gpsRecords.size(); ++i) {
                VwGpsRecord &record = item.sensorInfo->gpsRecords[i];
                record.year = 2023;
                record.month = 4;
                record.day = 14;
                record.hour = 23;
                record.minute = quint8(i / 60);
                record.second = quint8(i % 60);
            }
        }
    }
    const QDateTime at = item.dateTimeAt(ratio);
    QCOMPARE(at.isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(at, expected);
}

QTEST_GUILESS_MAIN(TestVwVideoItem)
#include "tst_vw_video_item.moc"
