#include "vw_format_mov.h"

#include "hx_data_log.h"

#include <QtEndian>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr quint32 fourcc(const char (&code)[5])
{
    return (quint32(quint8(code[0])) << 24) | (quint32(quint8(code[1])) << 16)
        | (quint32(quint8(code[2])) << 8) | quint32(quint8(code[3]));
}

constexpr quint32 kMoov = fourcc("moov");
constexpr quint32 kMvhd = fourcc("mvhd");
constexpr quint32 kTrak = fourcc("trak");
constexpr quint32 kMdia = fourcc("mdia");
constexpr quint32 kMinf = fourcc("minf");
constexpr quint32 kStbl = fourcc("stbl");
constexpr quint32 kStsd = fourcc("stsd");
constexpr quint32 kStsz = fourcc("stsz");
constexpr quint32 kStco = fourcc("stco");

// Index of stbl in the telemetry path moov/trak/mdia/minf/stbl/stsd.
constexpr int kStblLevel = 4;

// The recorder pads text samples into buffers of this size.
constexpr quint32 kMinTextBuffer = 2048;

// Readings per second of the recorder's 41-entry samples, the highest rate a
// sample can yield.
constexpr int kMaxReadingsPerSecond = 40;

QByteArray typeName(quint32 type)
{
    QByteArray name(4, '\0');
    qToBigEndian(type, name.data());
    return name;
}

// A field of a text entry: the bytes between two separators.
struct Field
{
    const char *begin = nullptr;
    const char *end = nullptr;
};

// Whole-field integer in the given base; 0 when the field is not one.
int parseInt(const Field &field, int base)
{
    int value = 0;
    const auto result = std::from_chars(field.begin, field.end, value, base);
    return (result.ec == std::errc() && result.ptr == field.end) ? value : 0;
}

// One hexadecimal reading in 1/16 g: two-digit values above 1F are negative.
float decodeAcceleration(const Field &field)
{
    int raw = parseInt(field, 16);
    if (raw > 31)
        raw -= 256;
    return float(raw) * 0.0625f;
}

// Decimal degrees in single precision, independent of the C locale.
double decodeCoordinate(const Field &field)
{
    float value = 0.0f;
    const auto result = std::from_chars(field.begin, field.end, value);
    if (result.ec != std::errc() || result.ptr != field.end || !std::isfinite(value))
        return 0.0;
    return double(value);
}

float clampUnit(float value)
{
    if (std::isnan(value))
        return 1.0f;
    return std::clamp(value, -1.0f, 1.0f);
}

} // namespace

MOVFormat::MOVFormat(FILE *file, int mode, durationRecord *out, QList<QByteArray> *sampleTexts)
    : m_file(file)
{
    if (!m_file)
        return;
    // Reads go straight to the descriptor when there is one: stdio would
    // make a system call for every seek, and the reader seeks for nearly
    // every read.
    m_fd = fileno(m_file);
    struct stat status;
    if (m_fd >= 0 && fstat(m_fd, &status) == 0 && S_ISREG(status.st_mode)) {
        m_fileSize = status.st_size;
    } else {
        m_fd = -1;
        if (fseeko(m_file, 0, SEEK_END) != 0)
            return;
        m_fileSize = qMax<qint64>(0, ftello(m_file));
    }

    if (mode == MODE_DURATION)
        readDuration(out);
    else if (mode == MODE_TELEMETRY)
        readTelemetry(sampleTexts);
}

bool MOVFormat::readMovieDuration(FILE *file, durationRecord *out)
{
    durationRecord record;
    MOVFormat reader(file, MODE_DURATION, &record);
    if (out)
        *out = record;
    return record.found == 1;
}

void MOVFormat::setPath(std::initializer_list<quint32> types, const char *format)
{
    m_pathLength = 0;
    for (quint32 type : types) {
        m_path[m_pathLength] = type;
        m_atomOffset[m_pathLength] = 0;
        m_atomSize[m_pathLength] = 0;
        ++m_pathLength;
    }
    m_found = false;
    qstrncpy(m_format, format ? format : "", sizeof m_format);
}

bool MOVFormat::fetch(qint64 offset, char *buffer, qint64 size)
{
    fetchedBytes += quint64(size);
    if (m_fd >= 0) {
        qint64 done = 0;
        while (done < size) {
            const ssize_t got = pread(m_fd, buffer + done, size_t(size - done), off_t(offset + done));
            if (got <= 0)
                return false;
            done += got;
        }
        return true;
    }
    if (fseeko(m_file, offset, SEEK_SET) != 0)
        return false;
    return std::fread(buffer, 1, size_t(size), m_file) == size_t(size);
}

// Small reads are served from one block read ahead at their offset: the
// atom headers of a level and the tables of a stbl lie close together.
bool MOVFormat::readAt(qint64 offset, void *buffer, qint64 size, quint64 *counter, bool readAhead)
{
    if (offset < 0 || size < 0 || offset > m_fileSize || size > m_fileSize - offset)
        return false;
    *counter += quint64(size);
    if (offset >= m_blockOffset && offset + size <= m_blockOffset + m_block.size()) {
        std::memcpy(buffer, m_block.constData() + (offset - m_blockOffset), size_t(size));
        return true;
    }
    if (!readAhead || size > kBlockSize)
        return fetch(offset, static_cast<char *>(buffer), size);

    const qint64 blockSize = std::min<qint64>(kBlockSize, m_fileSize - offset);
    m_block.resize(int(blockSize));
    if (!fetch(offset, m_block.data(), blockSize)) {
        m_block.clear();
        return false;
    }
    m_blockOffset = offset;
    std::memcpy(buffer, m_block.constData(), size_t(size));
    return true;
}

bool MOVFormat::readU32(qint64 offset, quint32 *value)
{
    uchar bytes[4];
    if (!readAt(offset, bytes, 4, &headerBytesRead))
        return false;
    *value = qFromBigEndian<quint32>(bytes);
    return true;
}

// Searches [start, start + length) for the atom path from level depth on. Each
// atom must lie inside the range it was found in, so the walk never leaves
// its parent or the file and always moves forward.
void MOVFormat::findAtomPath(qint64 start, qint64 length, int depth)
{
    if (m_found || depth >= m_pathLength || depth >= kMaxPathDepth)
        return;
    const qint64 end = qMin(start + qMax<qint64>(0, length), m_fileSize);

    qint64 off = start;
    while (!m_found && off < end) {
        quint32 size32 = 0;
        if (end - off < 4 || !readU32(off, &size32))
            return;
        if (size32 == 0) {
            quint32 type = 0;
            if (end - off >= 8 && readU32(off + 4, &type))
                qCInfo(lcHxData) << "ZERO ATOM:" << typeName(type);
            return;
        }
        quint32 type = 0;
        if (end - off < 8 || !readU32(off + 4, &type))
            return;

        qint64 headerSize = 8;
        quint64 size = size32;
        if (size32 == 1) {
            uchar wide[8];
            if (end - off < 16 || !readAt(off + 8, wide, 8, &headerBytesRead))
                return;
            size = qFromBigEndian<quint64>(wide);
            headerSize = 16;
        }
        if (size < quint64(headerSize) || size > quint64(end - off)) {
            qCDebug(lcHxData) << "MOVFormat::findAtomPath" << "atom" << typeName(type)
                              << "at" << off << "size" << size << "does not fit in" << end;
            return;
        }

        if (type == m_path[depth]) {
            m_atomOffset[depth] = off;
            m_atomSize[depth] = qint64(size);
            m_atomHeader[depth] = headerSize;
            if (depth == m_pathLength - 1) {
                if (!m_format[0]) {
                    m_found = true;
                    return;
                }
                if (type == kStsd) {
                    // Version and flags, entry count and the first description's
                    // size come before its format.
                    const qint64 formatOffset = off + headerSize + 12;
                    const qint64 available = off + qint64(size) - formatOffset;
                    const qint64 nameLength = qint64(qstrlen(m_format));
                    char format[10] = {};
                    if (available >= nameLength
                        && readAt(formatOffset, format, nameLength, &headerBytesRead)
                        && memcmp(format, m_format, size_t(nameLength)) == 0) {
                        m_found = true;
                        return;
                    }
                }
            }
            const qint64 skip = headerSize + (type == kStsd ? 8 : 0);
            findAtomPath(off + skip, qint64(size) - skip, depth + 1);
        }
        off += qint64(size);
    }
}

void MOVFormat::readDuration(durationRecord *out)
{
    setPath({kMoov, kMvhd}, nullptr);
    findAtomPath(0, m_fileSize, 0);
    if (!m_found || !out)
        return;

    const qint64 payload = m_atomOffset[1] + m_atomHeader[1];
    const qint64 atomEnd = m_atomOffset[1] + m_atomSize[1];

    uchar header[32];
    if (payload + 4 > atomEnd || !readAt(payload, header, 4, &headerBytesRead))
        return;
    // Version 1 headers hold 64-bit times; ours are version 0 but a long
    // recording re-muxed elsewhere may not be.
    const bool wide = header[0] == 1;
    const qint64 fieldsSize = wide ? 28 : 16;
    if (payload + 4 + fieldsSize > atomEnd
        || !readAt(payload + 4, header + 4, fieldsSize, &headerBytesRead))
        return;

    quint32 timeScale = 0;
    quint64 duration = 0;
    if (wide) {
        timeScale = qFromBigEndian<quint32>(header + 20);
        duration = qFromBigEndian<quint64>(header + 24);
    } else {
        timeScale = qFromBigEndian<quint32>(header + 12);
        duration = qFromBigEndian<quint32>(header + 16);
    }

    double ms = timeScale ? std::trunc(double(duration) * 1000.0 / double(timeScale)) : 0.0;
    ms = std::min(ms, double(std::numeric_limits<quint32>::max()));
    out->found = 1;
    out->durationMs = quint32(ms);
    out->indexLast = m_atomOffset[0] + m_atomSize[0] == m_fileSize;
}

void MOVFormat::readTelemetry(QList<QByteArray> *sampleTexts)
{
    gpsRecords.clear();
    gSamples.clear();
    entriesPerSampleMinusOne = -1;

    // One sample a second: samples past the movie's length are never shown,
    // so a table that claims millions of them (or points every entry at the
    // same sample) costs no more than the movie's own seconds.
    durationRecord movie;
    readDuration(&movie);
    const qint64 usableSamples = movie.found
        ? std::min<qint64>((qint64(movie.durationMs) + 999) / 1000, VwSensorInfo::kMaxFitSeconds)
        : VwSensorInfo::kMaxFitSeconds;

    setPath({kMoov, kTrak, kMdia, kMinf, kStbl, kStsd}, "tx3g");
    findAtomPath(0, m_fileSize, 0);
    if (!m_found || m_atomOffset[kStblLevel] == 0 || m_atomSize[kStblLevel] == 0)
        return;
    const qint64 stblOffset = m_atomOffset[kStblLevel];
    const qint64 stblSize = m_atomSize[kStblLevel];

    setPath({kStbl, kStsz}, nullptr);
    findAtomPath(stblOffset, stblSize, 0);
    if (!m_found)
        return;
    const qint64 stsz = m_atomOffset[1] + m_atomHeader[1];
    const qint64 stszEnd = m_atomOffset[1] + m_atomSize[1];
    quint32 sampleSize = 0;
    quint32 sampleCount = 0;
    if (stsz + 12 > stszEnd || !readU32(stsz + 4, &sampleSize) || !readU32(stsz + 8, &sampleCount))
        return;
    if (sampleSize == 0 && sampleCount == 0)
        return;

    QVector<quint32> sampleSizes;
    if (sampleSize == 0) {
        const qint64 tableCount = std::min<qint64>({sampleCount, (stszEnd - (stsz + 12)) / 4, usableSamples});
        QByteArray table(int(tableCount * 4), Qt::Uninitialized);
        if (!readAt(stsz + 12, table.data(), table.size(), &headerBytesRead))
            return;
        sampleSizes.resize(int(tableCount));
        for (int i = 0; i < sampleSizes.size(); ++i)
            sampleSizes[i] = qFromBigEndian<quint32>(table.constData() + 4 * i);
    }

    setPath({kStbl, kStco}, nullptr);
    findAtomPath(stblOffset, stblSize, 0);
    if (!m_found)
        return;
    const qint64 stco = m_atomOffset[1] + m_atomHeader[1];
    const qint64 stcoEnd = m_atomOffset[1] + m_atomSize[1];
    quint32 entryCount = 0;
    if (stco + 8 > stcoEnd || !readU32(stco + 4, &entryCount))
        return;
    qint64 chunkCount = std::min<qint64>({entryCount, (stcoEnd - (stco + 8)) / 4, usableSamples});
    if (sampleSize == 0)
        chunkCount = qMin<qint64>(chunkCount, sampleSizes.size());

    QByteArray offsets(int(chunkCount * 4), Qt::Uninitialized);
    if (!readAt(stco + 8, offsets.data(), offsets.size(), &headerBytesRead))
        return;

    // A recording holds one sample a second; reserve for up to an hour.
    const int expected = int(std::min<qint64>(chunkCount, 3600));
    gpsRecords.reserve(expected);
    gSamples.reserve(expected * kMaxReadingsPerSecond);

    QByteArray buffer;
    for (int k = 0; k < int(chunkCount); ++k) {
        const quint32 size = sampleSize ? sampleSize : sampleSizes.at(k);
        const qint64 offset = qFromBigEndian<quint32>(offsets.constData() + 4 * k);
        const qint64 room = m_fileSize - offset;
        if (room < 2) {
            qCDebug(lcHxData) << "MOVFormat::readTelemetry" << "sample" << k << "at" << offset
                              << "lies past the end of the file";
            continue;
        }
        const qint64 wanted = std::min<qint64>(std::max(size, kMinTextBuffer), kMaxTextSampleBytes);
        const qint64 length = std::min<qint64>(wanted, room);
        if (buffer.size() < int(wanted))
            buffer.resize(int(wanted));
        // Text samples lie apart, between the video frames: no read-ahead.
        if (!readAt(offset, buffer.data(), length, &sampleBytesRead, false))
            continue;

        // The text runs to the first zero byte within the bytes read.
        // Writers that fill in the 16-bit text length (ffmpeg among them) do
        // not zero-terminate, so the length, when given, ends the text before
        // the bytes that follow the sample.
        const int textLength = qFromBigEndian<quint16>(buffer.constData());
        const char *text = buffer.constData() + 2;
        const int available = int(length) - 2;
        const int searched = (textLength > 0 && textLength < available) ? textLength : available;
        const void *zero = std::memchr(text, '\0', size_t(searched));
        const int textEnd = zero ? int(static_cast<const char *>(zero) - text) : searched;
        if (sampleTexts)
            sampleTexts->append(QByteArray(text, textEnd));
        processSubtitle(text, textEnd);
    }
}

// One text sample holds the readings of one second: entry 0 is taken at the
// start of the second and the last entry at its end, which is also entry 0 of
// the next sample. The GPS record of the second comes from entry 0, and the
// acceleration readings from every entry but the last, so that a sample
// yields exactly one GPS record and entries - 1 readings.
void MOVFormat::processSubtitle(const char *text, int length)
{
    const char *const end = text + length;
    // Where each entry starts, for the entries that can be decoded.
    constexpr int kMaxEntries = 41;
    const char *entryStart[kMaxEntries + 1];
    entryStart[0] = text;
    int entryCount = 1;
    for (const char *comma = text;
         (comma = static_cast<const char *>(std::memchr(comma, ',', size_t(end - comma))));
         ++comma) {
        if (entryCount <= kMaxEntries)
            entryStart[entryCount] = comma + 1;
        ++entryCount;
    }
    if (entriesPerSampleMinusOne < 1)
        entriesPerSampleMinusOne = entryCount - 1;

    if (entryCount != 41 && entryCount != 11) {
        qCInfo(lcHxData) << "!!!!!!!!!!!!!!!:" << QByteArray(text, length) << entryCount << "!=41,11"
                         << "[" << "..\\hx_viewer\\data\\vw_format_mov"
                         << "MOVFormat::process_subtitle" << 588 << "]";
        return;
    }

    const int readings = std::min(entriesPerSampleMinusOne, entryCount - 1);
    const bool wideLayout = entriesPerSampleMinusOne >= 40;
    for (int i = 0; i < readings; ++i) {
        // Every entry decoded is followed by another, so it ends at a comma.
        const char *const entryEnd = entryStart[i + 1] - 1;
        Field fields[8];
        int fieldCount = 0;
        const char *field = entryStart[i];
        for (const char *c = field; c <= entryEnd; ++c) {
            if (c == entryEnd || *c == '/') {
                if (fieldCount < 8)
                    fields[fieldCount] = {field, c};
                ++fieldCount;
                field = c + 1;
            }
        }
        if (fieldCount != 8)
            continue;

        if (i == 0) {
            VwGpsRecord record;
            record.valid = fields[1].end - fields[1].begin == 1 && *fields[1].begin == '1';
            record.longitude = decodeCoordinate(fields[2]);
            record.latitude = decodeCoordinate(fields[3]);
            record.speed = parseInt(fields[4], 10);
            gpsRecords.append(record);
        }

        const float a5 = decodeAcceleration(fields[5]);
        const float a6 = decodeAcceleration(fields[6]);
        const float a7 = decodeAcceleration(fields[7]);
        VwGSensorSample sample;
        if (wideLayout) {
            sample.x = a6;
            sample.y = a7;
            sample.z = a5;
        } else {
            sample.x = a5;
            sample.y = a7;
            sample.z = a6;
        }
        gSamples.append(sample);
    }
}

VwSensorInfo::VwSensorInfo(FILE *file, int kind)
{
    if (kind != KIND_MOV || !file)
        return;

    MOVFormat reader(file, MOVFormat::MODE_TELEMETRY);
    // A damaged first sample may claim any rate; no sample yields more than
    // 40 readings, and fitToDuration pads by this value.
    gPerSecond = std::min(reader.entriesPerSampleMinusOne, kMaxReadingsPerSecond);
    if (reader.gpsRecords.isEmpty())
        return;

    gpsRecords = std::move(reader.gpsRecords);
    gpsCount = quint32(gpsRecords.size());
    hasGps = true;

    gSamples = std::move(reader.gSamples);
    for (VwGSensorSample &sample : gSamples) {
        sample.x = clampUnit(sample.x);
        sample.y = clampUnit(sample.y);
        sample.z = clampUnit(sample.z);
    }
    gCount = quint32(gSamples.size());

    const bool anyValid = std::any_of(gpsRecords.cbegin(), gpsRecords.cend(),
                                      [](const VwGpsRecord &record) { return record.valid; });
    if (!anyValid) {
        // The count follows the array so that no reader can index records
        // that are not there.
        hasGps = false;
        gpsRecords.clear();
        gpsCount = 0;
    }
}

qint64 VwSensorInfo::recordIndex(qint64 positionMs, qint64 durationMs, qint64 count)
{
    if (durationMs <= 0)
        return -1;
    const double fraction = double(std::max<qint64>(positionMs, 0)) / double(durationMs);
    const double index = double(std::max<qint64>(count, 0)) * fraction;
    // A position far past the end of a damaged recording must not overflow.
    if (!(index < double(std::numeric_limits<qint64>::max() / 2)))
        return std::numeric_limits<qint64>::max() / 2;
    return qint64(index);
}

void VwSensorInfo::fitToDuration(qint64 durationMs)
{
    const qint64 seconds = std::clamp<qint64>(durationMs / 1000, 0, kMaxFitSeconds);

    if (!gpsRecords.isEmpty()) {
        gpsRecords.resize(int(seconds));
        gpsCount = quint32(gpsRecords.size());
        hasGps = !gpsRecords.isEmpty();
    }
    if (!gSamples.isEmpty() && gPerSecond > 0) {
        gSamples.resize(int(seconds * gPerSecond));
        gCount = quint32(gSamples.size());
    }
}
