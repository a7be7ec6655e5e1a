#include "hx_test_files.h"
#include "hx_test_sandbox.h"
#include "vw_format_mov.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

// Checks the reader against ffmpeg's own demuxer on a card written by
// make_card: the movie duration against ffprobe and the text of every
// telemetry sample against ffmpeg's subtitle extraction. Also checks the
// frame code that make_card burns into the pictures, which later tests read.
class TestMovOracle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void duration_data();
    void duration();
    void sampleTexts_data();
    void sampleTexts();
    void frameCode_data();
    void frameCode();

private:
    void addFileRows();
    QByteArray run(const QString &program, const QStringList &arguments, bool *ok);

    QTemporaryDir m_dir;
    QString m_card;
};

QByteArray TestMovOracle::run(const QString &program, const QStringList &arguments, bool *ok)
{
    QProcess process;
    process.start(program, arguments);
    *ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

void TestMovOracle::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("hx.data.info=false\nhx.data.debug=false"));
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
        QSKIP("ffmpeg and ffprobe are needed to check the reader against them");
    QVERIFY(m_dir.isValid());
    m_card = m_dir.filePath(QStringLiteral("card"));
    HX_MAKE_CARD({"--small", "--quiet", m_card});
}

// One file of each kind that the card holds; starting ffprobe costs more
// than reading a file, so the copies of a kind are left out.
void TestMovOracle::addFileRows()
{
    QTest::addColumn<QString>("path");
    const QStringList files = {
        QStringLiteral("Normal/NORM260415-081502F.MP4"),
        QStringLiteral("Normal/NORM260415-081502R.MP4"),
        QStringLiteral("Event/EVEN260415-100002F.MP4"),
        QStringLiteral("Normal/NORM260415-091002F.MOV"),
        QStringLiteral("Normal/NORM260415-091002R.MOV"),
        QStringLiteral("Normal/NORM260415-085502R.MP4"),
        QStringLiteral("Parking/PEVE260415-202002F.MP4"),
        QStringLiteral("Manual/manu260415-102002r.mp4"),
        QStringLiteral("Normal/NORM260415-094002F.MP4"),
        QStringLiteral("Normal/NORM260415-094502F.MP4"),
    };
    for (const QString &file : files) {
        const QString path = QDir(m_card).filePath(file);
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        QTest::newRow(qPrintable(file)) << path;
    }
}

void TestMovOracle::duration_data()
{
    addFileRows();
}

void TestMovOracle::duration()
{
    QFETCH(QString, path);

    bool probed = false;
    const QByteArray seconds = run(QStringLiteral("ffprobe"),
                                   {QStringLiteral("-v"), QStringLiteral("error"),
                                    QStringLiteral("-show_entries"), QStringLiteral("format=duration"),
                                    QStringLiteral("-of"), QStringLiteral("default=nw=1:nk=1"), path},
                                   &probed);
    bool isNumber = false;
    const double expectedMs = seconds.trimmed().toDouble(&isNumber) * 1000.0;

    FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
    QVERIFY(file);
    MOVFormat::durationRecord record;
    const bool found = MOVFormat::readMovieDuration(file, &record);
    std::fclose(file);

    if (!probed || !isNumber) {
        // Zero-length and truncated files: neither reader finds a movie.
        QVERIFY(!found);
        return;
    }
    QVERIFY(found);
    QVERIFY2(std::abs(double(record.durationMs) - expectedMs) <= 1.0,
             qPrintable(QStringLiteral("ours %1 ms, ffprobe %2 ms").arg(record.durationMs).arg(expectedMs)));
}

void TestMovOracle::sampleTexts_data()
{
    addFileRows();
}

void TestMovOracle::sampleTexts()
{
    QFETCH(QString, path);

    bool extracted = false;
    const QByteArray srt = run(QStringLiteral("ffmpeg"),
                               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                                path, QStringLiteral("-map"), QStringLiteral("0:s"),
                                QStringLiteral("-f"), QStringLiteral("srt"), QStringLiteral("-")},
                               &extracted);
    // An SRT cue is a number, a time line, the text and a blank line.
    QList<QByteArray> expected;
    const QList<QByteArray> lines = srt.split('\n');
    for (int i = 0; i + 2 < lines.size(); ++i) {
        if (lines.at(i + 1).contains("-->")) {
            expected.append(lines.at(i + 2).trimmed());
            i += 2;
        }
    }

    FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
    QVERIFY(file);
    QList<QByteArray> texts;
    const MOVFormat reader(file, MOVFormat::MODE_TELEMETRY, nullptr, &texts);
    std::fclose(file);

    // ffmpeg closes the track with an empty sample that it does not extract.
    texts.removeAll(QByteArray());
    QCOMPARE(texts, expected);
    if (expected.isEmpty())
        return;

    // One GPS record per sample, entries - 1 readings per sample.
    const int entries = expected.first().count(',') + 1;
    QCOMPARE(reader.entriesPerSampleMinusOne, entries - 1);
    QCOMPARE(reader.gpsRecords.size(), expected.size());
    QCOMPARE(reader.gSamples.size(), expected.size() * (entries - 1));
}

void TestMovOracle::frameCode_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("frame");

    const QString front = m_card + QStringLiteral("/Normal/NORM260415-081502F.MP4");
    const QString rear = m_card + QStringLiteral("/Normal/NORM260415-081502R.MP4");
    QTest::newRow("front 77") << front << 320 << 180 << 77;
    QTest::newRow("rear 100") << rear << 256 << 144 << 100;
}

void TestMovOracle::frameCode()
{
    QFETCH(QString, path);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, frame);

    bool ok = false;
    const QByteArray gray = run(QStringLiteral("ffmpeg"),
                                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                                 path, QStringLiteral("-vf"),
                                 QStringLiteral("select=eq(n\\,%1)").arg(frame),
                                 QStringLiteral("-frames:v"), QStringLiteral("1"),
                                 QStringLiteral("-f"), QStringLiteral("rawvideo"),
                                 QStringLiteral("-pix_fmt"), QStringLiteral("gray"),
                                 QStringLiteral("-")},
                                &ok);
    QVERIFY(ok);
    QCOMPARE(gray.size(), width * height);

    const int block = width / 16;
    int code = 0;
    for (int bit = 0; bit < 12; ++bit) {
        const int x = block * bit + block / 2;
        const int y = block / 2;
        if (quint8(gray.at(y * width + x)) > 128)
            code |= 1 << bit;
    }
    QCOMPARE(code, frame);
}

QTEST_GUILESS_MAIN(TestMovOracle)
#include "tst_mov_oracle.moc"
