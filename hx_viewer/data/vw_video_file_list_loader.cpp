#include "vw_video_file_list_loader.h"

#include "vw_video_file_list.h"

VwVideoFileListLoader::VwVideoFileListLoader(const QList<QUrl> &urls, VwVideoFileList *list,
                                             const QHash<QString, QDateTime> &times)
    : m_urls(urls)
    , m_list(list ? list : VwVideoFileList::instance())
    , m_times(times)
{
    setAutoDelete(true);
}

void VwVideoFileListLoader::run()
{
    m_list->load(m_urls, m_times);
}
