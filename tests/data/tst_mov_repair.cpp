// Recordings cut by a power loss, on the damaged card that make_card writes:
// detection, what a repair recovers against the uncut originals (checked with
// ffmpeg), hostile input, the command-line tool and the list.

#include "hx_test_files.h"
#include "hx_test_sandbox.h"
#include "mov_builder.h"
#include "vw_format_mov.h"
#include "vw_mov_damage.h"
#include "vw_mov_reference.h"
#include "vw_mov_repair.h"
#include "vw_recording_repair.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace movtest;

namespace {

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, '\0');
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

QList<QByteArray> telemetryTexts(const QString &path)
{
    QList<QByteArray> texts;
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (file) {
        MOVFormat reader(file, MOVFormat::MODE_TELEMETRY, nullptr, &texts);
        std::fclose(file);
    }
    texts.removeAll(QByteArray());
    return texts;
}

} // namespace

class TestMovRepair : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void detection_data();
    void detection();
    void repairCut_data();
    void repairCut();
    void hostile_data();
    void hostile();
    void copies();
    void commandLine();
    void listing();

private:
    QByteArray run(const QString &program, const QStringList &arguments, int *exitCode,
                   QByteArray *errors = nullptr);
    QString card(const QString &relative) const { return m_card + QLatin1Char('/') + relative; }
    QString work(const QString &name) const { return m_dir.filePath(name); }

    HxTestSandbox m_sandbox;
    QTemporaryDir m_dir;
    QString m_card;
    QJsonArray m_damaged;
};

QByteArray TestMovRepair::run(const QString &program, const QStringList &arguments, int *exitCode,
                              QByteArray *errors)
{
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit;
    *exitCode = finished ? process.exitCode() : -1;
    if (errors)
        *errors = process.readAllStandardError();
    return process.readAllStandardOutput();
}

void TestMovRepair::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("hx.data.info=false\nhx.data.debug=false"));
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        QSKIP("ffmpeg is needed to make the card and to check the repaired files");
    QVERIFY(m_sandbox.isValid() && m_dir.isValid());
    m_card = work(QStringLiteral("card"));
    HX_MAKE_CARD({"--small", "--quiet", "--damaged", "--manifest", work(QStringLiteral("manifest.json")), m_card});
    m_damaged = QJsonDocument::fromJson(hxReadFile(work(QStringLiteral("manifest.json"))))
                    .object().value(QStringLiteral("damaged")).toArray();
    QCOMPARE(m_damaged.size(), 14);
}

void TestMovRepair::detection_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("state");

    for (const QJsonValue &value : qAsConst(m_damaged)) {
        const QString path = value.toObject().value(QStringLiteral("path")).toString();
        QTest::newRow(qPrintable(path)) << card(path) << int(VwMovDamage::STATE_DAMAGED);
    }
    QTest::newRow("healthy") << card(QStringLiteral("Normal/NORM260415-120000F.MP4"))
                             << int(VwMovDamage::STATE_HEALTHY);

    // Files with recording names that are not damaged recordings.
    const QByteArray healthy = hxReadFile(card(QStringLiteral("Normal/NORM260415-120000R.MP4")));
    const QList<QPair<const char *, QByteArray>> crafted = {
        {"empty", QByteArray()},
        {"random bytes", randomBytes(4096, 1)},
        {"mdat header without data", ftyp() + atom("mdat", QByteArray())},
        {"index only", ftyp() + atom("moov", mvhd(1000, 2000))},
    };
    int minute = 0;
    for (const auto &file : crafted) {
        const QString path = work(QStringLiteral("NORM260415-13%100F.MP4").arg(++minute, 2, 10, QLatin1Char('0')));
        QVERIFY(hxWriteFile(path, file.second));
        QTest::newRow(file.first) << path << int(file.second.contains("moov") ? VwMovDamage::STATE_HEALTHY
                                                                                : VwMovDamage::STATE_NOT_MOVIE);
    }
    const QString cutIndex = work(QStringLiteral("NORM260415-131000F.MP4"));
    QVERIFY(hxWriteFile(cutIndex, healthy.left(healthy.size() - 100)));
    QTest::newRow("index cut short") << cutIndex << int(VwMovDamage::STATE_DAMAGED);
}

void TestMovRepair::detection()
{
    QFETCH(QString, path);
    QFETCH(int, state);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(int(VwMovDamage::inspect(&file).state), state);

    // The list's view: a damaged file marks its record and gives no duration.
    VwVideoItem item(path, false, nullptr);
    QCOMPARE(item.isDamaged(), state == VwMovDamage::STATE_DAMAGED);
    if (item.isDamaged())
        QCOMPARE(item.durationMs, 0u);
}

void TestMovRepair::repairCut_data()
{
    QTest::addColumn<QJsonObject>("entry");
    for (const QJsonValue &value : qAsConst(m_damaged))
        QTest::newRow(qPrintable(value.toObject().value(QStringLiteral("path")).toString())) << value.toObject();
}

void TestMovRepair::repairCut()
{
    QFETCH(QJsonObject, entry);
    const QString damaged = card(entry.value(QStringLiteral("path")).toString());
    const QString original = card(entry.value(QStringLiteral("original")).toString());
    const QJsonObject whole = entry.value(QStringLiteral("whole")).toObject();
    const QString output = work(QStringLiteral("repaired/") + QFileInfo(damaged).fileName());
    const QByteArray before = QCryptographicHash::hash(hxReadFile(damaged), QCryptographicHash::Sha1);

    const VwMovRepair::Result result = VwMovRepair::repairFile(damaged, output);
    QCOMPARE(int(result.outcome), int(VwMovRepair::OUTCOME_COMPLETE));
    QCOMPARE(QCryptographicHash::hash(hxReadFile(damaged), QCryptographicHash::Sha1), before);
    // The nearest healthy file of the same camera; a file whose index is
    // whole (written at the front) is its own reference.
    QCOMPARE(result.referencePath, entry.value(QStringLiteral("kind")) == QLatin1String("faststart")
                                       ? damaged : card(entry.value(QStringLiteral("reference")).toString()));
    QCOMPARE(result.videoFrames, qint64(whole.value(QStringLiteral("video")).toInt()));
    QCOMPARE(result.audioFrames, qint64(whole.value(QStringLiteral("audio")).toInt()));
    QCOMPARE(result.textSamples, qint64(whole.value(QStringLiteral("text")).toInt()));
    QVERIFY2(result.bytesRead <= result.fileSize * 11 / 10, qPrintable(QString::number(result.bytesRead)));

    int status = -1;
    QByteArray errors;
    run(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), output,
                                   QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")},
        &status, &errors);
    QCOMPARE(status, 0);
    QCOMPARE(errors, QByteArray());

    // Every picture, in order: the frame code burned into each equals its index.
    const bool front = damaged.endsWith(QLatin1String("F.MP4"));
    const int width = front ? 320 : 256;
    const int height = front ? 180 : 144;
    const QByteArray pictures = run(QStringLiteral("ffmpeg"),
                                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), output,
                                     QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-f"),
                                     QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("gray"),
                                     QStringLiteral("-")},
                                    &status);
    const int frameSize = width * height;
    QCOMPARE(pictures.size() / frameSize, whole.value(QStringLiteral("video")).toInt());
    const int block = width / 16;
    for (int frame = 0; frame < pictures.size() / frameSize; ++frame) {
        int code = 0;
        for (int bit = 0; bit < 12; ++bit) {
            if (quint8(pictures.at(frame * frameSize + (block / 2) * width + block * bit + block / 2)) > 128)
                code |= 1 << bit;
        }
        QCOMPARE(code, frame);
    }

    // The sound up to the cut, less the encoder's priming that the edit hides.
    const QByteArray sound = run(QStringLiteral("ffmpeg"),
                                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), output,
                                  QStringLiteral("-map"), QStringLiteral("0:a?"), QStringLiteral("-f"),
                                  QStringLiteral("s16le"), QStringLiteral("-ac"), QStringLiteral("1"), QStringLiteral("-")},
                                 &status);
    const int audioFrames = whole.value(QStringLiteral("audio")).toInt();
    const int expectedSamples = qMax(0, audioFrames - 1) * 1024;
    QVERIFY2(qAbs(sound.size() / 2 - expectedSamples) <= 1024, qPrintable(QString::number(sound.size() / 2)));

    const QList<QByteArray> texts = telemetryTexts(output);
    QCOMPARE(texts, telemetryTexts(original).mid(0, whole.value(QStringLiteral("text")).toInt()));
}

void TestMovRepair::hostile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<int>("outcome");

    const QString front = card(QStringLiteral("Normal/NORM260415-120000F.MP4"));
    const QString rear = card(QStringLiteral("Normal/NORM260415-120000R.MP4"));
    const QByteArray cutFront = hxReadFile(card(QStringLiteral("Normal/NORM260415-120200F.MP4")));
    const QByteArray cutRear = hxReadFile(card(QStringLiteral("Normal/NORM260415-120200R.MP4")));
    const int dataStart = cutRear.indexOf("mdat") + 4;
    const QByteArray header = ftyp() + be32(1) + QByteArray("mdat") + be64(0xfffffffffffffff0ull);

    QTest::newRow("random bytes") << randomBytes(300000, 2) << front << int(VwMovRepair::OUTCOME_NOTHING);
    QTest::newRow("random data") << header + randomBytes(300000, 3) << front << int(VwMovRepair::OUTCOME_NOTHING);
    QTest::newRow("rear camera's reference") << cutFront << rear << int(VwMovRepair::OUTCOME_NOTHING);
    QTest::newRow("front camera's reference") << cutRear << front << int(VwMovRepair::OUTCOME_NOTHING);
    QTest::newRow("cut inside the first sample") << cutRear.left(dataStart + 40) << rear
                                                 << int(VwMovRepair::OUTCOME_NOTHING);
    // Lengths that go nowhere: zero-length units, and delimiters that never
    // reach a picture.
    QTest::newRow("zero lengths") << header + QByteArray(65536, '\0') << front << int(VwMovRepair::OUTCOME_NOTHING);
    QByteArray delimiters;
    for (int i = 0; i < 10000; ++i)
        delimiters += be32(2) + QByteArray("\x09\xf0", 2);
    QTest::newRow("delimiters") << header + delimiters << front << int(VwMovRepair::OUTCOME_NOTHING);
    QTest::newRow("random data after the pictures")
        << cutRear.left(cutRear.size() / 2) + randomBytes(100000, 4) << rear << int(VwMovRepair::OUTCOME_PARTIAL);
}

void TestMovRepair::hostile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reference);
    QFETCH(int, outcome);

    const QString damaged = work(QStringLiteral("NORM260415-140000F.MP4"));
    const QString output = work(QStringLiteral("hostile/NORM260415-140000F.MP4"));
    QFile::remove(output);
    QVERIFY(hxWriteFile(damaged, bytes));
    const VwMovRepair::Result result = VwMovRepair::repairFile(damaged, output, reference);
    QCOMPARE(int(result.outcome), outcome);
    QVERIFY(result.cutOffset <= bytes.size());
    QCOMPARE(QFileInfo::exists(output), result.recovered());
}

void TestMovRepair::copies()
{
    const QString damaged = card(QStringLiteral("Normal/NORM260415-120300F.MP4"));
    const QString output = work(QStringLiteral("copies/NORM260415-120300F.MP4"));

    // Stopped half way: no copy is left, not even a partial one.
    VwMovRepair::Result result = VwMovRepair::repairFile(
        damaged, output, QString(), false, {}, [](qint64, qint64) { return false; });
    QCOMPARE(int(result.reason), int(VwMovRepair::REASON_CANCELLED));
    QVERIFY(QDir(QFileInfo(output).path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

    // An existing copy is replaced only when asked for, and the damaged file never.
    QVERIFY(hxWriteFile(output, "kept"));
    result = VwMovRepair::repairFile(damaged, output);
    QCOMPARE(int(result.reason), int(VwMovRepair::REASON_TARGET_EXISTS));
    QCOMPARE(hxReadFile(output), QByteArray("kept"));
    result = VwMovRepair::repairFile(damaged, damaged, QString(), true);
    QCOMPARE(int(result.reason), int(VwMovRepair::REASON_TARGET_EXISTS));
    result = VwMovRepair::repairFile(damaged, output, QString(), true);
    QCOMPARE(int(result.outcome), int(VwMovRepair::OUTCOME_COMPLETE));
}

void TestMovRepair::commandLine()
{
    const QString tool = hxToolPath(QStringLiteral("hx_repair/hx_repair"));
    QVERIFY(QFileInfo(tool).isExecutable());
    const QString junk = work(QStringLiteral("NORM260415-150000F.MP4"));
    QVERIFY(hxWriteFile(junk, randomBytes(1000, 5)));
    const QString out = work(QStringLiteral("tool"));
    const QStringList cut = {card(QStringLiteral("Normal/NORM260415-120200F.MP4")),
                             card(QStringLiteral("Normal/NORM260415-120200R.MP4"))};

    int status = -1;
    QList<QByteArray> lines = run(tool, QStringList{QStringLiteral("--out"), out} + cut, &status).trimmed().split('\n');
    QCOMPARE(status, 0);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).contains("5.00 s of video, 5.03 s of sound, 5 s of telemetry"), lines.at(0));
    QVERIFY(QFileInfo::exists(out + QStringLiteral("/NORM260415-120200R.MP4")));

    // Anything not recovered up to its cut makes the status 1.
    lines = run(tool, {QStringLiteral("--out"), out, QStringLiteral("--reference"),
                       card(QStringLiteral("Normal/NORM260415-120000F.MP4")), junk, cut.first()},
                &status).trimmed().split('\n');
    QCOMPARE(status, 1);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).contains("nothing recovered"), lines.at(0));
    QVERIFY2(lines.at(1).contains("exists already"), lines.at(1));
}

void TestMovRepair::listing()
{
    VwVideoFileList list;
    const auto load = [&list, this] {
        QSignalSpy ended(&list, &VwVideoFileList::listUpdateEnd);
        return list.loadFolder(m_card) && QTest::qWaitFor([&] { return ended.contains({true}); }, 30000);
    };
    QStringList found;
    connect(&list, &VwVideoFileList::playItemFound, &list,
            [&found](VwVideoItem *item, int) { found << item->displayName(); });
    QVERIFY(load());

    // Every cut recording is listed, both files kept and marked; the originals
    // under names that are no recording names are not.
    QCOMPARE(list.allItems().size(), 8);
    VwVideoItemPtr cut;
    for (const VwVideoItemPtr &item : list.allItems()) {
        const bool healthy = item->displayName() == QLatin1String("NORM260415-120000");
        QVERIFY2(item->frontDamaged != healthy && item->rearDamaged != healthy, qPrintable(item->displayName()));
        QVERIFY(!item->rearPath.isEmpty());
        if (item->displayName() == QLatin1String("NORM260415-120200"))
            cut = item;
    }
    // Nothing damaged is offered for playing.
    QCOMPARE(found, QStringList{QStringLiteral("NORM260415-120000")});
    list.setCurrentItem(list.visibleItems().first().data());
    QCOMPARE(list.adjacentItem(true), list.visibleItems().first().data());

    // Repaired into the viewer's folder, the recording plays from the copies
    // after the next load, with its telemetry.
    const QStringList references = VwRecordingRepair::referenceCandidates(list.allItems());
    QCOMPARE(references.size(), 2);
    const QList<VwMovRepair::Result> results =
        VwRecordingRepair::repair(*cut, VwMovRepair::repairedFolder(), references, true);
    QCOMPARE(results.size(), 2);
    QVERIFY(load());
    VwVideoItemPtr repaired;
    for (const VwVideoItemPtr &item : list.allItems()) {
        if (item->displayName() == QLatin1String("NORM260415-120200"))
            repaired = item;
    }
    QVERIFY(repaired && !repaired->isDamaged());
    QVERIFY(repaired->frontPath.startsWith(VwMovRepair::repairedFolder()));
    QVERIFY(repaired->rearPath.startsWith(VwMovRepair::repairedFolder()));
    // The longest track: the sound's last frame reaches a little past 5 s.
    QVERIFY2(repaired->durationMs >= 5000 && repaired->durationMs < 5100, qPrintable(QString::number(repaired->durationMs)));
    repaired->loadSensorInfo();
    QCOMPARE(repaired->sensorInfo->gpsCount, 5u);
}

QTEST_GUILESS_MAIN(TestMovRepair)

#include "tst_mov_repair.moc"
