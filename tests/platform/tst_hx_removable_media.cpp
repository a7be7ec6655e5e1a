#include "hx_removable_media.h"
#include "hx_test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// A fake machine: a mount table of what is mounted, an fstab, a sysfs block
// folder whose partition links point into their disks, and device nodes.
class TstHxRemovableMedia : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void mountPoint_data();
    void mountPoint();

private:
    void writeFile(const QString &relative, const QByteArray &bytes);
    void addDisk(const QString &disk, bool removable, qint64 size, const QStringList &partitions);
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

    QTemporaryDir m_dir;
};

void TstHxRemovableMedia::writeFile(const QString &relative, const QByteArray &bytes)
{
    const QString file = path(relative);
    QDir().mkpath(QFileInfo(file).path());
    QVERIFY(hxWriteFile(file, bytes));
}

void TstHxRemovableMedia::addDisk(const QString &disk, bool removable, qint64 size,
                                  const QStringList &partitions)
{
    const QString diskDir = QStringLiteral("sys/devices/") + disk;
    writeFile(diskDir + QStringLiteral("/removable"), removable ? "1\n" : "0\n");
    writeFile(diskDir + QStringLiteral("/size"), QByteArray::number(size) + '\n');
    QDir().mkpath(path(QStringLiteral("sys/class/block")));
    QVERIFY(QFile::link(path(diskDir), path(QStringLiteral("sys/class/block/") + disk)));
    writeFile(QStringLiteral("dev/") + disk, "");
    for (const QString &partition : partitions) {
        const QString partitionDir = diskDir + QLatin1Char('/') + partition;
        writeFile(partitionDir + QStringLiteral("/partition"), "1\n");
        writeFile(partitionDir + QStringLiteral("/size"), "2048\n");
        QVERIFY(QFile::link(path(partitionDir), path(QStringLiteral("sys/class/block/") + partition)));
        writeFile(QStringLiteral("dev/") + partition, "");
    }
}

void TstHxRemovableMedia::initTestCase()
{
    QVERIFY(m_dir.isValid());
    addDisk(QStringLiteral("sda"), false, 500000000, {QStringLiteral("sda1")});
    addDisk(QStringLiteral("sdb"), true, 0, {QStringLiteral("sdb1")});   // reader, card pulled out
    addDisk(QStringLiteral("sdc"), true, 62333952, {QStringLiteral("sdc1")}); // reader with a card
    addDisk(QStringLiteral("sdd"), true, 0, {});                          // empty reader, no partition
    QDir().mkpath(path(QStringLiteral("dev/disk/by-uuid")));
    QVERIFY(QFile::link(path(QStringLiteral("dev/sdc1")), path(QStringLiteral("dev/disk/by-uuid/1234-ABCD"))));

    const QByteArray dev = QFile::encodeName(path(QStringLiteral("dev")));
    writeFile(QStringLiteral("mounts"),
              dev + "/sda1 / ext4 rw,relatime 0 0\n"
              "proc /proc proc rw 0 0\n"
              + dev + "/sdb1 /media/user/CARD vfat rw,nosuid 0 0\n"
              + dev + "/sdc1 /media/user/MY\\040CARD vfat rw,nosuid 0 0\n"
              "tmpfs /run tmpfs rw 0 0\n");
    writeFile(QStringLiteral("fstab"),
              "# static table\n"
              "UUID=0000-FFFF /mnt/sd vfat noauto,user 0 0\n"
              "UUID=1234-ABCD /mnt/camera vfat noauto,user 0 0\n"
              "UUID=5555-0000 /mnt/archive ext4 defaults 0 2\n"
              + dev + "/sdd /mnt/reader vfat noauto,user 0 0\n");
}

void TstHxRemovableMedia::mountPoint_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("unready");

    QTest::newRow("fixed disk") << "/" << false;
    QTest::newRow("virtual file system") << "/proc" << false;
    QTest::newRow("card pulled out while mounted") << "/media/user/CARD" << true;
    QTest::newRow("trailing separator") << "/media/user/CARD/" << true;
    QTest::newRow("folder inside it") << "/media/user/CARD/DCIM" << false;
    QTest::newRow("card present, escaped blank") << "/media/user/MY CARD" << false;
    QTest::newRow("removable entry, medium absent") << "/mnt/sd" << true;
    QTest::newRow("removable entry, medium present") << "/mnt/camera" << false;
    QTest::newRow("fixed entry, disk absent") << "/mnt/archive" << false;
    QTest::newRow("reader without a card") << "/mnt/reader" << true;
    QTest::newRow("not a mount point") << "/home/user" << false;
    QTest::newRow("empty") << "" << false;
}

void TstHxRemovableMedia::mountPoint()
{
    QFETCH(QString, folder);
    QFETCH(bool, unready);
    const HxRemovableMedia media({path(QStringLiteral("mounts")), path(QStringLiteral("fstab"))},
                                path(QStringLiteral("sys/class/block")), path(QStringLiteral("dev")));
    QCOMPARE(media.isUnreadyMountPoint(folder), unready);
}

QTEST_GUILESS_MAIN(TstHxRemovableMedia)
#include "tst_hx_removable_media.moc"
