#include "vw_mov_repair.h"

#include "hx_data_log.h"
#include "vw_aac_probe.h"
#include "vw_app.h"
#include "vw_h264_probe.h"
#include "vw_mdat_window.h"
#include "vw_mov_damage.h"
#include "vw_mov_index_writer.h"
#include "vw_mov_reference.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

// A telemetry sample holds 11 or 41 entries of 8 fields: at least this long.
constexpr int kMinTelemetryText = 11 * 7 + 10;

// Progress is reported about this often.
constexpr qint64 kProgressStep = 4 * 1024 * 1024;

// Bytes of the largest NAL unit taken for real, against the reference's
// largest sample.
constexpr qint64 kMinNalLimit = 1024 * 1024;
constexpr qint64 kMaxNalLimit = 64 * 1024 * 1024;

bool isPrintable(const uchar *text, qint64 size)
{
    for (qint64 i = 0; i < size; ++i) {
        if (text[i] < 0x20 || text[i] > 0x7e)
            return false;
    }
    return true;
}

// The telemetry text: 11 or 41 comma-separated entries, the first of them
// made of 8 fields separated by "/".
bool isTelemetryText(const uchar *text, qint64 size)
{
    while (size > 0 && text[size - 1] == 0)
        --size;
    if (size < kMinTelemetryText || !isPrintable(text, size))
        return false;
    int entries = 1;
    int firstEntrySlashes = 0;
    for (qint64 i = 0; i < size; ++i) {
        if (text[i] == ',')
            ++entries;
        else if (text[i] == '/' && entries == 1)
            ++firstEntrySlashes;
    }
    return (entries == 11 || entries == 41) && firstEntrySlashes == 7;
}

// A text sample: a 16-bit length and the text; the recorder may pad samples
// with zeros to the fixed size its index gives them.
VwProbeResult probeText(const VwMdatBytes &bytes, qint64 offset, qint64 end,
                        quint32 constantSize, qint64 *length)
{
    // The length and the first character first: most offsets end there.
    const uchar *head = bytes(offset, 3);
    if (!head || head[2] < 0x20 || head[2] > 0x7e)
        return VwProbeResult::None;
    const qint64 textLength = qFromBigEndian<quint16>(head);
    if (textLength < kMinTelemetryText)
        return VwProbeResult::None;
    if (textLength > end - offset - 2) {
        const qint64 available = end - offset - 2;
        const uchar *text = available > 0 ? bytes(offset + 2, available) : nullptr;
        const bool looksLikeText = text && isPrintable(text, available)
            && std::memchr(text, '/', size_t(available));
        return looksLikeText ? VwProbeResult::Cut : VwProbeResult::None;
    }
    const uchar *text = bytes(offset + 2, textLength);
    if (!text || !isTelemetryText(text, textLength))
        return VwProbeResult::None;
    *length = 2 + textLength;
    if (constantSize > *length && constantSize <= end - offset) {
        const uchar *padding = bytes(offset + *length, constantSize - *length);
        if (padding && std::all_of(padding, padding + (constantSize - *length),
                                   [](uchar byte) { return byte == 0; }))
            *length = constantSize;
    }
    return VwProbeResult::Match;
}

// A text sample of no text: its 16-bit length alone. Two zero bytes begin
// many other things, so it is taken only where a sample or the end of the
// data follows it.
constexpr qint64 kEmptyTextSize = 2;

bool isEmptyText(const VwMdatBytes &bytes, qint64 offset, qint64 end,
                 const std::function<bool(qint64)> &startsSample)
{
    const uchar *head = bytes(offset, kEmptyTextSize);
    if (!head || head[0] != 0 || head[1] != 0)
        return false;
    return offset + kEmptyTextSize == end || startsSample(offset + kEmptyTextSize);
}

QByteArray defaultFileType()
{
    QByteArray ftyp;
    const char body[] = "ftypisom\0\0\x02\0isomiso2avc1mp41";
    ftyp.append("\0\0\0\x20", 4);
    ftyp.append(body, int(sizeof body) - 1);
    return ftyp;
}

double seconds(const VwMovIndexWriter::Track &track)
{
    return track.reference && track.reference->timeScale
        ? double(track.mediaDuration()) / track.reference->timeScale : 0.0;
}

} // namespace

VwMovRepair::Result VwMovRepair::repair(QIODevice *damaged, const VwMovReference &reference,
                                        QIODevice *output, const Progress &progress)
{
    Result result;
    const VwMovDamage::Layout layout = VwMovDamage::inspect(damaged);
    result.fileSize = layout.fileSize;
    if (layout.dataOffset < 0 || layout.dataEnd <= layout.dataOffset) {
        result.reason = REASON_NO_DATA;
        return result;
    }

    const VwMovReference::Track *videoTrack = reference.track(VwMovReference::KIND_VIDEO);
    const VwMovReference::Track *audioTrack = reference.track(VwMovReference::KIND_AUDIO);
    const VwMovReference::Track *textTrack = reference.track(VwMovReference::KIND_TEXT);
    VwH264Probe video;
    if (videoTrack && video.configure(videoTrack->codecConfig)) {
        video.setMaxNalSize(qBound(kMinNalLimit, 8 * qint64(videoTrack->maxSampleSize), kMaxNalLimit));
    }
    VwAacProbe audio;
    if (audioTrack)
        audio.configure(audioTrack->codecConfig, audioTrack->sampleDelta == 960 ? 960 : 1024);
    if (!video.isConfigured() && !audio.isConfigured()) {
        result.reason = REASON_NO_REFERENCE;
        return result;
    }

    QByteArray fileType = reference.fileType.isEmpty() ? defaultFileType() : reference.fileType;
    if (layout.ftypOffset >= 0 && layout.ftypSize <= 4096 && damaged->seek(layout.ftypOffset))
        fileType = damaged->read(layout.ftypSize);
    // The mdat header takes the 64-bit size form: the size is known only at
    // the end and may pass 4 GiB.
    QByteArray mdatHeader(16, '\0');
    qToBigEndian<quint32>(1, mdatHeader.data());
    std::memcpy(mdatHeader.data() + 4, "mdat", 4);
    if (output->write(fileType) != fileType.size() || output->write(mdatHeader) != mdatHeader.size()) {
        result.outcome = OUTCOME_FAILED;
        result.reason = REASON_WRITE_ERROR;
        result.detail = output->errorString();
        return result;
    }
    const qint64 copyStart = fileType.size() + mdatHeader.size();

    VwMovIndexWriter::Track videoSamples{videoTrack, {}, {}, {}};
    VwMovIndexWriter::Track audioSamples{audioTrack, {}, {}, {}};
    VwMovIndexWriter::Track textSamples{textTrack, {}, {}, {}};
    const auto add = [&](VwMovIndexWriter::Track &track, qint64 offset, qint64 length) {
        track.offsets.append(copyStart + (offset - layout.dataOffset));
        track.sizes.append(quint32(length));
    };

    VwMdatWindow window(damaged, layout.dataOffset, layout.dataEnd, output);
    const VwMdatBytes bytes = [&window](qint64 offset, qint64 size) { return window.bytes(offset, size); };
    const quint32 textSize = textTrack ? textTrack->constantSampleSize : 0;
    const auto startsSample = [&](qint64 offset) {
        qint64 length = 0;
        bool key = false;
        return (textTrack && probeText(bytes, offset, window.end(), textSize, &length) != VwProbeResult::None)
            || video.probe(bytes, offset, window.end(), &length, &key) != VwProbeResult::None;
    };

    bool pictureChecked = false;
    qint64 offset = layout.dataOffset;
    // The first report comes before the walk starts.
    qint64 reported = offset - kProgressStep;
    Reason stop = REASON_NONE;
    while (stop == REASON_NONE) {
        const qint64 end = window.end();
        if (window.failed()) {
            stop = window.writeFailed() ? REASON_WRITE_ERROR : REASON_READ_ERROR;
            break;
        }
        if (offset >= end)
            break;
        if (progress && offset - reported >= kProgressStep) {
            reported = offset;
            if (!progress(offset - layout.dataOffset, layout.dataEnd - layout.dataOffset)) {
                stop = REASON_CANCELLED;
                break;
            }
        }

        qint64 length = 0;
        bool key = false;
        const VwProbeResult text = textTrack ? probeText(bytes, offset, end, textSize, &length)
                                             : VwProbeResult::None;
        if (text == VwProbeResult::Match) {
            add(textSamples, offset, length);
        } else if (const VwProbeResult picture = text == VwProbeResult::None
                       ? video.probe(bytes, offset, end, &length, &key) : VwProbeResult::Cut;
                   picture == VwProbeResult::Match) {
            if (key && !pictureChecked) {
                const uchar *unit = bytes(offset, length);
                if (!unit || !video.decodes(unit, length)) {
                    stop = REASON_REFERENCE_MISMATCH;
                    break;
                }
                pictureChecked = true;
            }
            video.accept();
            add(videoSamples, offset, length);
            if (key)
                videoSamples.keySamples.append(quint32(videoSamples.sampleCount()));
        } else if (picture == VwProbeResult::None
                   && audio.probe(bytes, offset, end, &length, startsSample) == VwProbeResult::Match) {
            add(audioSamples, offset, length);
        } else if (picture == VwProbeResult::None && textTrack
                   && isEmptyText(bytes, offset, end, [&](qint64 next) {
                          qint64 ignored = 0;
                          return startsSample(next)
                              || audio.probe(bytes, next, end, &ignored, startsSample) == VwProbeResult::Match;
                      })) {
            // An empty text sample (a writer ends the text track with one)
            // carries no telemetry: its bytes stay in the copy, unindexed.
            length = kEmptyTextSize;
        } else {
            qint64 ignored = 0;
            const bool cut = picture == VwProbeResult::Cut
                || audio.probe(bytes, offset, end, &ignored, startsSample) == VwProbeResult::Cut;
            stop = cut ? REASON_CUT : REASON_UNRECOGNISED;
            break;
        }
        if (!window.accept(offset + length)) {
            stop = window.writeFailed() ? REASON_WRITE_ERROR : REASON_READ_ERROR;
            break;
        }
        offset += length;
    }

    result.bytesRead = window.bytesRead() + fileType.size();
    result.cutOffset = offset;
    result.videoFrames = videoSamples.sampleCount();
    result.audioFrames = audioSamples.sampleCount();
    result.textSamples = textSamples.sampleCount();
    result.videoSeconds = seconds(videoSamples);
    result.audioSeconds = seconds(audioSamples);
    result.telemetrySeconds = seconds(textSamples);
    result.reason = stop;
    qCDebug(lcHxData) << "VwMovRepair::repair" << result.videoFrames << "pictures"
                      << result.audioFrames << "sound frames" << result.textSamples
                      << "text samples; stopped at" << offset << "of" << layout.fileSize << stop;

    if (stop == REASON_READ_ERROR || stop == REASON_WRITE_ERROR || stop == REASON_CANCELLED) {
        result.outcome = OUTCOME_FAILED;
        result.detail = stop == REASON_WRITE_ERROR ? output->errorString() : damaged->errorString();
        return result;
    }
    if (stop == REASON_REFERENCE_MISMATCH
        || result.videoFrames + result.audioFrames + result.textSamples == 0) {
        result.outcome = OUTCOME_NOTHING;
        if (stop == REASON_NONE)
            result.reason = REASON_NO_DATA;
        return result;
    }

    const QByteArray movie = VwMovIndexWriter::movie({videoSamples, audioSamples, textSamples});
    QByteArray size(8, '\0');
    qToBigEndian<quint64>(quint64(mdatHeader.size() + offset - layout.dataOffset), size.data());
    const qint64 movieAt = copyStart + (offset - layout.dataOffset);
    if (!window.flush() || !output->seek(fileType.size() + 8) || output->write(size) != size.size()
        || !output->seek(movieAt) || output->write(movie) != movie.size()) {
        result.outcome = OUTCOME_FAILED;
        result.reason = REASON_WRITE_ERROR;
        result.detail = output->errorString();
        return result;
    }
    result.outcome = stop == REASON_UNRECOGNISED ? OUTCOME_PARTIAL : OUTCOME_COMPLETE;
    return result;
}

VwMovRepair::Result VwMovRepair::repairFile(const QString &damagedPath, const QString &outputPath,
                                            const QString &referencePath, bool overwrite,
                                            const QStringList &candidates, const Progress &progress)
{
    Result result;
    result.outputPath = outputPath;
    const auto fail = [&result](Outcome outcome, Reason reason, const QString &detail = QString()) {
        result.outcome = outcome;
        result.reason = reason;
        result.detail = detail;
        return result;
    };

    QFile damaged(damagedPath);
    if (!damaged.open(QIODevice::ReadOnly))
        return fail(OUTCOME_FAILED, REASON_READ_ERROR, damaged.errorString());
    result.fileSize = damaged.size();
    const QFileInfo target(outputPath);
    const QFileInfo source(damagedPath);
    if (target.exists() && (!overwrite || target.canonicalFilePath() == source.canonicalFilePath()))
        return fail(OUTCOME_FAILED, REASON_TARGET_EXISTS);

    VwMovReference reference;
    QString chosen = referencePath;
    if (chosen.isEmpty() && reference.load(&damaged)) {
        chosen = damagedPath;
    } else {
        if (chosen.isEmpty()) {
            chosen = VwMovReference::find(
                damagedPath, candidates.isEmpty() ? VwMovReference::candidatesNear(damagedPath) : candidates);
        }
        QString error;
        if (chosen.isEmpty() || !reference.load(chosen, &error))
            return fail(OUTCOME_NOTHING, REASON_NO_REFERENCE, error);
    }
    result.referencePath = chosen;

    if (!QDir().mkpath(target.absolutePath()))
        return fail(OUTCOME_FAILED, REASON_WRITE_ERROR, target.absolutePath());
    QSaveFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly))
        return fail(OUTCOME_FAILED, REASON_WRITE_ERROR, output.errorString());

    const QString chosenReference = result.referencePath;
    result = repair(&damaged, reference, &output, progress);
    result.outputPath = outputPath;
    result.referencePath = chosenReference;
    if (!result.recovered()) {
        output.cancelWriting();
        return result;
    }
    if (!output.commit())
        return fail(OUTCOME_FAILED, REASON_WRITE_ERROR, output.errorString());
    qCInfo(lcHxData) << "VwMovRepair::repairFile" << damagedPath << "->" << outputPath;
    return result;
}

QString VwMovRepair::repairedFolder()
{
    const QString data = VwApp::dataFolder();
    return data.isEmpty() ? QString() : QDir::cleanPath(data + QStringLiteral("/backup/repaired"));
}

QString VwMovRepair::reasonText(Reason reason, bool japanese)
{
    struct Text
    {
        Reason reason;
        const char *japanese;
        const char *english;
    };
    static const Text texts[] = {
        {REASON_NONE, "データの終わりまで", "the data ends there"},
        {REASON_CUT, "最後のデータが途中で切れています", "the last sample was cut short"},
        {REASON_UNRECOGNISED, "その先は読み取れないデータです",
         "the data there is no sample of the reference's tracks"},
        {REASON_NO_DATA, "映像や音声のデータがありません", "the file holds no sample data"},
        {REASON_NO_REFERENCE, "同じカメラの正常な録画が見つかりません",
         "no healthy recording of the same camera to take the set-up from"},
        {REASON_REFERENCE_MISMATCH, "参照した録画のカメラか解像度が違います",
         "the reference is of another camera or resolution"},
        {REASON_READ_ERROR, "ファイルを読み込めません", "the file cannot be read"},
        {REASON_WRITE_ERROR, "コピーを書き込めません", "the copy cannot be written"},
        {REASON_TARGET_EXISTS, "同じ名前のファイルがすでにあります", "the copy exists already"},
        {REASON_CANCELLED, "キャンセルされました", "cancelled"},
    };
    for (const Text &text : texts) {
        if (text.reason == reason)
            return QString::fromUtf8(japanese ? text.japanese : text.english);
    }
    return QString();
}
