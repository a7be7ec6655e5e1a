#include "vw_recording_repair.h"

#include "hx_data_log.h"
#include "vw_mov_damage.h"
#include "vw_video_item.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// A repaired copy is used only when it is a whole movie file.
bool isHealthyCopy(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
        && VwMovDamage::inspect(&file).state == VwMovDamage::STATE_HEALTHY;
}

} // namespace

QString VwRecordingRepair::copyPath(const QString &folder, const QString &damagedPath)
{
    return QDir::cleanPath(folder + QLatin1Char('/') + QFileInfo(damagedPath).fileName());
}

QStringList VwRecordingRepair::referenceCandidates(const QList<VwVideoItemPtr> &items)
{
    QStringList files;
    for (const VwVideoItemPtr &item : items) {
        if (!item->frontPath.isEmpty() && !item->frontDamaged)
            files.append(item->frontPath);
        if (!item->rearPath.isEmpty() && !item->rearDamaged)
            files.append(item->rearPath);
    }
    return files;
}

QList<VwMovRepair::Result> VwRecordingRepair::repair(const VwVideoItem &item, const QString &folder,
                                                     const QStringList &candidates, bool overwrite,
                                                     const VwMovRepair::Progress &progress)
{
    QStringList damaged;
    qint64 total = 0;
    for (const auto &file : {qMakePair(item.frontPath, item.frontDamaged),
                             qMakePair(item.rearPath, item.rearDamaged)}) {
        if (!file.first.isEmpty() && file.second) {
            damaged.append(file.first);
            total += QFileInfo(file.first).size();
        }
    }
    // One progress over all the files, by their sizes.
    QList<VwMovRepair::Result> results;
    qint64 before = 0;
    for (const QString &path : qAsConst(damaged)) {
        const auto overall = [&](qint64 done, qint64) { return !progress || progress(before + done, total); };
        results.append(VwMovRepair::repairFile(path, copyPath(folder, path), QString(), overwrite,
                                               candidates, overall));
        before += QFileInfo(path).size();
    }
    return results;
}

bool VwRecordingRepair::useRepairedCopies(VwVideoItem *item, const QString &folder)
{
    if (!item || folder.isEmpty())
        return false;
    bool changed = false;
    const auto adopt = [&](QString &path, bool &damaged) {
        const QString copy = copyPath(folder, path);
        if (damaged && !path.isEmpty() && isHealthyCopy(copy)) {
            path = copy;
            damaged = false;
            changed = true;
        }
    };
    adopt(item->frontPath, item->frontDamaged);
    adopt(item->rearPath, item->rearDamaged);
    if (!changed)
        return false;
    // The duration comes from the front file, as for any recording; a
    // front file still damaged leaves it to the rear file's copy.
    item->readDuration(false);
    if (!item->rearPath.isEmpty() && !item->rearDamaged && item->durationMs == 0)
        item->readDuration(true);
    item->sizeBytes = 0;
    qCDebug(lcHxData) << "VwRecordingRepair::useRepairedCopies" << item->frontPath << item->rearPath;
    return true;
}
