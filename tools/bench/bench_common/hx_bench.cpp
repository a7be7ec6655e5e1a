#include "hx_bench.h"

#include "vw_video_file_list.h"
#include "vw_video_file_list_loader.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>

void hxBenchPrivateHome(const QString &home)
{
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("HX_AUDIO_OUTPUT"))
        qputenv("HX_AUDIO_OUTPUT", "null");
}

HxBenchOptions hxBenchOptions(const QStringList &arguments)
{
    HxBenchOptions options;
    QStringList args = arguments;
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if (arg == QLatin1String("--count") && !args.isEmpty())
            options.count = args.takeFirst().toInt();
        else if (arg == QLatin1String("--rounds") && !args.isEmpty())
            options.rounds = std::max(1, args.takeFirst().toInt());
        else
            options.card = arg;
    }
    return options;
}

bool hxBenchPrepareCard(HxBenchOptions *options, const QString &scratch)
{
    if (!options->card.isEmpty())
        return true;
    const QString folder = scratch + QStringLiteral("/card");
    QProcess generator;
    generator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    generator.start(QStringLiteral(HX_TOOLS_BINARY_DIR "/make_card/make_card"),
                    {QStringLiteral("--small"), QStringLiteral("--quiet"), QStringLiteral("--count"),
                     QString::number(options->count), QStringLiteral("--link"), folder});
    if (generator.waitForFinished(-1) && generator.exitCode() == 0) {
        options->card = folder;
        return true;
    }
    std::fprintf(stderr, "make_card failed\n");
    return false;
}

double hxBestMs(int rounds, const std::function<void()> &work)
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

int hxBenchLoadCard(VwVideoFileList &list, const QString &root)
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
