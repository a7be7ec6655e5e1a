#pragma once

#include <QString>
#include <QStringList>

// Windows font families the interface is designed for, and the free families
// with the same metrics that stand in for them where they are not installed.
class HxFontSubstitute
{
public:
    // The family itself when installed (exact, case-sensitive), else its
    // installed substitute, else an empty string.
    static QString resolve(const QString &family, const QStringList &installedFamilies);
    // The substitute family for a Windows family, or an empty string.
    static QString substituteFor(const QString &family);
};
