#pragma once

#include <QString>
#include <QStringList>

// Tells whether a folder is the mount point of a removable medium that is not
// there: a card reader without a card (the disk reports no size), or a mount
// point listed for a device that does not exist at the moment. Such a folder is
// empty and must not be chosen as the place of recordings or backups.
class HxRemovableMedia
{
public:
    explicit HxRemovableMedia(
        const QStringList &mountTables = {QStringLiteral("/proc/self/mounts"), QStringLiteral("/etc/fstab")},
        const QString &sysBlockPath = QStringLiteral("/sys/class/block"),
        const QString &devPath = QStringLiteral("/dev"));

    bool isUnreadyMountPoint(const QString &path) const;

private:
    struct Entry
    {
        QString source;
        QString mountPoint;
        QStringList options;
        bool mounted = false;
    };

    QList<Entry> entriesFor(const QString &mountPoint) const;
    QString devicePath(const QString &source) const;
    bool isUnready(const Entry &entry) const;

    QStringList m_mountTables;
    QString m_sysBlockPath;
    QString m_devPath;
};
