#pragma once

#include <QByteArray>
#include <QList>
#include <QVector>
#include <QtGlobal>

#include <cstdio>
#include <initializer_list>

// One GPS record of the recorder's telemetry track. The date and time fields
// carry the fix time in UTC when it is known; year 0 means "not known".
struct VwGpsRecord
{
    quint16 year = 0;
    quint8 month = 0;
    quint8 day = 0;
    quint8 hour = 0;
    quint8 minute = 0;
    quint8 second = 0;
    double latitude = 0.0;
    double longitude = 0.0;
    double speed = 0.0;
    bool valid = false;
};

// One acceleration reading in g, each axis within -1.0 ... 1.0 once stored
// in a VwSensorInfo.
struct VwGSensorSample
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Reader of the recorder's MP4/MOV files: walks the atoms with seeks and
// small reads, and either reads the movie duration (mode 1) or decodes the
// tx3g telemetry track (mode 0). The file is owned by the caller. Every size,
// count and offset taken from the file is checked against the file size and
// the enclosing atom before it is used, so a damaged or hostile file gives
// what could be decoded up to the damage and nothing more.
class MOVFormat
{
public:
    enum Mode {
        MODE_TELEMETRY = 0,
        MODE_DURATION = 1,
    };

    struct durationRecord
    {
        quint32 found = 0;
        quint32 durationMs = 0;
        // The movie atom ends the file, as the recorder writes it: then every
        // atom before it, the sample data among them, was found whole.
        bool indexLast = false;
    };

    // Runs the mode at once. In telemetry mode the decoded text of every
    // sample is appended to sampleTexts when it is given.
    MOVFormat(FILE *file, int mode, durationRecord *out = nullptr,
              QList<QByteArray> *sampleTexts = nullptr);

    MOVFormat(const MOVFormat &) = delete;
    MOVFormat &operator=(const MOVFormat &) = delete;

    static bool readMovieDuration(FILE *file, durationRecord *out);

    // Telemetry output, taken over by VwSensorInfo.
    QVector<VwGpsRecord> gpsRecords;
    QVector<VwGSensorSample> gSamples;
    int entriesPerSampleMinusOne = -1;

    // Bytes asked of the file for atom headers and tables, and for the text
    // samples; the benchmark reports them.
    quint64 headerBytesRead = 0;
    quint64 sampleBytesRead = 0;
    // Bytes actually read from the file, read-ahead included.
    quint64 fetchedBytes = 0;

    // Longest text sample read. The text length is a 16-bit field, so no
    // sample can be longer than this whatever its table entry says.
    static constexpr quint32 kMaxTextSampleBytes = 0xFFFF + 2;
    static constexpr int kMaxPathDepth = 10;

private:
    void readDuration(durationRecord *out);
    void readTelemetry(QList<QByteArray> *sampleTexts);
    void processSubtitle(const char *text, int length);

    void setPath(std::initializer_list<quint32> types, const char *format);
    void findAtomPath(qint64 start, qint64 length, int depth);
    bool readAt(qint64 offset, void *buffer, qint64 size, quint64 *counter, bool readAhead = true);
    bool readU32(qint64 offset, quint32 *value);
    bool fetch(qint64 offset, char *buffer, qint64 size);

    static constexpr qint64 kBlockSize = 4096;

    FILE *m_file = nullptr;
    int m_fd = -1;
    qint64 m_fileSize = 0;
    QByteArray m_block;
    qint64 m_blockOffset = 0;

    quint32 m_path[kMaxPathDepth] = {};
    qint64 m_atomOffset[kMaxPathDepth] = {};
    qint64 m_atomSize[kMaxPathDepth] = {};
    qint64 m_atomHeader[kMaxPathDepth] = {};
    int m_pathLength = 0;
    bool m_found = false;
    char m_format[10] = {};
};

// The telemetry of one recording: one GPS record per second of video and
// gPerSecond acceleration samples per second once fitted to the duration.
class VwSensorInfo
{
public:
    enum Kind {
        KIND_OTHER = 0,
        KIND_MOV = 1,
    };

    VwSensorInfo() = default;
    // kind KIND_MOV reads the telemetry of the open file; any other kind
    // leaves the holder empty.
    VwSensorInfo(FILE *file, int kind);

    void fitToDuration(qint64 durationMs);

    // Index of the record (or reading) that stands at `positionMs` in a
    // recording `durationMs` long whose `count` entries are spread evenly
    // over it: trunc(count * position / duration). A negative position counts
    // as 0. The result may reach or pass `count` at and after the end; each
    // view decides what it shows there. -1 when the duration gives no
    // fraction (0 or less). Every telemetry view goes through this one
    // function so that the graph, the panels and the map never disagree.
    static qint64 recordIndex(qint64 positionMs, qint64 durationMs, qint64 count);

    bool hasGps = false;
    int gPerSecond = -1;
    quint32 gpsCount = 0;
    quint32 gCount = 0;
    QVector<VwGSensorSample> gSamples;
    QVector<VwGpsRecord> gpsRecords;

    // Upper bound of the padding that fitToDuration adds: a day of video,
    // far above any recording, so that a damaged movie header cannot make
    // the holder allocate gigabytes of empty records.
    static constexpr qint64 kMaxFitSeconds = 24 * 3600;
};
