#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QRunnable>
#include <QUrl>

class VwVideoFileList;

// Builds a list from scanned files on a pool thread; deleted by the pool.
// The start times that the scan decoded, when given, spare decoding again.
class VwVideoFileListLoader : public QRunnable
{
public:
    explicit VwVideoFileListLoader(const QList<QUrl> &urls, VwVideoFileList *list = nullptr,
                                   const QHash<QString, QDateTime> &times = {});

    void run() override;

private:
    QList<QUrl> m_urls;
    VwVideoFileList *m_list = nullptr;
    QHash<QString, QDateTime> m_times;
};
