#pragma once

#include <QByteArray>
#include <QList>
#include <QtEndian>

// Builds small ISO base-media files atom by atom, so that tests can describe
// exactly the layout, and the damage, that a case needs.
namespace movtest {

inline QByteArray be16(quint16 value)
{
    QByteArray bytes(2, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

inline QByteArray be32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

inline QByteArray be64(quint64 value)
{
    QByteArray bytes(8, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

inline QByteArray atom(const char *type, const QByteArray &payload)
{
    return be32(quint32(8 + payload.size())) + QByteArray(type, 4) + payload;
}

// The same atom with the 64-bit size form.
inline QByteArray wideAtom(const char *type, const QByteArray &payload)
{
    return be32(1) + QByteArray(type, 4) + be64(quint64(16 + payload.size())) + payload;
}

inline QByteArray fullAtom(const char *type, quint8 version, const QByteArray &payload)
{
    return atom(type, QByteArray(1, char(version)) + QByteArray(3, '\0') + payload);
}

inline QByteArray ftyp()
{
    return atom("ftyp", QByteArray("isom") + be32(0x200) + QByteArray("isomiso2mp41"));
}

inline QByteArray mvhd(quint32 timeScale, quint32 duration)
{
    return fullAtom("mvhd", 0, be32(0) + be32(0) + be32(timeScale) + be32(duration)
                                   + QByteArray(80, '\0'));
}

inline QByteArray mvhdVersion1(quint32 timeScale, quint64 duration)
{
    return fullAtom("mvhd", 1, be64(0) + be64(0) + be32(timeScale) + be64(duration)
                                   + QByteArray(80, '\0'));
}

inline QByteArray stsd(const char *format)
{
    const QByteArray entry = atom(format, QByteArray(6, '\0') + be16(1) + QByteArray(30, '\0'));
    return fullAtom("stsd", 0, be32(1) + entry);
}

// A text sample as ffmpeg writes it: the 16-bit length and the text, with no
// terminating zero.
inline QByteArray textSample(const QByteArray &text)
{
    return be16(quint16(text.size())) + text;
}

struct TextTrack
{
    QList<QByteArray> samples;  // whole samples, length field included
    bool constantSize = false;  // one stsz size for all (the largest)
    bool stsdFirst = true;      // stsd as the first child of stbl
    const char *format = "tx3g";
    QByteArray filler;          // bytes after every sample in mdat
    // Overrides applied after the tables are made; 0 keeps the real value.
    quint32 stszCount = 0;
    quint32 stszSize = 0;
    quint32 stcoCount = 0;
    quint32 firstChunkOffset = 0;
};

inline QByteArray trak(const QByteArray &stbl)
{
    return atom("trak", atom("tkhd", QByteArray(84, '\0'))
                            + atom("mdia", atom("mdhd", QByteArray(24, '\0'))
                                               + atom("minf", stbl)));
}

// stbl of a text track whose samples start at dataOffset, one per chunk.
inline QByteArray textStbl(const TextTrack &track, quint32 dataOffset)
{
    QByteArray sizes;
    QByteArray offsets;
    quint32 largest = 0;
    quint32 offset = dataOffset;
    for (const QByteArray &sample : track.samples) {
        sizes += be32(quint32(sample.size()));
        offsets += be32(offset);
        largest = qMax(largest, quint32(sample.size()));
        offset += quint32(sample.size() + track.filler.size());
    }
    if (track.firstChunkOffset && !offsets.isEmpty())
        offsets.replace(0, 4, be32(track.firstChunkOffset));
    const quint32 count = quint32(track.samples.size());
    const QByteArray stsz = track.constantSize
        ? fullAtom("stsz", 0, be32(track.stszSize ? track.stszSize : largest)
                                  + be32(track.stszCount ? track.stszCount : count))
        : fullAtom("stsz", 0, be32(track.stszSize) + be32(track.stszCount ? track.stszCount : count)
                                  + sizes);
    const QByteArray stco =
        fullAtom("stco", 0, be32(track.stcoCount ? track.stcoCount : count) + offsets);
    const QByteArray stts = fullAtom("stts", 0, be32(1) + be32(count) + be32(1000));
    const QByteArray description = stsd(track.format);
    const QByteArray children = track.stsdFirst ? description + stts + stsz + stco
                                                : stts + description + stsz + stco;
    return atom("stbl", children);
}

// ftyp, mdat with the samples, moov with mvhd and the text track (after an
// optional leading track).
inline QByteArray movie(const TextTrack &track, quint32 timeScale = 1000,
                        quint32 duration = 60500, const QByteArray &leadingTrak = QByteArray())
{
    const QByteArray head = ftyp();
    QByteArray data;
    for (const QByteArray &sample : track.samples)
        data += sample + track.filler;
    const QByteArray mdat = atom("mdat", data);
    const quint32 dataOffset = quint32(head.size() + 8);
    const QByteArray moov =
        atom("moov", mvhd(timeScale, duration) + leadingTrak + trak(textStbl(track, dataOffset)));
    return head + mdat + moov;
}

// One entry of a sample: x/VALID/LON/LAT/SPEED/A5/A6/A7.
inline QByteArray entry(const char *valid = "1", const char *lon = "139.7453",
                        const char *lat = "35.6585", const char *speed = "42",
                        const char *a5 = "10", const char *a6 = "00", const char *a7 = "F0")
{
    return QByteArray("x/") + valid + '/' + lon + '/' + lat + '/' + speed + '/' + a5 + '/' + a6
        + '/' + a7;
}

inline QByteArray sampleText(int entries, const QByteArray &first = entry(),
                             const QByteArray &others = entry())
{
    QByteArray text = first;
    for (int i = 1; i < entries; ++i)
        text += ',' + others;
    return text;
}

} // namespace movtest
