#pragma once

#include "vw_mov_repair.h"
#include "vw_video_item_ptr.h"

#include <QList>
#include <QString>
#include <QStringList>

class VwVideoItem;

// The repair of a listed recording: its damaged files are repaired into a
// folder (the originals stay as they are), and a record whose files have
// repaired copies there plays the copies.
class VwRecordingRepair
{
public:
    // Repairs each damaged file of the record into `folder` under its own
    // name, the reference taken from `candidates` (the card's healthy files)
    // or found beside the file. Reads only the record's paths and marks, so
    // it may run on any thread while the record is not changed.
    static QList<VwMovRepair::Result> repair(const VwVideoItem &item, const QString &folder,
                                             const QStringList &candidates, bool overwrite,
                                             const VwMovRepair::Progress &progress = {});

    // Points the record at the repaired copies in `folder` of its damaged
    // files, where there are healthy ones, and reads the duration from them.
    // True when the record changed.
    static bool useRepairedCopies(VwVideoItem *item, const QString &folder);

    // The files of the healthy records: where a repair looks for its reference.
    static QStringList referenceCandidates(const QList<VwVideoItemPtr> &items);

    // Where the repaired copy of a file goes in `folder`.
    static QString copyPath(const QString &folder, const QString &damagedPath);
};
