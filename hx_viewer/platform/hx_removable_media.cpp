#include "hx_removable_media.h"

#include "hx_platform_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Mount tables escape blanks and backslashes as \ooo octal.
QString unescapeMountField(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int code = digits.toInt(&ok, 8);
            if (ok) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(field.at(i));
    }
    return QFile::decodeName(out);
}

QByteArray readTrimmed(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll().trimmed();
}

} // namespace

HxRemovableMedia::HxRemovableMedia(const QStringList &mountTables, const QString &sysBlockPath,
                                   const QString &devPath)
    : m_mountTables(mountTables)
    , m_sysBlockPath(sysBlockPath)
    , m_devPath(devPath)
{
}

QList<HxRemovableMedia::Entry> HxRemovableMedia::entriesFor(const QString &mountPoint) const
{
    QList<Entry> entries;
    for (int table = 0; table < m_mountTables.size(); ++table) {
        QFile file(m_mountTables.at(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // The first table lists what is mounted now; the others what may be.
        const bool mounted = table == 0;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().trimmed();
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() < 4)
                continue;
            Entry entry;
            entry.mountPoint = QDir::cleanPath(unescapeMountField(fields.at(1)));
            if (entry.mountPoint != mountPoint)
                continue;
            entry.source = unescapeMountField(fields.at(0));
            entry.options = QString::fromLatin1(fields.at(3)).split(QLatin1Char(','));
            entry.mounted = mounted;
            entries.append(entry);
        }
    }
    return entries;
}

QString HxRemovableMedia::devicePath(const QString &source) const
{
    static const QList<QPair<QString, QString>> tags = {
        {QStringLiteral("UUID="), QStringLiteral("disk/by-uuid/")},
        {QStringLiteral("LABEL="), QStringLiteral("disk/by-label/")},
        {QStringLiteral("PARTUUID="), QStringLiteral("disk/by-partuuid/")},
        {QStringLiteral("PARTLABEL="), QStringLiteral("disk/by-partlabel/")},
    };
    for (const auto &tag : tags) {
        if (source.startsWith(tag.first))
            return QDir(m_devPath).filePath(tag.second + source.mid(tag.first.size()));
    }
    if (source.startsWith(QLatin1Char('/')))
        return source;
    return QString();
}

bool HxRemovableMedia::isUnready(const Entry &entry) const
{
    const QString device = devicePath(entry.source);
    if (device.isEmpty())
        return false; // a virtual or network file system
    const QFileInfo node(device);
    if (!node.exists()) {
        // Nothing is mounted here and the medium named for it is absent. Only
        // entries meant for media that come and go count.
        return !entry.mounted && entry.options.contains(QStringLiteral("noauto"));
    }

    const QString name = QFileInfo(node.canonicalFilePath()).fileName();
    QFileInfo block(QDir(m_sysBlockPath).filePath(name));
    if (!block.exists())
        return false;
    QString disk = block.canonicalFilePath();
    if (QFileInfo::exists(disk + QStringLiteral("/partition")))
        disk = QFileInfo(disk).path();
    if (readTrimmed(disk + QStringLiteral("/removable")) != "1")
        return false;
    return readTrimmed(disk + QStringLiteral("/size")) == "0";
}

bool HxRemovableMedia::isUnreadyMountPoint(const QString &path) const
{
    if (path.isEmpty())
        return false;
    const QString mountPoint = QDir::cleanPath(QDir::fromNativeSeparators(path));
    const QList<Entry> entries = entriesFor(mountPoint);
    // The entry that is mounted now decides; the later mount of the same point hides earlier ones.
    for (int i = entries.size() - 1; i >= 0; --i) {
        if (entries.at(i).mounted) {
            const bool unready = isUnready(entries.at(i));
            qCDebug(lcHxPlatform) << "HxRemovableMedia::isUnreadyMountPoint" << mountPoint << unready;
            return unready;
        }
    }
    for (const Entry &entry : entries) {
        if (isUnready(entry)) {
            qCDebug(lcHxPlatform) << "HxRemovableMedia::isUnreadyMountPoint" << mountPoint << true;
            return true;
        }
    }
    return false;
}
