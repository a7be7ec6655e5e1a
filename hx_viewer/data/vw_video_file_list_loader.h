#pragma once

#include <QList>
#include <QRunnable>
#include <QUrl>

class VwVideoFileList;

// Builds a list from scanned files on a pool thread; deleted by the pool.
class VwVideoFileListLoader : public QRunnable
{
public:
    explicit VwVideoFileListLoader(const QList<QUrl> &urls, VwVideoFileList *list = nullptr);

    void run() override;

private:
    QList<QUrl> m_urls;
    VwVideoFileList *m_list = nullptr;
};
