#pragma once

#include <QString>
#include <QStringList>

// The machine's display adapters, described the way their vendors name them.
// PCI display controllers are found in sysfs and named from the PCI id
// database; the integrated graphics of Intel's 4-series chipsets, which the
// database only calls "4 Series Chipset Integrated Graphics Controller", are
// named after their chipset as their own drivers do.
class HxDisplayAdapters
{
public:
    explicit HxDisplayAdapters(const QString &pciDevicesPath = QStringLiteral("/sys/bus/pci/devices"),
                               const QStringList &pciIdsPaths = defaultPciIdsPaths());

    static QStringList defaultPciIdsPaths();

    // One description per display controller, in the order of the PCI addresses.
    QStringList descriptions() const;

    // Old integrated chipsets that need software OpenGL, tested in this order.
    static const QStringList &legacyChipsets();
    // True when the description, with its spaces removed and upper-cased, holds
    // one of the legacy chipset names.
    static bool isLegacyChipset(const QString &description);

private:
    QString m_pciDevicesPath;
    QStringList m_pciIdsPaths;
};
