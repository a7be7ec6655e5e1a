#include "hx_display_adapters.h"
#include "hx_test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TstHxDisplayAdapters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void legacyChipset_data();
    void legacyChipset();
    void descriptionsFromSysfs();
    void noAdapters();

private:
    static void writeFile(const QString &path, const QByteArray &bytes);
    static void addDevice(const QDir &root, const QString &address, const char *deviceClass,
                          const char *vendor, const char *device);
};

void TstHxDisplayAdapters::writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QVERIFY(hxWriteFile(path, bytes));
}

void TstHxDisplayAdapters::addDevice(const QDir &root, const QString &address, const char *deviceClass,
                                     const char *vendor, const char *device)
{
    writeFile(root.filePath(address + QStringLiteral("/class")), QByteArray(deviceClass) + '\n');
    writeFile(root.filePath(address + QStringLiteral("/vendor")), QByteArray(vendor) + '\n');
    writeFile(root.filePath(address + QStringLiteral("/device")), QByteArray(device) + '\n');
}

void TstHxDisplayAdapters::legacyChipset_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("legacy");

    QTest::newRow("G41 desktop") << "Intel(R) G41 Express Chipset" << true;
    QTest::newRow("GM45 mobile") << "Mobile Intel(R) GM45 Express Chipset Family" << true;
    QTest::newRow("lower case") << "intel(r) g41 express chipset" << true;
    QTest::newRow("spaces inside the name") << "Intel(R) G 4 1 Express Chipset" << true;
    QTest::newRow("X4500 graphics") << "Intel(R) Graphics Media Accelerator X4500HD" << true;
    QTest::newRow("modern Intel") << "Intel Corporation Alder Lake-P GT2 [Iris Xe Graphics]" << false;
    QTest::newRow("4 series database name")
        << "Intel Corporation 4 Series Chipset Integrated Graphics Controller" << false;
    QTest::newRow("NVIDIA") << "NVIDIA Corporation GA106 [GeForce RTX 3060]" << false;
    QTest::newRow("G31 is not listed") << "Intel(R) G33/G31 Express Chipset Family" << false;
    QTest::newRow("empty") << "" << false;
}

void TstHxDisplayAdapters::legacyChipset()
{
    QFETCH(QString, description);
    QFETCH(bool, legacy);
    QCOMPARE(HxDisplayAdapters::isLegacyChipset(description), legacy);
}

void TstHxDisplayAdapters::descriptionsFromSysfs()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir devices(dir.filePath(QStringLiteral("devices")));
    addDevice(devices, QStringLiteral("0000:00:02.0"), "0x030000", "0x8086", "0x2e32");
    addDevice(devices, QStringLiteral("0000:00:1f.2"), "0x010601", "0x8086", "0x2922");
    addDevice(devices, QStringLiteral("0000:01:00.0"), "0x030000", "0x10de", "0x2504");
    addDevice(devices, QStringLiteral("0000:02:00.0"), "0x038000", "0x1234", "0x5678");
    addDevice(devices, QStringLiteral("0000:03:00.0"), "0x030200", "0x1af4", "0x1050");

    const QString ids = dir.filePath(QStringLiteral("pci.ids"));
    writeFile(ids, "# comment\n"
                   "10de  NVIDIA Corporation\n"
                   "\t2504  GA106 [GeForce RTX 3060 Lite Hash Rate]\n"
                   "\t\t1458 4074  a subsystem\n"
                   "1af4  Red Hat, Inc.\n"
                   "\t1050  Virtio 1.0 GPU\n"
                   "8086  Intel Corporation\n"
                   "\t2922  82801IR/IO/IH (ICH9R/DO/DH) 6 port SATA Controller [AHCI mode]\n"
                   "\t2e32  4 Series Chipset Integrated Graphics Controller\n"
                   "C 03  Display controller\n"
                   "\t00  VGA compatible controller\n");

    const HxDisplayAdapters adapters(devices.path(), {dir.filePath(QStringLiteral("missing.ids")), ids});
    const QStringList expected = {
        QStringLiteral("Intel(R) G41 Express Chipset"),
        QStringLiteral("NVIDIA Corporation GA106 [GeForce RTX 3060 Lite Hash Rate]"),
        QStringLiteral("1234:5678"),
        QStringLiteral("Red Hat, Inc. Virtio 1.0 GPU"),
    };
    QCOMPARE(adapters.descriptions(), expected);
}

void TstHxDisplayAdapters::noAdapters()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(HxDisplayAdapters(dir.filePath(QStringLiteral("none")), {}).descriptions().isEmpty());
}

QTEST_GUILESS_MAIN(TstHxDisplayAdapters)
#include "tst_hx_display_adapters.moc"
