#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// The EXIF tags of a JPEG as Exiv2 reads them back: key ("Exif.Image.Model")
// to the value's text. Empty when the data is no readable JPEG.
QMap<QString, QString> hxExifTags(const QByteArray &jpeg);
QMap<QString, QString> hxExifTagsOfFile(const QString &path);
// Degrees from the text of a degrees, minutes, seconds rational triple
// ("35/1 36/1 1234/100"); NaN when it is not one.
double hxExifDegrees(const QString &rationals);
// The value of one rational ("123/10"); NaN when it is not one.
double hxExifRational(const QString &rational);
