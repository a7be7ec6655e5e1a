#include "hx_test_exif.h"

#include <QFile>
#include <QStringList>

#include <cmath>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

QMap<QString, QString> hxExifTags(const QByteArray &jpeg)
{
    QMap<QString, QString> tags;
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte *>(jpeg.constData()), long(jpeg.size()));
        image->readMetadata();
        for (const Exiv2::Exifdatum &datum : image->exifData())
            tags.insert(QString::fromStdString(datum.key()), QString::fromStdString(datum.value().toString()));
    } catch (const Exiv2::AnyError &) {
        tags.clear();
    }
    return tags;
}

#pragma GCC diagnostic pop

QMap<QString, QString> hxExifTagsOfFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? hxExifTags(file.readAll()) : QMap<QString, QString>();
}

double hxExifRational(const QString &rational)
{
    const QStringList parts = rational.split(QLatin1Char('/'));
    bool okNumerator = false;
    bool okDenominator = false;
    const double numerator = parts.value(0).toDouble(&okNumerator);
    const double denominator = parts.value(1).toDouble(&okDenominator);
    if (parts.size() != 2 || !okNumerator || !okDenominator || denominator == 0.0)
        return std::nan("");
    return numerator / denominator;
}

double hxExifDegrees(const QString &rationals)
{
    const QStringList parts = rationals.split(QLatin1Char(' '));
    if (parts.size() != 3)
        return std::nan("");
    return hxExifRational(parts.at(0)) + hxExifRational(parts.at(1)) / 60.0
        + hxExifRational(parts.at(2)) / 3600.0;
}
