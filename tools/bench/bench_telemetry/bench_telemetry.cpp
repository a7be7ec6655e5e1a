// Times reading the movie duration and the telemetry of every file of a card
// with our reader, and opening the same files with libavformat
// (avformat_open_input + avformat_find_stream_info) in the same run.
//
//   bench_telemetry [--card FOLDER] [--count N] [--duration S] [--small] [--rounds R]
//
// Without --card, make_card writes a card of N recordings (default 200 of
// S = 60 s, 1920x1080 front and 1280x720 rear as the recorder writes them, or
// 320x180 with --small; copies are hard links) into a temporary folder.
// Prints files per second for both in wall-clock and in CPU time (the
// machine may be shared), their ratio, and the bytes our reader reads.

#include "vw_format_mov.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdio>
#include <ctime>

namespace {

qint64 cpuNs()
{
    timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool readOurs(const QString &path)
{
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file)
        return false;
    MOVFormat::durationRecord record;
    MOVFormat::readMovieDuration(file, &record);
    VwSensorInfo info(file, VwSensorInfo::KIND_MOV);
    info.fitToDuration(record.durationMs);
    std::fclose(file);
    return record.found == 1 && info.gCount > 0;
}

bool readLibav(const QString &path, qint64 *bytesRead)
{
    AVFormatContext *context = nullptr;
    if (avformat_open_input(&context, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return false;
    const bool ok = avformat_find_stream_info(context, nullptr) >= 0;
    if (context->pb)
        *bytesRead += context->pb->bytes_read;
    avformat_close_input(&context);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("hx.data.info=false\nhx.data.debug=false"));
    av_log_set_level(AV_LOG_ERROR);

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption cardOption(QStringLiteral("card"), QStringLiteral("Card folder."),
                                        QStringLiteral("folder"));
    const QCommandLineOption countOption(QStringLiteral("count"), QStringLiteral("Recordings."),
                                         QStringLiteral("n"), QStringLiteral("200"));
    const QCommandLineOption durationOption(QStringLiteral("duration"),
                                            QStringLiteral("Seconds per recording."),
                                            QStringLiteral("s"), QStringLiteral("60"));
    const QCommandLineOption roundsOption(QStringLiteral("rounds"), QStringLiteral("Rounds."),
                                          QStringLiteral("r"), QStringLiteral("3"));
    const QCommandLineOption smallOption(QStringLiteral("small"), QStringLiteral("Small pictures."));
    parser.addOptions({cardOption, countOption, durationOption, roundsOption, smallOption});
    parser.process(app);

    QTemporaryDir temporary;
    QString card = parser.value(cardOption);
    if (card.isEmpty()) {
        const QString makeCard =
            QCoreApplication::applicationDirPath() + QStringLiteral("/../../make_card/make_card");
        card = temporary.filePath(QStringLiteral("card"));
        std::printf("writing a card of %s recordings of %s s...\n", qPrintable(parser.value(countOption)),
                    qPrintable(parser.value(durationOption)));
        std::fflush(stdout);
        QStringList arguments = {QStringLiteral("--quiet"), QStringLiteral("--link"),
                                 QStringLiteral("--count"), parser.value(countOption),
                                 QStringLiteral("--duration"), parser.value(durationOption), card};
        if (parser.isSet(smallOption))
            arguments.prepend(QStringLiteral("--small"));
        const int status = QProcess::execute(makeCard, arguments);
        if (status != 0) {
            std::fprintf(stderr, "make_card failed (%d)\n", status);
            return 1;
        }
    }

    QStringList files;
    QDirIterator it(card, {QStringLiteral("*.MP4"), QStringLiteral("*.MOV")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    if (files.isEmpty()) {
        std::fprintf(stderr, "no files in %s\n", qPrintable(card));
        return 1;
    }

    // Both readers run on a warm page cache: one untimed round first.
    quint64 totalSize = 0;
    qint64 unused = 0;
    for (const QString &path : files) {
        totalSize += quint64(QFileInfo(path).size());
        readOurs(path);
        readLibav(path, &unused);
    }

    // What our reader asks for, and what it reads from the file with its
    // read-ahead, per file.
    quint64 headerBytes = 0;
    quint64 sampleBytes = 0;
    quint64 fetchedBytes = 0;
    for (const QString &path : files) {
        FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
        if (!file)
            continue;
        MOVFormat::durationRecord record;
        const MOVFormat duration(file, MOVFormat::MODE_DURATION, &record);
        const MOVFormat telemetry(file, MOVFormat::MODE_TELEMETRY);
        headerBytes += duration.headerBytesRead + telemetry.headerBytesRead;
        sampleBytes += telemetry.sampleBytesRead;
        fetchedBytes += duration.fetchedBytes + telemetry.fetchedBytes - telemetry.sampleBytesRead;
        std::fclose(file);
    }

    const int rounds = qMax(1, parser.value(roundsOption).toInt());
    qint64 oursNs = 0;
    qint64 libavNs = 0;
    qint64 oursCpuNs = 0;
    qint64 libavCpuNs = 0;
    qint64 libavBytes = 0;
    int oursFailed = 0;
    int libavFailed = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        qint64 cpu = cpuNs();
        for (const QString &path : files)
            oursFailed += readOurs(path) ? 0 : 1;
        oursNs += timer.nsecsElapsed();
        oursCpuNs += cpuNs() - cpu;

        timer.restart();
        cpu = cpuNs();
        for (const QString &path : files)
            libavFailed += readLibav(path, &libavBytes) ? 0 : 1;
        libavNs += timer.nsecsElapsed();
        libavCpuNs += cpuNs() - cpu;
    }

    const double n = double(files.size()) * rounds;
    const auto rate = [n](qint64 ns) { return n / (double(ns) / 1e9); };
    std::printf("files: %d (%.1f MiB), rounds: %d\n", int(files.size()),
                double(totalSize) / 1048576.0, rounds);
    std::printf("                                      wall files/s   CPU files/s\n");
    std::printf("ours (duration + telemetry + fit)    %12.1f  %12.1f  (%d failed)\n",
                rate(oursNs), rate(oursCpuNs), oursFailed);
    std::printf("libavformat open + find_stream_info  %12.1f  %12.1f  (%d failed)\n",
                rate(libavNs), rate(libavCpuNs), libavFailed);
    std::printf("ratio ours / libavformat             %12.1f  %12.1f  (target >= 10)\n",
                rate(oursNs) / rate(libavNs), rate(oursCpuNs) / rate(libavCpuNs));
    std::printf("ours, bytes per file: atoms and tables asked %.0f, read with read-ahead %.0f "
                "(target < 65536); text samples %.0f\n",
                double(headerBytes) / files.size(), double(fetchedBytes) / files.size(),
                double(sampleBytes) / files.size());
    std::printf("libavformat, bytes read per file: %.0f\n", double(libavBytes) / n);
    return 0;
}
