// Times loading a card of many recordings into the recording list against
// the bare directory walk over the same card and against reading every
// file's duration alone, all in one run, and measures the memory per record.
//
//   bench_list [--count N] [--rounds R] [CARD]
//
// Without CARD, a card of N recordings (2N files, default 1000) is generated
// into a temporary folder with make_card.

#include "hx_bench.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QThreadPool>

#include <malloc.h>

#include <cstdio>

namespace {

QStringList walk(const QString &root)
{
    QStringList files;
    QDirIterator it(root, {QStringLiteral("*.MP4"), QStringLiteral("*.MOV")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

} // namespace

int main(int argc, char **argv)
{
    // One arena for every thread, so that the main arena's figures count the
    // records that the pool thread allocates too.
    mallopt(M_ARENA_MAX, 1);
    QCoreApplication app(argc, argv);
    // Diagnostic lines would be timed along with the work on both sides.
    QLoggingCategory::setFilterRules(QStringLiteral("hx.*.debug=false"));
    HxBenchOptions options = hxBenchOptions(app.arguments().mid(1));
    QTemporaryDir temporary;
    if (!hxBenchPrepareCard(&options, temporary.path()))
        return 1;
    const int rounds = options.rounds;
    const QString card = options.card;

    // A first walk fills the file system cache for every measurement alike.
    const QStringList files = walk(card);
    std::printf("card: %s, %d files\n", qPrintable(card), int(files.size()));

    const double walkMs = hxBestMs(rounds, [&] { walk(card); });
    const double readMs = hxBestMs(rounds, [&] {
        for (const QString &path : files) {
            const bool rear = QFileInfo(path).baseName().endsWith(QLatin1Char('R'), Qt::CaseInsensitive);
            VwVideoItem item(path, rear, nullptr);
        }
    });

    VwVideoFileList list;
    int records = 0;
    const double loadMs = hxBestMs(rounds, [&] { records = hxBenchLoadCard(list, card); });

    // Memory held by the records of one load, measured in a fresh list.
    VwVideoFileList fresh;
    QThreadPool::globalInstance()->waitForDone();
    malloc_trim(0);
    const size_t before = mallinfo2().uordblks;
    hxBenchLoadCard(fresh, card);
    // The loader may still be letting go of its file list and folder listings.
    QThreadPool::globalInstance()->waitForDone();
    const size_t after = mallinfo2().uordblks;
    const double perRecord = records ? double(after - before) / records : 0.0;

    std::printf("recordings listed:               %d\n", records);
    std::printf("bare directory walk:             %9.1f ms\n", walkMs);
    std::printf("duration read of every file:     %9.1f ms\n", readMs);
    std::printf("collectFiles + load to the end:  %9.1f ms   (target < 2000 ms)\n", loadMs);
    std::printf("load / walk:                     %9.2f\n", loadMs / walkMs);
    std::printf("load / (walk + read):            %9.2f      (target < 4)\n", loadMs / (walkMs + readMs));
    std::printf("memory per record:               %9.0f bytes (target < 2048)\n", perRecord);
    return 0;
}
