#include "mov_builder.h"
#include "vw_format_mov.h"

#include <QTemporaryDir>
#include <QtTest>

#include <limits>

#include <cmath>

using namespace movtest;

Q_DECLARE_METATYPE(movtest::TextTrack)

namespace {

// Runs the reader on bytes written to a real file, as the program does.
class MovieFile
{
public:
    explicit MovieFile(const QByteArray &bytes)
    {
        m_path = m_dir.filePath(QStringLiteral("movie.mp4"));
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

    FILE *open() { return std::fopen(QFile::encodeName(m_path).constData(), "rb"); }
    QString path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

MOVFormat::durationRecord readDuration(const QByteArray &bytes)
{
    MovieFile movie(bytes);
    FILE *file = movie.open();
    MOVFormat::durationRecord record;
    MOVFormat::readMovieDuration(file, &record);
    std::fclose(file);
    return record;
}

struct Telemetry
{
    QList<QByteArray> texts;
    int entriesPerSampleMinusOne = -1;
    int gpsRecords = 0;
    int gSamples = 0;
};

Telemetry readTelemetry(const QByteArray &bytes)
{
    MovieFile movie(bytes);
    FILE *file = movie.open();
    Telemetry result;
    MOVFormat reader(file, MOVFormat::MODE_TELEMETRY, nullptr, &result.texts);
    std::fclose(file);
    result.entriesPerSampleMinusOne = reader.entriesPerSampleMinusOne;
    result.gpsRecords = reader.gpsRecords.size();
    result.gSamples = reader.gSamples.size();
    return result;
}

VwSensorInfo sensorInfo(const QByteArray &bytes)
{
    MovieFile movie(bytes);
    FILE *file = movie.open();
    VwSensorInfo info(file, VwSensorInfo::KIND_MOV);
    std::fclose(file);
    return info;
}

TextTrack track(const QList<QByteArray> &texts)
{
    TextTrack result;
    for (const QByteArray &text : texts)
        result.samples.append(textSample(text));
    return result;
}

QList<QByteArray> repeated(const QByteArray &text, int count)
{
    QList<QByteArray> list;
    for (int i = 0; i < count; ++i)
        list.append(text);
    return list;
}

} // namespace

class TestMovFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void movieDuration_data();
    void movieDuration();
    void readings_data();
    void readings();
    void firstEntryGivesTheGpsRecord();
    void sampleLayout_data();
    void sampleLayout();
    void holderWithoutValidFix();
    void fitToDuration_data();
    void fitToDuration();
    void recordIndex_data();
    void recordIndex();
    void textEndsAtItsLength_data();
    void textEndsAtItsLength();
    void trackSelection_data();
    void trackSelection();
    void untrustedSizes_data();
    void untrustedSizes();
    void zeroSizedAtomEndsItsLevel();
    void tablesLongerThanTheMovie_data();
    void tablesLongerThanTheMovie();
};

void TestMovFormat::initTestCase()
{
    // The reader reports every rejected sample at info level; the cases
    // below produce many on purpose.
    QLoggingCategory::setFilterRules(QStringLiteral("hx.data.info=false\nhx.data.debug=false"));
}

void TestMovFormat::movieDuration_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("found");
    QTest::addColumn<quint32>("durationMs");

    QTest::newRow("time scale 1000") << ftyp() + atom("moov", mvhd(1000, 60500)) << true << 60500u;
    QTest::newRow("time scale 90000 truncates")
        << ftyp() + atom("moov", mvhd(90000, 90000 * 2 + 89)) << true << 2000u;
    QTest::newRow("time scale 0") << ftyp() + atom("moov", mvhd(0, 60500)) << true << 0u;
    QTest::newRow("version 1 header")
        << ftyp() + atom("moov", mvhdVersion1(600, 600 * 61)) << true << 61000u;
    QTest::newRow("overlong duration saturates")
        << ftyp() + atom("moov", mvhdVersion1(1, quint64(1) << 40)) << true << 0xFFFFFFFFu;
    QTest::newRow("64-bit mdat before moov")
        << ftyp() + wideAtom("mdat", QByteArray(5000, 'v')) + atom("moov", mvhd(1000, 4321))
        << true << 4321u;
    QTest::newRow("64-bit moov and mvhd")
        << ftyp() + wideAtom("moov", wideAtom("mvhd", mvhd(1000, 7000).mid(8))) << true << 7000u;
    QTest::newRow("mvhd after other children")
        << ftyp() + atom("moov", atom("udta", QByteArray(20, 'u')) + mvhd(1000, 1234)) << true
        << 1234u;
    QTest::newRow("no moov") << ftyp() + atom("mdat", QByteArray(100, 'v')) << false << 0u;
    QTest::newRow("mvhd cut short")
        << ftyp() + atom("moov", atom("mvhd", QByteArray(12, '\0'))) << false << 0u;
    QTest::newRow("empty file") << QByteArray() << false << 0u;
}

void TestMovFormat::movieDuration()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, found);
    QFETCH(quint32, durationMs);

    const MOVFormat::durationRecord record = readDuration(bytes);
    QCOMPARE(record.found == 1, found);
    QCOMPARE(record.durationMs, durationMs);
}

void TestMovFormat::readings_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<QByteArray>("a5");
    QTest::addColumn<QByteArray>("a6");
    QTest::addColumn<QByteArray>("a7");
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<float>("z");

    // 41 entries: x = A6, y = A7, z = A5; 11 entries: x = A5, y = A7, z = A6.
    QTest::newRow("41: example") << 41 << QByteArray("10") << QByteArray("00") << QByteArray("F0")
                                 << 0.0f << -1.0f << 1.0f;
    QTest::newRow("11: axis order") << 11 << QByteArray("08") << QByteArray("F8") << QByteArray("04")
                                    << 0.5f << 0.25f << -0.5f;
    QTest::newRow("20 is -14 g, clamped") << 41 << QByteArray("20") << QByteArray("20")
                                          << QByteArray("20") << -1.0f << -1.0f << -1.0f;
    QTest::newRow("1F is 1.9375 g, clamped") << 41 << QByteArray("1F") << QByteArray("1f")
                                             << QByteArray("1F") << 1.0f << 1.0f << 1.0f;
    QTest::newRow("FF is one step below 0") << 41 << QByteArray("00") << QByteArray("FF")
                                            << QByteArray("01") << -0.0625f << 0.0625f << 0.0f;
    QTest::newRow("unparsable is 0") << 11 << QByteArray("zz") << QByteArray("") << QByteArray("1G")
                                     << 0.0f << 0.0f << 0.0f;
}

void TestMovFormat::readings()
{
    QFETCH(int, entries);
    QFETCH(QByteArray, a5);
    QFETCH(QByteArray, a6);
    QFETCH(QByteArray, a7);
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(float, z);

    const QByteArray first =
        entry("1", "139.7453", "35.6585", "42", a5.constData(), a6.constData(), a7.constData());
    const VwSensorInfo info = sensorInfo(movie(track({sampleText(entries, first)})));
    QVERIFY(!info.gSamples.isEmpty());
    QCOMPARE(info.gSamples.first().x, x);
    QCOMPARE(info.gSamples.first().y, y);
    QCOMPARE(info.gSamples.first().z, z);
}

void TestMovFormat::firstEntryGivesTheGpsRecord()
{
    const QByteArray last = entry("0", "130.0", "33.0", "7");
    QByteArray text = sampleText(40, entry("1", "139.7453", "35.6585", "42")) + ',' + last;
    const VwSensorInfo info = sensorInfo(movie(track({text})));

    QVERIFY(info.hasGps);
    QCOMPARE(info.gpsRecords.size(), 1);
    const VwGpsRecord &record = info.gpsRecords.first();
    QCOMPARE(record.latitude, double(35.6585f));
    QCOMPARE(record.longitude, double(139.7453f));
    QCOMPARE(record.speed, 42.0);
    QVERIFY(record.valid);
    QCOMPARE(record.year, quint16(0));
}

void TestMovFormat::sampleLayout_data()
{
    QTest::addColumn<QList<QByteArray>>("texts");
    QTest::addColumn<int>("gPerSecond");
    QTest::addColumn<int>("gpsRecords");
    QTest::addColumn<int>("gSamples");

    const QByteArray wide = sampleText(41);
    const QByteArray narrow = sampleText(11);
    // One GPS record and entries - 1 readings per second: the last entry
    // is the first reading of the next second.
    QTest::newRow("41 entries") << repeated(wide, 3) << 40 << 3 << 120;
    QTest::newRow("11 entries") << repeated(narrow, 3) << 10 << 3 << 30;
    QTest::newRow("11 first: later 41-entry samples give 10")
        << QList<QByteArray>{narrow, wide, wide} << 10 << 3 << 30;
    QTest::newRow("41 first: later 11-entry samples give 10 each")
        << QList<QByteArray>{wide, narrow} << 40 << 2 << 50;
    QTest::newRow("other entry counts are ignored")
        << QList<QByteArray>{sampleText(12), wide, sampleText(40)} << 11 << 1 << 11;
    QTest::newRow("a one-entry sample does not fix the rate")
        << QList<QByteArray>{QByteArray("garbage"), wide} << 40 << 1 << 40;
    QTest::newRow("entries without 8 fields are skipped")
        << QList<QByteArray>{sampleText(41, "x/1/2/3"), sampleText(41, entry(), "a/b")} << 40 << 1
        << 39 + 1;
    QTest::newRow("empty track") << QList<QByteArray>{} << -1 << 0 << 0;
}

void TestMovFormat::sampleLayout()
{
    QFETCH(QList<QByteArray>, texts);
    QFETCH(int, gPerSecond);
    QFETCH(int, gpsRecords);
    QFETCH(int, gSamples);

    const Telemetry telemetry = readTelemetry(movie(track(texts)));
    QCOMPARE(telemetry.texts, texts);
    QCOMPARE(telemetry.entriesPerSampleMinusOne, gPerSecond);
    QCOMPARE(telemetry.gpsRecords, gpsRecords);
    QCOMPARE(telemetry.gSamples, gSamples);
}

void TestMovFormat::holderWithoutValidFix()
{
    const QByteArray noFix = sampleText(41, entry("0"), entry("0"));
    const VwSensorInfo info = sensorInfo(movie(track(repeated(noFix, 5))));
    QVERIFY(!info.hasGps);
    QVERIFY(info.gpsRecords.isEmpty());
    QCOMPARE(info.gpsCount, 0u);
    QCOMPARE(info.gCount, 200u);
    QCOMPARE(info.gPerSecond, 40);

    // Not a MOV/MP4 file: nothing is read.
    MovieFile file(movie(track(repeated(sampleText(41), 2))));
    FILE *handle = file.open();
    const VwSensorInfo other(handle, VwSensorInfo::KIND_OTHER);
    std::fclose(handle);
    QVERIFY(!other.hasGps);
    QCOMPARE(other.gCount, 0u);
    QCOMPARE(other.gPerSecond, -1);
}

void TestMovFormat::fitToDuration_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("samples");
    QTest::addColumn<qint64>("durationMs");
    QTest::addColumn<int>("gpsRecords");
    QTest::addColumn<int>("gSamples");

    QTest::newRow("60.5 s, 61 samples") << 41 << 61 << qint64(60500) << 60 << 2400;
    QTest::newRow("60.5 s, 50 samples padded") << 41 << 50 << qint64(60500) << 60 << 2400;
    QTest::newRow("60.5 s, 11 entries") << 11 << 70 << qint64(60500) << 60 << 600;
    QTest::newRow("under a second") << 41 << 3 << qint64(999) << 0 << 0;
    QTest::newRow("negative duration") << 41 << 3 << qint64(-5000) << 0 << 0;
    QTest::newRow("damaged header: padding is bounded")
        << 41 << 2 << qint64(0xFFFFFFFFll) << int(VwSensorInfo::kMaxFitSeconds)
        << int(VwSensorInfo::kMaxFitSeconds) * 40;
}

void TestMovFormat::fitToDuration()
{
    QFETCH(int, entries);
    QFETCH(int, samples);
    QFETCH(qint64, durationMs);
    QFETCH(int, gpsRecords);
    QFETCH(int, gSamples);

    VwSensorInfo info = sensorInfo(movie(track(repeated(sampleText(entries), samples))));
    info.fitToDuration(durationMs);
    QCOMPARE(info.gpsRecords.size(), gpsRecords);
    QCOMPARE(int(info.gpsCount), gpsRecords);
    QCOMPARE(info.gSamples.size(), gSamples);
    QCOMPARE(int(info.gCount), gSamples);
    QCOMPARE(info.hasGps, gpsRecords > 0);
    if (gpsRecords > samples) {
        // Padding is zero: no fix, no position.
        QVERIFY(!info.gpsRecords.last().valid);
        QCOMPARE(info.gpsRecords.last().latitude, 0.0);
        QCOMPARE(info.gSamples.last().z, 0.0f);
    }
}

void TestMovFormat::recordIndex_data()
{
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<qint64>("index");

    QTest::newRow("start") << qint64(0) << qint64(12000) << qint64(12) << qint64(0);
    QTest::newRow("just before a second") << qint64(6999) << qint64(12000) << qint64(12) << qint64(6);
    QTest::newRow("on a second") << qint64(7000) << qint64(12000) << qint64(12) << qint64(7);
    QTest::newRow("readings") << qint64(1500) << qint64(60000) << qint64(2400) << qint64(60);
    QTest::newRow("at the end") << qint64(12000) << qint64(12000) << qint64(12) << qint64(12);
    QTest::newRow("past the end") << qint64(30000) << qint64(12000) << qint64(12) << qint64(30);
    QTest::newRow("negative position") << qint64(-500) << qint64(12000) << qint64(12) << qint64(0);
    QTest::newRow("no records") << qint64(5000) << qint64(12000) << qint64(0) << qint64(0);
    QTest::newRow("zero duration") << qint64(5000) << qint64(0) << qint64(12) << qint64(-1);
    QTest::newRow("negative duration") << qint64(5000) << qint64(-1) << qint64(12) << qint64(-1);
    QTest::newRow("huge position does not overflow")
        << std::numeric_limits<qint64>::max() << qint64(1) << qint64(86400)
        << std::numeric_limits<qint64>::max() / 2;
}

void TestMovFormat::recordIndex()
{
    QFETCH(qint64, position);
    QFETCH(qint64, duration);
    QFETCH(qint64, count);
    QFETCH(qint64, index);
    QCOMPARE(VwSensorInfo::recordIndex(position, duration, count), index);
}

void TestMovFormat::textEndsAtItsLength_data()
{
    QTest::addColumn<QByteArray>("sample");
    QTest::addColumn<QByteArray>("filler");
    QTest::addColumn<QByteArray>("text");

    const QByteArray text = sampleText(11);
    QTest::newRow("length given, video bytes follow")
        << textSample(text) << QByteArray(300, 'V') << text;
    QTest::newRow("zero length, zero-terminated")
        << be16(0) + text + QByteArray(1, '\0') << QByteArray(300, 'V') << text;
    QTest::newRow("length beyond the text, zero-terminated")
        << be16(4000) + text + QByteArray(1, '\0') << QByteArray(300, 'V') << text;
    QTest::newRow("padded sample") << textSample(text) + QByteArray(2048, '\0') << QByteArray()
                                   << text;
}

// ffmpeg and other writers fill in the 16-bit length and do not terminate
// the text, so reading to the first zero would take in the bytes after it.
void TestMovFormat::textEndsAtItsLength()
{
    QFETCH(QByteArray, sample);
    QFETCH(QByteArray, filler);
    QFETCH(QByteArray, text);

    TextTrack textTrack;
    textTrack.samples = {sample, sample};
    textTrack.filler = filler;
    const Telemetry telemetry = readTelemetry(movie(textTrack));
    QCOMPARE(telemetry.texts, (QList<QByteArray>{text, text}));
    QCOMPARE(telemetry.gpsRecords, 2);
    QCOMPARE(telemetry.gSamples, 20);
}

void TestMovFormat::trackSelection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("gpsRecords");

    TextTrack good = track(repeated(sampleText(41), 4));
    QTest::newRow("after a video track")
        << movie(good, 1000, 4000, trak(atom("stbl", stsd("avc1")))) << 4;

    TextTrack late = good;
    late.stsdFirst = false;
    QTest::newRow("stsd not the first child of stbl") << movie(late) << 4;

    TextTrack quickTimeText = good;
    quickTimeText.format = "text";
    QTest::newRow("QuickTime text track is not telemetry") << movie(quickTimeText) << 0;

    TextTrack constant = good;
    constant.constantSize = true;
    QTest::newRow("constant sample size") << movie(constant) << 4;

    // The first tx3g track wins, even when a later one holds more.
    const QByteArray firstTrak = trak(textStbl(track(repeated(sampleText(41), 2)), 0));
    QTest::newRow("first tx3g track") << movie(good, 1000, 4000, firstTrak) << 0;
}

void TestMovFormat::trackSelection()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, gpsRecords);
    QCOMPARE(readTelemetry(bytes).gpsRecords, gpsRecords);
}

void TestMovFormat::untrustedSizes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("gpsRecords");
    QTest::addColumn<bool>("durationFound");

    const TextTrack good = track(repeated(sampleText(41), 3));
    const QByteArray sound = movie(good);

    TextTrack countHuge = good;
    countHuge.stszCount = 0xFFFFFFFFu;
    QTest::newRow("sample count 0xFFFFFFFF") << movie(countHuge) << 3 << true;

    TextTrack constantHuge = good;
    constantHuge.constantSize = true;
    constantHuge.stszCount = 0xFFFFFFFFu;
    QTest::newRow("constant count 0xFFFFFFFF") << movie(constantHuge) << 3 << true;

    TextTrack sizeHuge = good;
    sizeHuge.constantSize = true;
    sizeHuge.stszSize = 0xFFFFFFFFu;
    QTest::newRow("sample size 4 GB") << movie(sizeHuge) << 3 << true;

    TextTrack chunksHuge = good;
    chunksHuge.stcoCount = 0xFFFFFFFFu;
    QTest::newRow("chunk count 0xFFFFFFFF") << movie(chunksHuge) << 3 << true;

    TextTrack offsetPastEnd = good;
    offsetPastEnd.firstChunkOffset = 0xFFFFFFF0u;
    QTest::newRow("chunk offset past the end") << movie(offsetPastEnd) << 2 << true;

    QByteArray tiny = sound;
    tiny.replace(tiny.indexOf("moov") - 4, 4, be32(4));
    QTest::newRow("atom smaller than its header") << tiny << 0 << false;

    QByteArray widePastEnd = ftyp() + be32(1) + QByteArray("moov") + be64(quint64(1) << 40)
        + mvhd(1000, 5000);
    QTest::newRow("64-bit size past the end") << widePastEnd << 0 << false;

    QByteArray wideLow32 = ftyp() + be32(1) + QByteArray("free") + be64((quint64(1) << 32) + 16)
        + atom("moov", mvhd(1000, 5000));
    QTest::newRow("64-bit size is not cut to 32 bits") << wideLow32 << 0 << false;

    QByteArray childOverrun = sound;
    const int stbl = childOverrun.indexOf("stbl") - 4;
    childOverrun.replace(stbl, 4, be32(quint32(childOverrun.size())));
    QTest::newRow("child overruns its parent") << childOverrun << 0 << true;

    QByteArray truncated = sound.left(sound.size() - 40);
    QTest::newRow("cut inside moov") << truncated << 0 << false;

    QByteArray deep = ftyp() + atom("moov", atom("moov", atom("moov", mvhd(1000, 1))));
    QTest::newRow("nesting deeper than the path") << deep << 0 << false;
}

void TestMovFormat::untrustedSizes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, gpsRecords);
    QFETCH(bool, durationFound);

    const Telemetry telemetry = readTelemetry(bytes);
    QCOMPARE(telemetry.gpsRecords, gpsRecords);
    QVERIFY(telemetry.gSamples <= 40 * qMax(1, gpsRecords));
    QCOMPARE(readDuration(bytes).found == 1, durationFound);
}

void TestMovFormat::zeroSizedAtomEndsItsLevel()
{
    QLoggingCategory::setFilterRules(QStringLiteral("hx.data.info=true"));
    QTest::ignoreMessage(QtInfoMsg, "ZERO ATOM: \"free\"");
    const QByteArray bytes = ftyp() + be32(0) + QByteArray("free") + atom("moov", mvhd(1000, 5000));
    QCOMPARE(readDuration(bytes).found, 0u);
    QLoggingCategory::setFilterRules(QStringLiteral("hx.data.info=false"));
}

void TestMovFormat::tablesLongerThanTheMovie_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<bool>("constantSize");
    QTest::addColumn<bool>("movieHeader");
    QTest::addColumn<int>("gpsRecords");

    QTest::newRow("a million offsets of one sample") << 1000000 << true << true << 10;
    QTest::newRow("a million sizes and offsets") << 1000000 << false << true << 10;
    QTest::newRow("no movie header: a day at most")
        << 100000 << true << false << int(VwSensorInfo::kMaxFitSeconds);
}

// Every table entry points at the same 41-entry sample of a 9.5 s movie: what
// is read and kept follows the movie's length, not the tables'.
void TestMovFormat::tablesLongerThanTheMovie()
{
    QFETCH(int, entries);
    QFETCH(bool, constantSize);
    QFETCH(bool, movieHeader);
    QFETCH(int, gpsRecords);

    const QByteArray sample = textSample(sampleText(41));
    const QByteArray head = ftyp() + atom("mdat", sample);
    const QByteArray offset = be32(quint32(head.size() - sample.size()));
    const QByteArray size = be32(quint32(sample.size()));
    QByteArray offsets;
    QByteArray sizes;
    for (int i = 0; i < entries; ++i) {
        offsets += offset;
        if (!constantSize)
            sizes += size;
    }
    const QByteArray stsz = fullAtom("stsz", 0, (constantSize ? size : be32(0)) + be32(quint32(entries)) + sizes);
    const QByteArray stbl = atom("stbl", stsd("tx3g") + stsz + fullAtom("stco", 0, be32(quint32(entries)) + offsets));
    MovieFile movie(head + atom("moov", (movieHeader ? mvhd(1000, 9500) : QByteArray()) + trak(stbl)));

    FILE *file = movie.open();
    const MOVFormat reader(file, MOVFormat::MODE_TELEMETRY);
    std::fclose(file);
    QCOMPARE(reader.gpsRecords.size(), gpsRecords);
    QCOMPARE(reader.gSamples.size(), gpsRecords * 40);
    QVERIFY(reader.headerBytesRead < quint64(gpsRecords) * 8 + 4096);
    QVERIFY(reader.sampleBytesRead <= quint64(gpsRecords) * 2048);
}

QTEST_GUILESS_MAIN(TestMovFormat)
#include "tst_mov_format.moc"
