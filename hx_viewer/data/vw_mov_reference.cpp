#include "vw_mov_reference.h"

#include "hx_data_log.h"
#include "vw_atom.h"
#include "vw_mov_damage.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <map>

namespace {

constexpr quint32 kTrak = VwAtom::code("trak");
constexpr quint32 kTkhd = VwAtom::code("tkhd");
constexpr quint32 kMdia = VwAtom::code("mdia");
constexpr quint32 kMdhd = VwAtom::code("mdhd");
constexpr quint32 kHdlr = VwAtom::code("hdlr");
constexpr quint32 kMinf = VwAtom::code("minf");
constexpr quint32 kDinf = VwAtom::code("dinf");
constexpr quint32 kStbl = VwAtom::code("stbl");
constexpr quint32 kStsd = VwAtom::code("stsd");
constexpr quint32 kStts = VwAtom::code("stts");
constexpr quint32 kStsz = VwAtom::code("stsz");
constexpr quint32 kEdts = VwAtom::code("edts");
constexpr quint32 kElst = VwAtom::code("elst");

// Track header fields after the duration: reserved, layer, alternate group,
// volume, reserved, matrix, width and height.
constexpr int kTrackTailSize = 60;

QByteArray bytesOf(const QByteArray &bytes, const VwAtom &atom)
{
    return atom.isValid() ? bytes.mid(atom.offset, atom.size) : QByteArray();
}

// A child atom of a sample description, found by its type and checked to lie
// inside the description: sample entries differ in the fields that come
// before their children (QuickTime sound descriptions even nest them in a
// wave atom), so the children are not walked from a fixed offset.
VwAtom findInside(const QByteArray &bytes, int begin, int end, quint32 type)
{
    char code[4];
    qToBigEndian(type, code);
    for (int at = bytes.indexOf(QByteArray(code, 4), begin + 4); at >= 0 && at + 4 <= end;
         at = bytes.indexOf(QByteArray(code, 4), at + 1)) {
        const int start = at - 4;
        const quint32 size = vwReadU32(bytes, start);
        if (size >= 8 && qint64(start) + size <= end) {
            VwAtom atom;
            atom.type = type;
            atom.offset = start;
            atom.header = 8;
            atom.size = int(size);
            return atom;
        }
    }
    return {};
}

// Length of an MPEG-4 descriptor: up to four bytes of seven bits each.
bool readDescriptor(const QByteArray &bytes, int *pos, int end, int *tag, int *length)
{
    if (*pos >= end)
        return false;
    *tag = quint8(bytes.at(*pos));
    ++*pos;
    *length = 0;
    for (int i = 0; i < 4; ++i) {
        if (*pos >= end)
            return false;
        const quint8 byte = quint8(bytes.at(*pos));
        ++*pos;
        *length = (*length << 7) | (byte & 0x7f);
        if (!(byte & 0x80))
            break;
    }
    return *length <= end - *pos;
}

// The AudioSpecificConfig inside an esds atom.
QByteArray audioSpecificConfig(const QByteArray &bytes, const VwAtom &esds)
{
    int pos = esds.payload() + 4;
    int end = esds.end();
    int tag = 0;
    int length = 0;
    while (readDescriptor(bytes, &pos, end, &tag, &length)) {
        const int next = pos + length;
        if (tag == 0x03) {
            // ES_ID, then flags for the optional fields that follow.
            if (length < 3)
                return {};
            const quint8 flags = quint8(bytes.at(pos + 2));
            pos += 3;
            if (flags & 0x80)
                pos += 2;
            if ((flags & 0x40) && pos < next)
                pos += 1 + quint8(bytes.at(pos));
            if (flags & 0x20)
                pos += 2;
            end = next;
        } else if (tag == 0x04) {
            // Object type, stream type, buffer size and bit rates.
            pos += 13;
            end = next;
        } else if (tag == 0x05) {
            return bytes.mid(pos, length);
        } else {
            pos = next;
        }
    }
    return {};
}

quint32 mostFrequentDelta(const QByteArray &bytes, const VwAtom &stts)
{
    if (!stts.isValid())
        return 0;
    const quint32 count = vwReadU32(bytes, stts.payload() + 4);
    std::map<quint32, quint64> totals;
    for (quint32 i = 0; i < count; ++i) {
        const int at = stts.payload() + 8 + int(i) * 8;
        if (at + 8 > stts.end())
            break;
        totals[vwReadU32(bytes, at + 4)] += vwReadU32(bytes, at);
    }
    quint32 best = 0;
    quint64 bestCount = 0;
    for (const auto &entry : totals) {
        if (entry.first > 0 && entry.second > bestCount) {
            best = entry.first;
            bestCount = entry.second;
        }
    }
    return best;
}

void readSampleSizes(const QByteArray &bytes, const VwAtom &stsz, VwMovReference::Track *track)
{
    if (!stsz.isValid())
        return;
    track->constantSampleSize = vwReadU32(bytes, stsz.payload() + 4);
    if (track->constantSampleSize) {
        track->maxSampleSize = track->constantSampleSize;
        return;
    }
    const quint32 count = vwReadU32(bytes, stsz.payload() + 8);
    for (quint32 i = 0; i < count; ++i) {
        const int at = stsz.payload() + 12 + int(i) * 4;
        if (at + 4 > stsz.end())
            break;
        track->maxSampleSize = qMax(track->maxSampleSize, vwReadU32(bytes, at));
    }
}

// Media time of the first edit that shows media (an empty edit has -1).
qint64 editMediaTime(const QByteArray &bytes, const VwAtom &elst)
{
    if (!elst.isValid())
        return 0;
    const bool wide = quint8(bytes.at(elst.payload())) == 1;
    const quint32 count = vwReadU32(bytes, elst.payload() + 4);
    const int entrySize = wide ? 20 : 12;
    for (quint32 i = 0; i < count; ++i) {
        const int at = elst.payload() + 8 + int(i) * entrySize;
        if (at + entrySize > elst.end())
            break;
        const qint64 time = wide ? qint64(vwReadU64(bytes, at + 8)) : qint32(vwReadU32(bytes, at + 4));
        if (time >= 0)
            return time;
    }
    return 0;
}

bool readTrack(const QByteArray &bytes, const VwAtom &trak, VwMovReference::Track *track)
{
    const VwAtom tkhd = VwAtom::child(bytes, trak, kTkhd);
    const VwAtom mdhd = VwAtom::path(bytes, trak, {kMdia, kMdhd});
    const VwAtom hdlr = VwAtom::path(bytes, trak, {kMdia, kHdlr});
    const VwAtom minf = VwAtom::path(bytes, trak, {kMdia, kMinf});
    const VwAtom stbl = VwAtom::child(bytes, minf, kStbl);
    const VwAtom stsd = VwAtom::child(bytes, stbl, kStsd);
    if (!tkhd.isValid() || !mdhd.isValid() || !hdlr.isValid() || !stsd.isValid())
        return false;

    const bool tkhdWide = quint8(bytes.at(tkhd.payload())) == 1;
    const int tailAt = tkhd.payload() + (tkhdWide ? 36 : 24);
    if (tailAt + kTrackTailSize > tkhd.end())
        return false;
    track->trackFlags = vwReadU32(bytes, tkhd.payload()) & 0xffffff;
    track->trackTail = bytes.mid(tailAt, kTrackTailSize);

    const bool mdhdWide = quint8(bytes.at(mdhd.payload())) == 1;
    const int scaleAt = mdhd.payload() + (mdhdWide ? 20 : 12);
    const int languageAt = scaleAt + (mdhdWide ? 12 : 8);
    if (languageAt + 2 > mdhd.end())
        return false;
    track->timeScale = vwReadU32(bytes, scaleAt);
    track->language = vwReadU16(bytes, languageAt);
    if (track->timeScale == 0)
        return false;

    track->handler = bytesOf(bytes, hdlr);
    for (const VwAtom &atom : VwAtom::list(bytes, minf.payload(), minf.end())) {
        if (atom.type == VwAtom::code("vmhd") || atom.type == VwAtom::code("smhd")
            || atom.type == VwAtom::code("nmhd") || atom.type == VwAtom::code("gmhd")
            || atom.type == VwAtom::code("sthd")) {
            track->mediaHeader = bytesOf(bytes, atom);
            break;
        }
    }
    track->dataInformation = bytesOf(bytes, VwAtom::child(bytes, minf, kDinf));
    track->sampleDescriptions = bytesOf(bytes, stsd);
    track->sampleDelta = mostFrequentDelta(bytes, VwAtom::child(bytes, stbl, kStts));
    readSampleSizes(bytes, VwAtom::child(bytes, stbl, kStsz), track);
    track->editMediaTime = editMediaTime(bytes, VwAtom::path(bytes, trak, {kEdts, kElst}));

    // The first sample description: version, flags and count, then the entry.
    const int entryAt = stsd.payload() + 8;
    const quint32 entrySize = vwReadU32(bytes, entryAt);
    if (entrySize < 8 || qint64(entryAt) + entrySize > stsd.end())
        return false;
    const int entryEnd = entryAt + int(entrySize);
    track->format = vwReadU32(bytes, entryAt + 4);

    if (track->format == VwAtom::code("avc1") || track->format == VwAtom::code("avc3")) {
        const VwAtom avcC = findInside(bytes, entryAt + 8, entryEnd, VwAtom::code("avcC"));
        if (avcC.isValid()) {
            track->kind = VwMovReference::KIND_VIDEO;
            track->codecConfig = bytes.mid(avcC.payload(), avcC.payloadSize());
        }
    } else if (track->format == VwAtom::code("mp4a")) {
        const VwAtom esds = findInside(bytes, entryAt + 8, entryEnd, VwAtom::code("esds"));
        if (esds.isValid()) {
            track->codecConfig = audioSpecificConfig(bytes, esds);
            if (!track->codecConfig.isEmpty())
                track->kind = VwMovReference::KIND_AUDIO;
        }
    } else if (track->format == VwAtom::code("tx3g")) {
        track->kind = VwMovReference::KIND_TEXT;
    }
    return true;
}

QChar cameraOf(const QString &path)
{
    const QString base = QFileInfo(path).baseName().toUpper();
    return base.isEmpty() ? QChar() : base.back();
}

} // namespace

bool VwMovReference::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return load(&file, error);
}

bool VwMovReference::load(QIODevice *device, QString *error)
{
    tracks.clear();
    fileType.clear();
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };

    const VwMovDamage::Layout layout = VwMovDamage::inspect(device);
    if (layout.moovOffset < 0 || !layout.moovComplete)
        return fail(QStringLiteral("no movie index"));
    if (layout.moovSize > kMaxIndexBytes)
        return fail(QStringLiteral("movie index too large"));
    if (!device->seek(layout.moovOffset))
        return fail(device->errorString());
    const QByteArray bytes = device->read(layout.moovSize);
    if (bytes.size() != layout.moovSize)
        return fail(QStringLiteral("movie index cannot be read"));
    if (layout.ftypOffset >= 0 && layout.ftypSize <= 4096 && device->seek(layout.ftypOffset))
        fileType = device->read(layout.ftypSize);

    const QList<VwAtom> top = VwAtom::list(bytes, 0, bytes.size());
    if (top.isEmpty())
        return fail(QStringLiteral("no movie index"));
    for (const VwAtom &atom : VwAtom::list(bytes, top.first().payload(), top.first().end())) {
        Track track;
        if (atom.type == kTrak && readTrack(bytes, atom, &track))
            tracks.append(track);
    }
    if (!track(KIND_VIDEO) && !track(KIND_AUDIO))
        return fail(QStringLiteral("no H.264 or AAC track"));
    return true;
}

const VwMovReference::Track *VwMovReference::track(Kind kind) const
{
    for (const Track &candidate : tracks) {
        if (candidate.kind == kind)
            return &candidate;
    }
    return nullptr;
}

QString VwMovReference::find(const QString &damagedPath, const QStringList &candidates)
{
    const QFileInfo damaged(damagedPath);
    const QChar camera = cameraOf(damagedPath);
    const QString suffix = damaged.suffix().toUpper();
    int type = VwVideoItem::TYPE_NONE;
    const QDateTime when = VwVideoItem::parseRecordingDateTime(
        VwVideoItem::parseRecordingName(damagedPath, &type));

    struct Candidate
    {
        QString path;
        bool otherFolder;
        bool otherSuffix;
        qint64 distance;
    };
    std::vector<Candidate> ordered;
    for (const QString &path : candidates) {
        const QFileInfo info(path);
        if (info.absoluteFilePath() == damaged.absoluteFilePath() || cameraOf(path) != camera)
            continue;
        const QDateTime time = VwVideoItem::parseRecordingDateTime(
            VwVideoItem::parseRecordingName(path, &type));
        if (type == VwVideoItem::TYPE_NONE)
            continue;
        const qint64 distance = (when.isValid() && time.isValid())
            ? qAbs(when.msecsTo(time)) : std::numeric_limits<qint64>::max();
        ordered.push_back({path, info.absolutePath() != damaged.absolutePath(),
                           info.suffix().toUpper() != suffix, distance});
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const Candidate &a, const Candidate &b) {
        if (a.otherFolder != b.otherFolder)
            return b.otherFolder;
        if (a.otherSuffix != b.otherSuffix)
            return b.otherSuffix;
        return a.distance < b.distance;
    });

    for (const Candidate &candidate : ordered) {
        QFile file(candidate.path);
        if (!file.open(QIODevice::ReadOnly)
            || VwMovDamage::inspect(&file).state != VwMovDamage::STATE_HEALTHY)
            continue;
        VwMovReference reference;
        if (reference.load(&file))
            return candidate.path;
    }
    qCDebug(lcHxData) << "VwMovReference::find" << "no reference for" << damagedPath;
    return QString();
}

QStringList VwMovReference::candidatesNear(const QString &damagedPath)
{
    const QFileInfo damaged(damagedPath);
    const QChar camera = cameraOf(damagedPath);
    QStringList paths;
    QSet<QString> seen;
    const QDir folder = damaged.absoluteDir();
    static const QStringList filters{QStringLiteral("*.MOV"), QStringLiteral("*.MP4")};
    bool sameCamera = false;
    for (const QString &name : folder.entryList(filters, QDir::Files)) {
        const QString path = folder.filePath(name);
        paths.append(path);
        seen.insert(path);
        sameCamera = sameCamera || (name != damaged.fileName() && cameraOf(path) == camera);
    }
    QDir parent = folder;
    if (!sameCamera && parent.cdUp()) {
        QList<QUrl> urls;
        VwVideoFileList::collectFiles(parent.absolutePath(), &urls, 0);
        for (const QUrl &url : qAsConst(urls)) {
            const QString path = url.toLocalFile();
            if (!seen.contains(path))
                paths.append(path);
        }
    }
    return paths;
}
