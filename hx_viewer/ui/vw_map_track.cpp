#include "vw_map_track.h"

#include "vw_format_mov.h"

namespace {
QString coordinate(double value)
{
    // QString::number ignores the locale: always a point and six decimals.
    return QString::number(value, 'f', 6);
}
} // namespace

const QString &VwMapTrack::clearPathScript()
{
    static const QString script = QStringLiteral("clearPath();");
    return script;
}

const QString &VwMapTrack::clearCarScript()
{
    static const QString script = QStringLiteral("clearCarMarker();");
    return script;
}

bool VwMapTrack::isInServiceArea(const VwGpsRecord &record)
{
    return record.latitude > 20.0 && record.latitude < 46.0 && record.longitude > 120.0
        && record.longitude < 150.0;
}

QString VwMapTrack::drawPathsScript(const QVector<VwGpsRecord> &records)
{
    QString script = QStringLiteral("drawPaths([");
    bool segmentOpen = false;
    bool anySegment = false;
    for (const VwGpsRecord &record : records) {
        if (!record.valid || !isInServiceArea(record)) {
            if (segmentOpen)
                script += QLatin1Char(']');
            segmentOpen = false;
            continue;
        }
        if (!segmentOpen) {
            if (anySegment)
                script += QLatin1Char(',');
            script += QLatin1Char('[');
            segmentOpen = true;
            anySegment = true;
        } else {
            script += QLatin1Char(',');
        }
        script += QStringLiteral("{lat:") + coordinate(record.latitude) + QStringLiteral(", lng:")
            + coordinate(record.longitude) + QLatin1Char('}');
    }
    if (segmentOpen)
        script += QLatin1Char(']');
    script += QStringLiteral("]);");
    return script;
}

QString VwMapTrack::moveScript(double latitude, double longitude)
{
    return QStringLiteral("moveToMap(") + coordinate(latitude) + QLatin1Char(',')
        + coordinate(longitude) + QStringLiteral(");");
}

QString VwMapTrack::functionOf(const QString &script)
{
    return script.left(script.indexOf(QLatin1Char('(')));
}

QString VwMapTrack::load(const VwSensorInfo *info)
{
    m_hasReport = false;
    forgetCar();
    if (!info || !info->hasGps || info->gpsRecords.isEmpty())
        return unload();
    m_hasTelemetry = true;
    m_records = info->gpsRecords;
    m_routeScript = drawPathsScript(m_records);
    return m_routeScript;
}

QString VwMapTrack::unload()
{
    m_hasTelemetry = false;
    m_records.clear();
    m_routeScript.clear();
    m_hasReport = false;
    forgetCar();
    return clearPathScript();
}

QString VwMapTrack::scriptForPosition(qint64 position, qint64 duration)
{
    if (!m_hasTelemetry)
        return QString();
    m_hasReport = true;
    m_lastPosition = position;
    m_lastDuration = duration;

    const qint64 count = m_records.size();
    qint64 index = VwSensorInfo::recordIndex(position, duration, count);
    // At the very end the index reaches the count: the last record still
    // stands there, as on the GPS panel. Past it there is no position.
    if (index == count)
        index = count - 1;
    if (index >= 0 && index < count) {
        const VwGpsRecord &record = m_records.at(int(index));
        if (record.valid && isInServiceArea(record)) {
            if (record.latitude == m_lastLatitude && record.longitude == m_lastLongitude
                && record.speed == m_lastSpeed)
                return QString();
            m_lastLatitude = record.latitude;
            m_lastLongitude = record.longitude;
            m_lastSpeed = record.speed;
            return moveScript(record.latitude, record.longitude);
        }
    }
    if (!showsCar())
        return QString();
    forgetCar();
    return clearCarScript();
}

void VwMapTrack::forgetCar()
{
    m_lastLatitude = kNoPosition;
    m_lastLongitude = kNoPosition;
    m_lastSpeed = kNoPosition;
}

QStringList VwMapTrack::restoreScripts()
{
    forgetCar();
    QStringList scripts;
    if (!m_routeScript.isEmpty())
        scripts.append(m_routeScript);
    if (m_hasReport) {
        const QString car = scriptForPosition(m_lastPosition, m_lastDuration);
        if (!car.isEmpty())
            scripts.append(car);
    }
    return scripts;
}
