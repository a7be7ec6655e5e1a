#include "vw_video_file_list_backup.h"

#include "vw_video_file_list.h"

#include <QMetaObject>

VwVideoFileListBackup::VwVideoFileListBackup(const QString &folder, VwVideoFileList *list)
    : m_folder(folder)
    , m_list(list ? list : VwVideoFileList::instance())
    , m_selection(m_list->backupSelection())
{
    setAutoDelete(true);
}

void VwVideoFileListBackup::run()
{
    m_list->backup(m_folder, m_selection);
    // Let go of the records on the list's thread, where they live; the last
    // reference may be this one when a new load has replaced the list.
    QMetaObject::invokeMethod(m_list, [selection = std::move(m_selection)] {}, Qt::QueuedConnection);
}
