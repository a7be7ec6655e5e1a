// Times loading a card of many recordings into the recording list against
// the bare directory walk over the same card and against reading every
// file's duration alone, all in one run, and measures the memory per record.
//
//   bench_list [--count N] [--rounds R] [CARD]
//
// Without CARD, a card of N recordings (2N files, default 1000) is generated
// into a temporary folder with make_card.

#include "vw_video_file_list.h"
#include "vw_video_file_list_loader.h"
#include "vw_video_item.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QThreadPool>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// The best of several rounds: the least disturbed by other work on the machine.
double bestMs(int rounds, const std::function<void()> &work)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

QStringList walk(const QString &root)
{
    QStringList files;
    QDirIterator it(root, {QStringLiteral("*.MP4"), QStringLiteral("*.MOV")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

// Collects and loads like the open command does, up to listUpdateEnd(true).
int loadCard(VwVideoFileList &list, const QString &root)
{
    QEventLoop loop;
    const auto connection = QObject::connect(&list, &VwVideoFileList::listUpdateEnd, &loop,
                                             [&loop](bool loading) {
                                                 if (loading)
                                                     loop.quit();
                                             });
    QList<QUrl> urls;
    VwVideoFileList::StartTimes times;
    VwVideoFileList::collectFiles(root, &urls, 0, &times);
    QThreadPool::globalInstance()->start(new VwVideoFileListLoader(urls, &list, times), 5);
    loop.exec();
    QObject::disconnect(connection);
    return list.allItems().size();
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
    QStringList args = app.arguments().mid(1);
    int count = 1000;
    int rounds = 5;
    QString card;
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if (arg == QLatin1String("--count") && !args.isEmpty())
            count = args.takeFirst().toInt();
        else if (arg == QLatin1String("--rounds") && !args.isEmpty())
            rounds = std::max(1, args.takeFirst().toInt());
        else
            card = arg;
    }

    QTemporaryDir temporary;
    if (card.isEmpty()) {
        card = temporary.filePath(QStringLiteral("card"));
        QProcess generator;
        generator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        generator.start(QStringLiteral(HX_TOOLS_BINARY_DIR "/make_card/make_card"),
                        {QStringLiteral("--small"), QStringLiteral("--quiet"), QStringLiteral("--count"),
                         QString::number(count), QStringLiteral("--link"), card});
        if (!generator.waitForFinished(-1) || generator.exitCode() != 0) {
            std::fprintf(stderr, "bench_list: make_card failed\n");
            return 1;
        }
    }

    // A first walk fills the file system cache for every measurement alike.
    const QStringList files = walk(card);
    std::printf("card: %s, %d files\n", qPrintable(card), int(files.size()));

    const double walkMs = bestMs(rounds, [&] { walk(card); });
    const double readMs = bestMs(rounds, [&] {
        for (const QString &path : files) {
            const bool rear = QFileInfo(path).baseName().endsWith(QLatin1Char('R'), Qt::CaseInsensitive);
            VwVideoItem item(path, rear, nullptr);
        }
    });

    VwVideoFileList list;
    int records = 0;
    const double loadMs = bestMs(rounds, [&] { records = loadCard(list, card); });

    // Memory held by the records of one load, measured in a fresh list.
    VwVideoFileList fresh;
    QThreadPool::globalInstance()->waitForDone();
    malloc_trim(0);
    const size_t before = mallinfo2().uordblks;
    loadCard(fresh, card);
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
