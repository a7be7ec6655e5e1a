#include "vw_still_exif.h"

#include "hx_core_log.h"

#include <QFile>
#include <QSaveFile>

#include <cmath>

// Exiv2 0.27 hands images out in std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

const char *const VwStillExif::kModel = "KT-LV550N";

namespace {

constexpr qint64 kHundredthsPerDegree = 360000;

// Degrees, minutes and seconds in 1/100, from the rounded total so that
// 59.999 seconds become a whole minute rather than 60 seconds.
Exiv2::URationalValue dmsValue(double degrees)
{
    const qint64 total = std::llround(std::fabs(degrees) * double(kHundredthsPerDegree));
    Exiv2::URationalValue value;
    value.value_.push_back({uint32_t(total / kHundredthsPerDegree), 1});
    value.value_.push_back({uint32_t(total / 6000 % 60), 1});
    value.value_.push_back({uint32_t(total % 6000), 100});
    return value;
}

void setGps(Exiv2::ExifData &exif, const VwGpsRecord &fix)
{
    Exiv2::DataValue version(Exiv2::unsignedByte);
    version.read("2 3 0 0");
    exif["Exif.GPSInfo.GPSVersionID"] = version;
    exif["Exif.GPSInfo.GPSLatitudeRef"] = fix.latitude < 0 ? "S" : "N";
    exif["Exif.GPSInfo.GPSLatitude"] = dmsValue(fix.latitude);
    exif["Exif.GPSInfo.GPSLongitudeRef"] = fix.longitude < 0 ? "W" : "E";
    exif["Exif.GPSInfo.GPSLongitude"] = dmsValue(fix.longitude);
    exif["Exif.GPSInfo.GPSSpeedRef"] = "K";
    const double speed = std::isfinite(fix.speed) ? std::max(fix.speed, 0.0) : 0.0;
    exif["Exif.GPSInfo.GPSSpeed"] = Exiv2::URational(uint32_t(std::llround(speed * 10.0)), 10);
}

} // namespace

VwStillExif::VwStillExif(const QDateTime &moment, const VwGpsRecord *fix)
    : m_moment(moment)
{
    if (fix && isUsableFix(*fix)) {
        m_fix = *fix;
        m_hasGps = true;
    }
}

bool VwStillExif::isUsableFix(const VwGpsRecord &record)
{
    return record.valid && std::isfinite(record.latitude) && std::isfinite(record.longitude)
        && std::fabs(record.latitude) <= 90.0 && std::fabs(record.longitude) <= 180.0;
}

const VwGpsRecord *VwStillExif::shownRecord(const VwSensorInfo *info, qint64 positionMs,
                                            qint64 durationMs)
{
    if (!info || !info->hasGps)
        return nullptr;
    const qint64 count = qMin<qint64>(info->gpsCount, info->gpsRecords.size());
    if (count <= 0)
        return nullptr;
    const qint64 index = VwSensorInfo::recordIndex(positionMs, durationMs, count);
    // At the very end the panel still shows the last record; past it, none.
    if (index < 0 || index > count)
        return nullptr;
    return &info->gpsRecords.at(int(qMin(index, count - 1)));
}

QByteArray VwStillExif::tagged(const QByteArray &jpeg, QString *error) const
{
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte *>(jpeg.constData()), long(jpeg.size()));
        if (image->imageType() != Exiv2::ImageType::jpeg)
            throw Exiv2::Error(Exiv2::kerNotAJpeg);
        image->readMetadata();
        Exiv2::ExifData &exif = image->exifData();
        exif["Exif.Image.Model"] = kModel;
        if (m_moment.isValid()) {
            const std::string stamp =
                m_moment.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")).toStdString();
            exif["Exif.Image.DateTime"] = stamp;
            exif["Exif.Photo.DateTimeOriginal"] = stamp;
            exif["Exif.Photo.SubSecTimeOriginal"] =
                QString::asprintf("%03d", m_moment.time().msec()).toStdString();
        }
        if (m_hasGps)
            setGps(exif, m_fix);
        image->writeMetadata();

        Exiv2::BasicIo &io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf buffer = io.read(long(io.size()));
        if (buffer.size_ != long(io.size()))
            throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
        return QByteArray(reinterpret_cast<const char *>(buffer.pData_), int(buffer.size_));
    } catch (const Exiv2::AnyError &e) {
        if (error)
            *error = QString::fromStdString(e.what());
        return QByteArray();
    }
}

bool VwStillExif::rewrite(const QString &path, QString *error) const
{
    QString reason;
    QFile in(path);
    QByteArray result;
    if (!in.open(QIODevice::ReadOnly)) {
        reason = in.errorString();
    } else {
        result = tagged(in.readAll(), &reason);
        in.close();
    }
    if (!result.isEmpty()) {
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(result) != result.size() || !out.commit())
            reason = out.errorString();
    }
    if (reason.isEmpty())
        return true;
    qCWarning(lcHxCore) << "VwStillExif::rewrite" << path << reason;
    if (error)
        *error = reason;
    return false;
}

#pragma GCC diagnostic pop
