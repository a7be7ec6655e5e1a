#include "hx_font_substitute.h"

QString HxFontSubstitute::substituteFor(const QString &family)
{
    // IPA P Gothic is drawn to the metrics of MS PGothic, so texts laid out
    // for it keep their widths.
    if (family == QLatin1String("MS PGothic"))
        return QStringLiteral("IPAPGothic");
    return QString();
}

QString HxFontSubstitute::resolve(const QString &family, const QStringList &installedFamilies)
{
    if (installedFamilies.contains(family, Qt::CaseSensitive))
        return family;
    const QString substitute = substituteFor(family);
    if (!substitute.isEmpty() && installedFamilies.contains(substitute, Qt::CaseSensitive))
        return substitute;
    return QString();
}
