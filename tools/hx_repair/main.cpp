// Repairs recordings whose index a power loss cut off, for a whole card at a
// time:
//
//   hx_repair [--reference FILE] [--out FOLDER] [--overwrite] DAMAGED...
//
// Each damaged file is copied, with a rebuilt index, to FOLDER (by default
// the viewer's own folder of repaired copies) under its own name; the file
// itself is never written. The codec set-up comes from FILE, or from the
// file's own index when that is whole, or from the nearest healthy recording
// of the same camera beside it. One line is printed per file. Exit status: 0
// when every file was recovered up to its cut, 1 when any file was recovered
// only in part or not at all, 2 on a usage error.

#include "vw_mov_repair.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cstdio>

namespace {

const char kUsage[] = "usage: hx_repair [--reference FILE] [--out FOLDER] [--overwrite] DAMAGED...\n";

QString reasonText(const VwMovRepair::Result &result)
{
    QString text = VwMovRepair::reasonText(result.reason, false);
    if (result.reason == VwMovRepair::REASON_TARGET_EXISTS)
        text += QStringLiteral(" (--overwrite replaces it)");
    return text;
}

QString describe(const QString &path, const VwMovRepair::Result &result)
{
    QString line = path + QStringLiteral(": ");
    if (!result.recovered()) {
        line += QStringLiteral("nothing recovered (%1").arg(reasonText(result));
        if (!result.detail.isEmpty())
            line += QStringLiteral(": ") + result.detail;
        return line + QLatin1Char(')');
    }
    line += QStringLiteral("%1 s of video, %2 s of sound, %3 s of telemetry recovered; "
                           "the recording ends at byte %4 of %5 (%6) -> %7")
                .arg(result.videoSeconds, 0, 'f', 2)
                .arg(result.audioSeconds, 0, 'f', 2)
                .arg(result.telemetrySeconds, 0, 'f', 0)
                .arg(result.cutOffset)
                .arg(result.fileSize)
                .arg(reasonText(result), result.outputPath);
    return line;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("hx.*.debug=false\nhx.*.info=false"));

    QString reference;
    QString folder;
    bool overwrite = false;
    QStringList damaged;
    QStringList args = app.arguments().mid(1);
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if (arg == QLatin1String("--reference") && !args.isEmpty()) {
            reference = args.takeFirst();
        } else if (arg == QLatin1String("--out") && !args.isEmpty()) {
            folder = args.takeFirst();
        } else if (arg == QLatin1String("--overwrite")) {
            overwrite = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg.startsWith(QLatin1String("--"))) {
            std::fputs(kUsage, stderr);
            return 2;
        } else {
            damaged.append(arg);
        }
    }
    if (folder.isEmpty())
        folder = VwMovRepair::repairedFolder();
    if (damaged.isEmpty() || folder.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    bool everything = true;
    for (const QString &path : qAsConst(damaged)) {
        const QString target = QDir(folder).absoluteFilePath(QFileInfo(path).fileName());
        const VwMovRepair::Result result = VwMovRepair::repairFile(path, target, reference, overwrite);
        everything = everything && result.outcome == VwMovRepair::OUTCOME_COMPLETE;
        std::printf("%s\n", qPrintable(describe(path, result)));
    }
    return everything ? 0 : 1;
}
