#include "hx_display_adapters.h"

#include "hx_platform_log.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QPair>

#include <algorithm>
#include <cctype>

namespace {

struct PciId
{
    uint vendor = 0;
    uint device = 0;
};

uint readHexFile(const QString &path, bool *ok)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *ok = false;
        return 0;
    }
    return file.readAll().trimmed().toUInt(ok, 0);
}

// Chipset names of Intel's 4-series integrated graphics by device id (both
// functions of each controller), as the chipset drivers report them.
QString chipsetName(const PciId &id)
{
    if (id.vendor != 0x8086)
        return QString();
    switch (id.device) {
    case 0x2a42:
    case 0x2a43:
        return QStringLiteral("Mobile Intel(R) GM45 Express Chipset Family");
    case 0x2e12:
    case 0x2e13:
        return QStringLiteral("Intel(R) Q45/Q43 Express Chipset");
    case 0x2e22:
    case 0x2e23:
        return QStringLiteral("Intel(R) G45/G43 Express Chipset");
    case 0x2e32:
    case 0x2e33:
        return QStringLiteral("Intel(R) G41 Express Chipset");
    default:
        return QString();
    }
}

bool isHexId(const QByteArray &text)
{
    if (text.size() != 4)
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(uchar(c)); });
}

// Names of the wanted ids from a pci.ids file: "vendor  name" lines, each
// followed by its "\tdevice  name" lines; the class list at the end is not read.
QHash<QPair<uint, uint>, QString> lookUpNames(const QString &path, const QList<PciId> &wanted)
{
    QHash<QPair<uint, uint>, QString> names;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return names;

    QString vendorName;
    uint vendor = 0;
    bool vendorWanted = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith("C "))
            break;
        if (line.startsWith("\t\t"))
            continue;
        const bool deviceLine = line.startsWith('\t');
        const QByteArray body = deviceLine ? line.mid(1) : line;
        const QByteArray idText = body.left(4);
        if (!isHexId(idText))
            continue;
        const uint id = idText.toUInt(nullptr, 16);
        const QString name = QString::fromUtf8(body.mid(4).trimmed());
        if (!deviceLine) {
            vendor = id;
            vendorName = name;
            vendorWanted = std::any_of(wanted.begin(), wanted.end(),
                                       [id](const PciId &w) { return w.vendor == id; });
            continue;
        }
        if (!vendorWanted)
            continue;
        for (const PciId &w : wanted) {
            if (w.vendor == vendor && w.device == id)
                names.insert(qMakePair(vendor, id), vendorName + QLatin1Char(' ') + name);
        }
    }
    return names;
}

} // namespace

HxDisplayAdapters::HxDisplayAdapters(const QString &pciDevicesPath, const QStringList &pciIdsPaths)
    : m_pciDevicesPath(pciDevicesPath)
    , m_pciIdsPaths(pciIdsPaths)
{
}

QStringList HxDisplayAdapters::defaultPciIdsPaths()
{
    return {QStringLiteral("/usr/share/misc/pci.ids"), QStringLiteral("/usr/share/hwdata/pci.ids")};
}

QStringList HxDisplayAdapters::descriptions() const
{
    QList<PciId> adapters;
    const QDir devices(m_pciDevicesPath);
    const QStringList entries = devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        bool ok = false;
        const uint deviceClass = readHexFile(devices.filePath(entry + QStringLiteral("/class")), &ok);
        if (!ok || (deviceClass >> 16) != 0x03)
            continue;
        PciId id;
        bool vendorOk = false;
        bool deviceOk = false;
        id.vendor = readHexFile(devices.filePath(entry + QStringLiteral("/vendor")), &vendorOk);
        id.device = readHexFile(devices.filePath(entry + QStringLiteral("/device")), &deviceOk);
        if (vendorOk && deviceOk)
            adapters.append(id);
    }
    if (adapters.isEmpty())
        return {};

    QHash<QPair<uint, uint>, QString> names;
    for (const QString &path : m_pciIdsPaths) {
        if (QFile::exists(path)) {
            names = lookUpNames(path, adapters);
            break;
        }
    }

    QStringList result;
    for (const PciId &id : adapters) {
        QString description = chipsetName(id);
        if (description.isEmpty())
            description = names.value(qMakePair(id.vendor, id.device));
        if (description.isEmpty())
            description = QStringLiteral("%1:%2").arg(id.vendor, 4, 16, QLatin1Char('0'))
                              .arg(id.device, 4, 16, QLatin1Char('0'));
        qCDebug(lcHxPlatform) << "HxDisplayAdapters::descriptions" << description;
        result.append(description);
    }
    return result;
}

const QStringList &HxDisplayAdapters::legacyChipsets()
{
    static const QStringList names = {
        QStringLiteral("X4500"), QStringLiteral("Q43"), QStringLiteral("Q45"), QStringLiteral("GL40"),
        QStringLiteral("GS45"),  QStringLiteral("G45"), QStringLiteral("GM45"), QStringLiteral("G41"),
    };
    return names;
}

bool HxDisplayAdapters::isLegacyChipset(const QString &description)
{
    QString prepared = description;
    prepared.remove(QLatin1Char(' '));
    prepared = prepared.toUpper();
    const QStringList &names = legacyChipsets();
    return std::any_of(names.begin(), names.end(), [&prepared](const QString &name) {
        return prepared.contains(name, Qt::CaseSensitive);
    });
}
