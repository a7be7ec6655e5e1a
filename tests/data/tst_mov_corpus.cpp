#include "vw_format_mov.h"
#include "vw_video_item.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <cstring>

// Replays the committed corpus of damaged files (tests/data/corpus, written
// by tools/fuzz/craft_corpus.py and grown by fuzzing) through every entry
// point that reads a file. Each file runs in a child process so that a crash
// or a hang names its file; the asan preset runs this under AddressSanitizer.
class TestMovCorpus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replay_data();
    void replay();
};

namespace {

int replayFile(const char *path)
{
    QLoggingCategory::setFilterRules(QStringLiteral("hx.data.info=false\nhx.data.debug=false"));
    FILE *file = std::fopen(path, "rb");
    if (!file)
        return 2;
    MOVFormat::durationRecord record;
    MOVFormat::readMovieDuration(file, &record);
    QList<QByteArray> texts;
    const MOVFormat reader(file, MOVFormat::MODE_TELEMETRY, nullptr, &texts);
    std::fclose(file);

    // The record reads the same file as the program does, fitted to the
    // duration that its own header claims.
    VwVideoItem item(QString::fromLocal8Bit(path), false, nullptr);
    item.loadSensorInfo();
    item.dateTimeAt(0.5);
    if (!item.sensorInfo)
        return 3;
    const VwSensorInfo &info = *item.sensorInfo;
    if (info.gpsCount != quint32(info.gpsRecords.size()) || info.gCount != quint32(info.gSamples.size()))
        return 4;
    for (const VwGSensorSample &sample : info.gSamples) {
        if (!(sample.x >= -1.0f && sample.x <= 1.0f && sample.y >= -1.0f && sample.y <= 1.0f
              && sample.z >= -1.0f && sample.z <= 1.0f))
            return 5;
    }
    return 0;
}

} // namespace

void TestMovCorpus::replay_data()
{
    QTest::addColumn<QString>("path");
    const QDir corpus(qEnvironmentVariable("HX_SOURCE_DIR") + QStringLiteral("/tests/data/corpus"));
    const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
    QVERIFY2(names.size() >= 40, qPrintable(corpus.path()));
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << corpus.filePath(name);
}

void TestMovCorpus::replay()
{
    QFETCH(QString, path);

    // The file is copied under a recording name with an MP4 suffix, so
    // that the record reads its telemetry too.
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("NORM230415-081502F.MP4"));
    QVERIFY(QFile::copy(path, copy));

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--replay"), copy});
    QVERIFY(child.waitForStarted());
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        QFAIL("the reader hangs on this file");
    }
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
}

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--replay") == 0) {
        QCoreApplication app(argc, argv);
        return replayFile(argv[2]);
    }
    QCoreApplication app(argc, argv);
    TestMovCorpus test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mov_corpus.moc"
