#include "vw_video_file_batch.h"

#include <QDir>
#include <QFileInfo>

bool VwVideoFileBatch::containsKey(const QString &key) const
{
    return m_keys.contains(key.toCaseFolded());
}

void VwVideoFileBatch::append(const VwVideoItemPtr &item, const QString &key)
{
    items.append(item);
    m_keys.insert(key.toCaseFolded());
}

QString VwVideoFileBatch::findFile(const QString &folder, const QString &name)
{
    auto entries = m_folders.find(folder);
    if (entries == m_folders.end()) {
        QHash<QString, QString> names;
        // Sorted by name with case, so that of two names differing only in
        // case the same one wins on every run.
        const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        for (const QString &file : files) {
            const QString folded = file.toCaseFolded();
            if (!names.contains(folded))
                names.insert(folded, file);
        }
        entries = m_folders.insert(folder, names);
    }
    const QString found = entries->value(name.toCaseFolded());
    if (found.isEmpty())
        return QString();
    const QString path = QDir::cleanPath(folder + QLatin1Char('/') + found);
    if (!m_scanned.isEmpty() && !m_scanned.contains(path))
        return QString();
    return QFileInfo(path).isFile() ? path : QString();
}

void VwVideoFileBatch::setScannedFiles(const QList<QUrl> &urls)
{
    m_scanned.clear();
    m_scanned.reserve(urls.size());
    for (const QUrl &url : urls)
        m_scanned.insert(url.toLocalFile());
}
