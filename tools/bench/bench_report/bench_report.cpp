// Times the report command, from the command (the name given without the
// save dialog) to the workbook under its name, against LibreOffice's own
// conversion of the template to .xls started the same way, in one run; and
// the longest pause of a 10 ms timer on the interface thread during reports.
//
//   bench_report [--rounds N]
//
// A one-recording card is generated with make_card into a temporary folder
// and loaded, so the picture is the main window at its 1094 x 687.

#include "vw_app.h"
#include "vw_excel_report.h"
#include "vw_player.h"
#include "vw_report_command.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"
#include "window_main.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
}

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

bool loadCard(const QString &folder)
{
    QProcess generator;
    generator.start(QStringLiteral(HX_TOOLS_BINARY_DIR "/make_card/make_card"),
                    {QStringLiteral("--small"), QStringLiteral("--count"), QStringLiteral("1"),
                     QStringLiteral("--quiet"), folder});
    if (!generator.waitForFinished(300000) || generator.exitCode() != 0)
        return false;
    // The watches capture locals: they must end with this function, not
    // with the singletons, which keep emitting while the recording plays.
    QObject scope;
    VwVideoFileList *list = VwVideoFileList::instance();
    bool listed = false;
    QObject::connect(list, &VwVideoFileList::listUpdateEnd, &scope, [&listed] { listed = true; });
    if (!list->loadFolder(folder) || !waitFor([&] { return listed; }, 120000) || list->visibleItems().isEmpty())
        return false;
    VwPlayer *player = VwPlayer::instance();
    bool loaded = false;
    QObject::connect(player, &VwPlayerBase::playEvent, &scope, [&loaded](PLAY_EVENT event) {
        loaded = loaded || event == PLAY_EVENT_LOADED;
    });
    player->onLoad(list->visibleItems().first().data());
    return waitFor([&] { return loaded; }, 60000);
}

// LibreOffice converting the template, with a user installation of its own
// as every report has: the start, load and store a report cannot avoid.
double peerSeconds(const QString &templatePath, const QString &work, int round)
{
    const QString profile = QStringLiteral("%1/peer-profile-%2").arg(work).arg(round);
    const QString out = QStringLiteral("%1/peer-%2").arg(work).arg(round);
    QElapsedTimer timer;
    timer.start();
    QProcess office;
    office.start(QStringLiteral("soffice"),
                 {QStringLiteral("-env:UserInstallation=file://") + profile, QStringLiteral("--headless"),
                  QStringLiteral("--norestore"), QStringLiteral("--convert-to"), QStringLiteral("xls"),
                  QStringLiteral("--outdir"), out, templatePath});
    waitFor([&office] { return office.state() == QProcess::NotRunning; }, 600000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!QFile::exists(out + QStringLiteral("/template.xls")))
        return -1.0;
    QDir(profile).removeRecursively();
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("hx.*=false"));
    int rounds = 5;
    const QStringList args = app.arguments();
    const int roundsAt = args.indexOf(QStringLiteral("--rounds"));
    if (roundsAt > 0 && roundsAt + 1 < args.size())
        rounds = qMax(1, args.at(roundsAt + 1).toInt());

    QTemporaryDir work;
    qputenv("HOME", QFile::encodeName(work.path()));
    QDir(work.path()).mkpath(QStringLiteral("Documents"));
    VwApp::instance()->initialize(&app);
    if (!VwExcelReport::missingPrograms().isEmpty()) {
        std::fprintf(stderr, "bench_report: LibreOffice Calc is not installed (scripts/setup)\n");
        return 1;
    }
    WindowMain *window = WindowMain::instance();
    window->show();
    if (!loadCard(work.filePath(QStringLiteral("card")))) {
        std::fprintf(stderr, "bench_report: the generated card did not load\n");
        return 1;
    }
    const QString templatePath = work.filePath(QStringLiteral("template.xls"));
    QFile::copy(QStringLiteral(":/report/report.xls"), templatePath);
    VwExcelReport::programs().connectTimeoutMs = 300000;
    VwExcelReport::programs().jobTimeoutMs = 600000;

    VwReportCommand *command = window->reportCommand();
    const QString folder = VwApp::instance()->appPath(VwApp::PATH_REPORT);
    command->choosePath = [](const QString &proposed) { return proposed; };
    command->openReport = [](const QString &) { return true; };

    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = -1;
    qint64 reportGap = 0;
    qint64 idleGap = 0;
    qint64 *longestGap = &reportGap;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (lastTick >= 0)
            *longestGap = std::max(*longestGap, now - lastTick);
        lastTick = now;
    });

    QVector<double> reports;
    QVector<double> peers;
    for (int round = 0; round < rounds; ++round) {
        const QString path = VwReportCommand::proposedPath(folder, QDate(2026, 4, 15));
        bool ended = false;
        bool ok = false;
        const auto connection = QObject::connect(command, &VwReportCommand::ended, [&](bool success) {
            ended = true;
            ok = success;
        });
        lastTick = -1;
        longestGap = &reportGap;
        ticker.start();
        QElapsedTimer timer;
        timer.start();
        window->onStartReport();
        waitFor([&] { return ended; }, 600000);
        const double seconds = timer.nsecsElapsed() / 1e9;
        QObject::disconnect(connection);
        if (!ok || !QFile::exists(path)) {
            std::fprintf(stderr, "bench_report: report %d failed\n", round + 1);
            return 1;
        }
        reports << seconds;
        // The same timer while the interface thread only waits for the peer
        // shows what the machine's load alone does to it.
        lastTick = -1;
        longestGap = &idleGap;
        const double peer = peerSeconds(templatePath, work.path(), round);
        ticker.stop();
        if (peer < 0) {
            std::fprintf(stderr, "bench_report: the peer conversion failed\n");
            return 1;
        }
        peers << peer;
    }

    const double ratio = median(reports) / median(peers);
    std::printf("bench_report: %d reports of a %d x %d picture, interleaved with the peer\n", rounds,
                window->width(), window->height());
    std::printf("%-44s %8s %8s\n", "", "first", "median");
    std::printf("%-44s %7.2fs %7.2fs\n", "report command (to the file under its name)", reports.first(),
                median(reports));
    std::printf("%-44s %7.2fs %7.2fs\n", "peer: soffice --convert-to xls (own profile)", peers.first(),
                median(peers));
    std::printf("median ratio report / peer: %.2f (target <= 1.5)\n", ratio);
    std::printf("median report: %.2f s (target < 3 s)\n", median(reports));
    std::printf("longest gap of a 10 ms interface timer: %lld ms during reports (target <= 100), "
                "%lld ms while waiting for the peer\n",
                static_cast<long long>(reportGap), static_cast<long long>(idleGap));
    return 0;
}
