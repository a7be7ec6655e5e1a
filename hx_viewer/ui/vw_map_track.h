#pragma once

#include "vw_format_mov.h"

#include <QString>
#include <QStringList>
#include <QVector>

// What the map page is told about the loaded recording: its route once, then
// the car as playback moves. It keeps its own copy of the GPS records (shared
// with the recording's, so the recording may go away at any time) and the
// position last sent, so that the page hears only of changes.
class VwMapTrack
{
public:
    static const QString &clearPathScript();
    static const QString &clearCarScript();
    // The recorder is sold for Japan: positions outside this box are lost
    // fixes (0/0 among them) and are never drawn.
    static bool isInServiceArea(const VwGpsRecord &record);
    // One drawPaths call holding every run of drawable records as a segment.
    static QString drawPathsScript(const QVector<VwGpsRecord> &records);
    static QString moveScript(double latitude, double longitude);
    // The name of the page function a script calls.
    static QString functionOf(const QString &script);

    // A recording was loaded: the script that draws its route, or clears the
    // map when it has no GPS records.
    QString load(const VwSensorInfo *info);
    // Playback stopped: no recording, and the map is cleared.
    QString unload();
    // The script that shows the car at the position, or empty when the page
    // already shows what it should (the same fix, or no car).
    QString scriptForPosition(qint64 position, qint64 duration);
    // The page lost its car: the next fix is sent whatever it is.
    void forgetCar();
    // What a fresh page needs to show the route and the car of the last
    // position report.
    QStringList restoreScripts();

    bool hasTelemetry() const { return m_hasTelemetry; }
    bool showsCar() const { return m_lastLatitude != kNoPosition; }

    static constexpr double kNoPosition = -9999.0;

private:
    bool m_hasTelemetry = false;
    QVector<VwGpsRecord> m_records;
    QString m_routeScript;
    double m_lastLongitude = kNoPosition;
    double m_lastLatitude = kNoPosition;
    double m_lastSpeed = kNoPosition;
    bool m_hasReport = false;
    qint64 m_lastPosition = 0;
    qint64 m_lastDuration = 0;
};
