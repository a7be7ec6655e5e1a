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
    QList<VwMovRepair::Result> results;
    for (const auto &file : {qMakePair(item.frontPath, item.frontDamaged),
                             qMakePair(item.rearPath, item.rearDamaged)}) {
        if (file.first.isEmpty() || !file.second)
            continue;
        results.append(VwMovRepair::repairFile(file.first, copyPath(folder, file.first), QString(),
                                               overwrite, candidates, progress));
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
