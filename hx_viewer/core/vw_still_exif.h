#pragma once

#include "vw_format_mov.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The EXIF block of a still: the recorder's model, the moment of the picture
// and, when the recording had a fix at that moment, where the car was and how
// fast it went. The moment carries no time zone: the recorder's clock zone
// is not known.
class VwStillExif
{
public:
    static const char *const kModel;

    // `fix` is used only when it is a valid fix inside the world's bounds;
    // otherwise the still gets no GPS tag at all.
    VwStillExif(const QDateTime &moment, const VwGpsRecord *fix);

    // The record the GPS panel shows at `positionMs` of a recording
    // `durationMs` long, or null when it shows none.
    static const VwGpsRecord *shownRecord(const VwSensorInfo *info, qint64 positionMs,
                                          qint64 durationMs);
    static bool isUsableFix(const VwGpsRecord &record);

    bool hasGps() const { return m_hasGps; }

    // `jpeg` with the tags written; empty, with the reason in `error`, when
    // it cannot be read as a JPEG.
    QByteArray tagged(const QByteArray &jpeg, QString *error) const;
    // Tags the JPEG file in place. The file is replaced as a whole, so a
    // failure leaves it as it was.
    bool rewrite(const QString &path, QString *error) const;

private:
    QDateTime m_moment;
    VwGpsRecord m_fix;
    bool m_hasGps = false;
};
