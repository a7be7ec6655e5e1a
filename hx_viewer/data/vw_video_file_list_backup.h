#pragma once

#include "vw_video_item_ptr.h"

#include <QList>
#include <QRunnable>
#include <QString>

class VwVideoFileList;

// Copies the list's current recording into a folder on a pool thread; deleted
// by the pool. Create it on the list's thread: it takes the recordings to copy
// there, and holds them, so a new load cannot pull them away mid-copy.
class VwVideoFileListBackup : public QRunnable
{
public:
    explicit VwVideoFileListBackup(const QString &folder, VwVideoFileList *list = nullptr);

    void run() override;

private:
    QString m_folder;
    VwVideoFileList *m_list = nullptr;
    QList<VwVideoItemPtr> m_selection;
};
