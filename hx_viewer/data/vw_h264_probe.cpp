#include "vw_h264_probe.h"

#include "hx_data_log.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

enum NalType {
    NAL_SLICE = 1,
    NAL_IDR = 5,
    NAL_SEI = 6,
    NAL_SPS = 7,
    NAL_PPS = 8,
    NAL_AUD = 9,
    NAL_END_SEQUENCE = 10,
    NAL_END_STREAM = 11,
    NAL_FILLER = 12,
};

// Bytes of a NAL unit's payload read for its header fields: enough for every
// field up to the frame number.
constexpr int kSliceHeaderBytes = 32;

// FFmpeg's messages about the data tried here are expected: they are lowered
// below anything a log shows.
constexpr int kQuietLogOffset = AV_LOG_TRACE;

// Reads Exp-Golomb coded fields from a NAL unit payload.
class BitReader
{
public:
    BitReader(const uchar *data, int size)
        : m_data(data)
        , m_bits(qint64(size) * 8)
    {
    }

    bool bits(int count, quint32 *value)
    {
        if (count > 32 || m_pos + count > m_bits)
            return false;
        quint32 result = 0;
        for (int i = 0; i < count; ++i, ++m_pos)
            result = (result << 1) | ((m_data[m_pos >> 3] >> (7 - (m_pos & 7))) & 1);
        *value = result;
        return true;
    }

    bool skip(int count)
    {
        quint32 ignored = 0;
        while (count > 0) {
            const int step = qMin(count, 32);
            if (!bits(step, &ignored))
                return false;
            count -= step;
        }
        return true;
    }

    bool ue(quint32 *value)
    {
        int zeros = 0;
        quint32 bit = 0;
        while (bits(1, &bit) && bit == 0) {
            if (++zeros > 31)
                return false;
        }
        if (bit != 1)
            return false;
        quint32 rest = 0;
        if (zeros && !bits(zeros, &rest))
            return false;
        *value = (quint32(1) << zeros) - 1 + rest;
        return true;
    }

    bool se(qint32 *value)
    {
        quint32 code = 0;
        if (!ue(&code))
            return false;
        *value = (code & 1) ? qint32((code + 1) / 2) : -qint32(code / 2);
        return true;
    }

private:
    const uchar *m_data;
    qint64 m_bits;
    qint64 m_pos = 0;
};

// The payload without the emulation prevention bytes (00 00 03).
int unescape(const uchar *source, int size, uchar *target)
{
    int written = 0;
    int zeros = 0;
    for (int i = 0; i < size; ++i) {
        const uchar byte = source[i];
        if (zeros >= 2 && byte == 3) {
            zeros = 0;
            continue;
        }
        zeros = byte == 0 ? zeros + 1 : 0;
        target[written++] = byte;
    }
    return written;
}

bool isHighProfile(quint32 profile)
{
    for (quint32 high : {100u, 110u, 122u, 244u, 44u, 83u, 86u, 118u, 128u, 138u, 139u, 134u, 135u}) {
        if (profile == high)
            return true;
    }
    return false;
}

bool skipScalingList(BitReader &reader, int size)
{
    qint32 last = 8;
    qint32 next = 8;
    for (int j = 0; j < size; ++j) {
        if (next != 0) {
            qint32 delta = 0;
            if (!reader.se(&delta))
                return false;
            next = (last + delta + 256) % 256;
        }
        last = next == 0 ? last : next;
    }
    return true;
}

struct CodecContextDeleter
{
    void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
};
struct PacketDeleter
{
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct FrameDeleter
{
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};

} // namespace

bool VwH264Probe::configure(const QByteArray &avcC)
{
    m_avcC = avcC;
    m_lengthSize = 0;
    m_sps.clear();
    m_ppsToSps.clear();
    m_lastFrameNum = -1;

    const auto *data = reinterpret_cast<const uchar *>(avcC.constData());
    const int size = avcC.size();
    if (size < 7 || data[0] != 1)
        return false;
    const int lengthSize = (data[4] & 3) + 1;
    if (lengthSize == 3)
        return false;

    int pos = 5;
    for (int pass = 0; pass < 2; ++pass) {
        if (pos >= size)
            return false;
        const int count = pass == 0 ? (data[pos] & 0x1f) : data[pos];
        ++pos;
        for (int i = 0; i < count; ++i) {
            if (pos + 2 > size)
                return false;
            const int length = qFromBigEndian<quint16>(data + pos);
            pos += 2;
            if (length < 1 || pos + length > size)
                return false;
            QByteArray payload(length, '\0');
            payload.resize(unescape(data + pos + 1, length - 1,
                                    reinterpret_cast<uchar *>(payload.data())));
            pos += length;
            BitReader reader(reinterpret_cast<const uchar *>(payload.constData()), payload.size());
            quint32 id = 0;
            if (pass == 1) {
                quint32 spsId = 0;
                if (reader.ue(&id) && reader.ue(&spsId))
                    m_ppsToSps.insert(int(id), int(spsId));
                continue;
            }
            Sps sps;
            quint32 profile = 0;
            quint32 value = 0;
            if (!reader.bits(8, &profile) || !reader.skip(16) || !reader.ue(&id))
                continue;
            if (isHighProfile(profile)) {
                quint32 chroma = 0;
                if (!reader.ue(&chroma))
                    continue;
                if (chroma == 3 && reader.bits(1, &value))
                    sps.separateColourPlane = value;
                quint32 matrix = 0;
                if (!reader.ue(&value) || !reader.ue(&value) || !reader.skip(1)
                    || !reader.bits(1, &matrix))
                    continue;
                bool ok = true;
                for (int list = 0; matrix && ok && list < (chroma == 3 ? 12 : 8); ++list) {
                    ok = reader.bits(1, &value) && (!value || skipScalingList(reader, list < 6 ? 16 : 64));
                }
                if (!ok)
                    continue;
            }
            if (!reader.ue(&value) || value > 12)
                continue;
            sps.log2MaxFrameNum = int(value) + 4;
            quint32 pocType = 0;
            if (!reader.ue(&pocType))
                continue;
            if (pocType == 0) {
                if (!reader.ue(&value))
                    continue;
            } else if (pocType == 1) {
                qint32 offset = 0;
                quint32 cycle = 0;
                if (!reader.skip(1) || !reader.se(&offset) || !reader.se(&offset) || !reader.ue(&cycle)
                    || cycle > 255)
                    continue;
                bool ok = true;
                for (quint32 i = 0; ok && i < cycle; ++i)
                    ok = reader.se(&offset);
                if (!ok)
                    continue;
            }
            if (!reader.ue(&value) || !reader.bits(1, &value))
                continue;
            sps.gapsAllowed = value;
            m_sps.insert(int(id), sps);
        }
    }
    if (m_sps.isEmpty() || m_ppsToSps.isEmpty())
        return false;
    m_lengthSize = lengthSize;
    return true;
}

bool VwH264Probe::readNal(const VwMdatBytes &bytes, qint64 offset, qint64 end, Nal *nal) const
{
    const uchar *prefix = bytes(offset, m_lengthSize + 1);
    if (!prefix)
        return false;
    quint32 length = 0;
    for (int i = 0; i < m_lengthSize; ++i)
        length = (length << 8) | prefix[i];
    const uchar header = prefix[m_lengthSize];
    if (length == 0 || qint64(length) > m_maxNalSize || (header & 0x80))
        return false;
    nal->type = header & 0x1f;
    nal->refIdc = (header >> 5) & 3;
    switch (nal->type) {
    case NAL_SLICE:
        break;
    case NAL_IDR:
    case NAL_SPS:
    case NAL_PPS:
        if (nal->refIdc == 0)
            return false;
        break;
    case NAL_SEI:
    case NAL_AUD:
    case NAL_END_SEQUENCE:
    case NAL_END_STREAM:
    case NAL_FILLER:
        if (nal->refIdc != 0)
            return false;
        break;
    default:
        return false;
    }
    nal->size = m_lengthSize + qint64(length);
    nal->cut = nal->size > end - offset;
    if (nal->type != NAL_SLICE && nal->type != NAL_IDR)
        return true;

    const qint64 payload = offset + m_lengthSize + 1;
    const int available = int(std::min<qint64>({qint64(length) - 1, kSliceHeaderBytes, end - payload}));
    const uchar *raw = available > 0 ? bytes(payload, available) : nullptr;
    if (!raw)
        return false;
    uchar clean[kSliceHeaderBytes];
    BitReader reader(clean, unescape(raw, available, clean));
    quint32 firstMb = 0;
    quint32 sliceType = 0;
    quint32 ppsId = 0;
    if (!reader.ue(&firstMb) || !reader.ue(&sliceType) || sliceType > 9 || !reader.ue(&ppsId))
        return false;
    // An IDR picture holds intra slices only.
    if (nal->type == NAL_IDR && sliceType % 5 != 2 && sliceType % 5 != 4)
        return false;
    const auto pps = m_ppsToSps.constFind(int(ppsId));
    if (pps == m_ppsToSps.constEnd())
        return false;
    const auto sps = m_sps.constFind(*pps);
    if (sps == m_sps.constEnd())
        return false;
    quint32 frameNum = 0;
    if ((sps->separateColourPlane && !reader.skip(2)) || !reader.bits(sps->log2MaxFrameNum, &frameNum))
        return false;
    nal->firstMb = int(firstMb);
    nal->ppsId = int(ppsId);
    nal->frameNum = int(frameNum);
    return true;
}

// Frame numbers count the reference pictures: an IDR picture has 0, the
// picture after a reference picture the next number, and the picture after
// a non-reference picture the same number.
bool VwH264Probe::frameNumFollows(const Nal &slice) const
{
    if (slice.type == NAL_IDR)
        return slice.frameNum == 0;
    if (m_lastFrameNum < 0)
        return true;
    const Sps sps = m_sps.value(m_ppsToSps.value(slice.ppsId));
    if (sps.gapsAllowed)
        return true;
    const int expected = m_lastWasReference ? (m_lastFrameNum + 1) % (1 << sps.log2MaxFrameNum)
                                            : m_lastFrameNum;
    return slice.frameNum == expected;
}

VwProbeResult VwH264Probe::probe(const VwMdatBytes &bytes, qint64 offset, qint64 end,
                                 qint64 *length, bool *key)
{
    if (!isConfigured())
        return VwProbeResult::None;
    qint64 pos = offset;
    Nal first;
    bool sawSlice = false;
    while (pos < end) {
        Nal nal;
        if (!readNal(bytes, pos, end, &nal))
            break;
        const bool slice = nal.type == NAL_SLICE || nal.type == NAL_IDR;
        if (!slice) {
            const bool trailing = nal.type >= NAL_END_SEQUENCE;
            // Parameter sets, SEI and delimiters lead the next picture.
            if (trailing != sawSlice || (nal.type == NAL_AUD && pos != offset))
                break;
        } else if (!sawSlice) {
            if (nal.firstMb != 0 || !frameNumFollows(nal))
                break;
            sawSlice = true;
            first = nal;
        } else if (nal.firstMb == 0 || nal.type != first.type || nal.frameNum != first.frameNum) {
            break;
        }
        if (nal.cut)
            return VwProbeResult::Cut;
        pos += nal.size;
    }
    if (!sawSlice)
        return VwProbeResult::None;
    *length = pos - offset;
    *key = first.type == NAL_IDR;
    m_pendingFrameNum = first.frameNum;
    m_pendingReference = first.refIdc != 0;
    return VwProbeResult::Match;
}

void VwH264Probe::accept()
{
    m_lastFrameNum = m_pendingFrameNum;
    m_lastWasReference = m_pendingReference;
}

bool VwH264Probe::decodes(const uchar *data, qint64 size) const
{
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec || !isConfigured() || size <= 0 || size > INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE)
        return false;
    std::unique_ptr<AVCodecContext, CodecContextDeleter> context(avcodec_alloc_context3(codec));
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    if (!context || !packet || !frame)
        return false;
    context->extradata = static_cast<uint8_t *>(av_mallocz(size_t(m_avcC.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!context->extradata)
        return false;
    std::memcpy(context->extradata, m_avcC.constData(), size_t(m_avcC.size()));
    context->extradata_size = m_avcC.size();
    context->err_recognition = AV_EF_EXPLODE | AV_EF_BITSTREAM | AV_EF_BUFFER | AV_EF_CRCCHECK;
    context->thread_count = 1;
    context->log_level_offset = kQuietLogOffset;
    if (avcodec_open2(context.get(), codec, nullptr) < 0 || av_new_packet(packet.get(), int(size)) < 0)
        return false;
    std::memcpy(packet->data, data, size_t(size));
    packet->flags = AV_PKT_FLAG_KEY;
    if (avcodec_send_packet(context.get(), packet.get()) < 0 || avcodec_send_packet(context.get(), nullptr) < 0)
        return false;
    const int result = avcodec_receive_frame(context.get(), frame.get());
    const bool clean = result == 0 && frame->decode_error_flags == 0
        && !(frame->flags & AV_FRAME_FLAG_CORRUPT);
    if (!clean)
        qCDebug(lcHxData) << "VwH264Probe::decodes" << "the picture does not decode with the reference's set-up";
    return clean;
}
