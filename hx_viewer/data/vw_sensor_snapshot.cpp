#include "vw_sensor_snapshot.h"

#include "vw_video_item.h"

VwSensorSnapshot::VwSensorSnapshot(const VwVideoItem *item)
{
    if (!item || !item->sensorInfo)
        return;
    const VwSensorInfo &info = *item->sensorInfo;
    held = true;
    if (info.hasGps)
        gpsRecords = info.gpsRecords;
    gSamples = info.gSamples;
}
