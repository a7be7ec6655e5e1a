#pragma once

#include "vw_video_item_ptr.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>

// The records of one load while they are being built. It belongs to the
// thread that builds them and is handed to the list as a whole once complete,
// so the lists that the interface reads are never written by another thread.
class VwVideoFileBatch
{
public:
    // Whether a record with this pair key is already listed (case ignored).
    bool containsKey(const QString &key) const;
    void append(const VwVideoItemPtr &item, const QString &key);

    // Path of the regular file called `name` in `folder`, the name matched
    // without regard to case; empty when there is none. Each folder is read
    // once per batch.
    QString findFile(const QString &folder, const QString &name);
    // Limits findFile to the files a scan accepted: the scan decides which
    // linked files belong to the opened folder, and a partner is no exception.
    void setScannedFiles(const QList<QUrl> &urls);

    QList<VwVideoItemPtr> items;

private:
    QSet<QString> m_keys;
    QSet<QString> m_scanned;
    QHash<QString, QHash<QString, QString>> m_folders;
};
