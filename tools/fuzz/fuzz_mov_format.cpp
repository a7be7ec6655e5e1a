// Feeds arbitrary bytes to the telemetry reader the way the program reads a
// recording: movie duration, telemetry track, holder build and fitting.

#include "vw_format_mov.h"

#include <QLoggingCategory>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("hx.data.info=false\nhx.data.debug=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (!file)
        return 0;

    MOVFormat::durationRecord record;
    MOVFormat::readMovieDuration(file, &record);
    VwSensorInfo info(file, VwSensorInfo::KIND_MOV);
    // Padding to a damaged header's day-long duration is bounded and tested
    // by the corpus replay; here it would only slow every run down.
    info.fitToDuration(qMin<qint64>(record.durationMs, 3600 * 1000));
    std::fclose(file);

    if (info.gpsCount != quint32(info.gpsRecords.size())
        || info.gCount != quint32(info.gSamples.size()))
        __builtin_trap();
    for (const VwGSensorSample &sample : info.gSamples) {
        if (!(sample.x >= -1.0f && sample.x <= 1.0f && sample.y >= -1.0f && sample.y <= 1.0f
              && sample.z >= -1.0f && sample.z <= 1.0f))
            __builtin_trap();
    }
    return 0;
}
