#pragma once

#include "vw_format_mov.h"

#include <QVector>

class VwVideoItem;

// A telemetry view's own share of the series of the recording being played.
// The player lets go of its recording in stop() but announces the stop only
// once both cameras have stopped, and a list rebuild can destroy the record
// in between; a view that pointed into the record would then read freed
// memory on the next position report. The copies are implicitly shared, so
// taking one copies no records.
class VwSensorSnapshot
{
public:
    VwSensorSnapshot() = default;
    // The telemetry of `item`; nothing is held without an item or when its
    // telemetry was never read.
    explicit VwSensorSnapshot(const VwVideoItem *item);

    // Whether the GPS records can be shown: they are kept only when at least
    // one of them has a fix.
    bool hasGps() const { return !gpsRecords.isEmpty(); }

    // Set while a recording's telemetry is held, with or without GPS records
    // and readings.
    bool held = false;
    QVector<VwGpsRecord> gpsRecords;
    QVector<VwGSensorSample> gSamples;
};
