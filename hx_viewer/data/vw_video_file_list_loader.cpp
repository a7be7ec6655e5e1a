#include "vw_video_file_list_loader.h"

#include "vw_video_file_list.h"

VwVideoFileListLoader::VwVideoFileListLoader(const QList<QUrl> &urls, VwVideoFileList *list)
    : m_urls(urls)
    , m_list(list ? list : VwVideoFileList::instance())
{
    setAutoDelete(true);
}

void VwVideoFileListLoader::run()
{
    m_list->load(m_urls);
}
