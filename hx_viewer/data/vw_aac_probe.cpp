#include "vw_aac_probe.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstring>

namespace {

// Syntax elements that open a raw AAC frame.
enum Element {
    ELEMENT_SCE = 0,
    ELEMENT_CPE = 1,
    ELEMENT_LFE = 3,
    ELEMENT_PCE = 5,
};

// Bytes handed to the decoder at once: room for several frames, so that
// every frame of a run but the last has a successor to measure it by.
constexpr int kRunFrames = 8;

// FFmpeg's messages about the data tried here are expected.
constexpr int kQuietLogOffset = AV_LOG_TRACE;

// Channel configuration of an AudioSpecificConfig: object type (5 bits, or
// 11 with the escape), sampling frequency index (4 bits, or 28 with the
// explicit frequency), then 4 bits of channel configuration.
int channelConfiguration(const QByteArray &config)
{
    quint64 bits = 0;
    const int bytes = qMin(config.size(), 8);
    for (int i = 0; i < 8; ++i)
        bits = (bits << 8) | (i < bytes ? quint8(config.at(i)) : 0);
    int pos = 0;
    const auto take = [&](int count) {
        const quint64 value = (bits >> (64 - pos - count)) & ((quint64(1) << count) - 1);
        pos += count;
        return int(value);
    };
    if (take(5) == 31)
        take(6);
    if (take(4) == 15)
        take(24);
    return take(4);
}

} // namespace

VwAacProbe::VwAacProbe() = default;

VwAacProbe::~VwAacProbe()
{
    avcodec_free_context(&m_context);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
}

bool VwAacProbe::configure(const QByteArray &audioSpecificConfig, int frameSamples)
{
    avcodec_free_context(&m_context);
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
    if (!codec || audioSpecificConfig.size() < 2 || frameSamples <= 0)
        return false;
    if (!m_packet)
        m_packet = av_packet_alloc();
    if (!m_frame)
        m_frame = av_frame_alloc();
    m_context = avcodec_alloc_context3(codec);
    if (!m_context || !m_packet || !m_frame)
        return false;
    m_context->extradata = static_cast<uint8_t *>(
        av_mallocz(size_t(audioSpecificConfig.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!m_context->extradata) {
        avcodec_free_context(&m_context);
        return false;
    }
    std::memcpy(m_context->extradata, audioSpecificConfig.constData(), size_t(audioSpecificConfig.size()));
    m_context->extradata_size = audioSpecificConfig.size();
    m_context->log_level_offset = kQuietLogOffset;
    if (avcodec_open2(m_context, codec, nullptr) < 0) {
        avcodec_free_context(&m_context);
        return false;
    }
    m_channels = channelConfiguration(audioSpecificConfig);
    m_frameSamples = frameSamples;
    // 6144 bits per channel at most.
    m_maxFrameSize = 768 * qMax(1, m_context->ch_layout.nb_channels);
    m_known.clear();
    return true;
}

bool VwAacProbe::plausibleStart(uchar firstByte) const
{
    const int element = firstByte >> 5;
    switch (m_channels) {
    case 1:
        return element == ELEMENT_SCE;
    case 2:
        return element == ELEMENT_CPE;
    default:
        return element == ELEMENT_SCE || element == ELEMENT_CPE || element == ELEMENT_LFE
            || element == ELEMENT_PCE;
    }
}

bool VwAacProbe::decodeRun(const uchar *data, qint64 size, QVector<qint64> *lengths, bool *allUsed)
{
    lengths->clear();
    *allUsed = false;
    avcodec_flush_buffers(m_context);
    av_packet_unref(m_packet);
    if (av_new_packet(m_packet, int(size)) < 0)
        return false;
    std::memcpy(m_packet->data, data, size_t(size));
    if (avcodec_send_packet(m_context, m_packet) < 0)
        return false;
    // Each frame reports the bytes that were left when it was taken; the
    // difference to the next frame's is its length.
    QVector<qint64> left;
    for (;;) {
        const int result = avcodec_receive_frame(m_context, m_frame);
        if (result == AVERROR(EAGAIN)) {
            *allUsed = true;
            break;
        }
        if (result < 0)
            break;
        const bool valid = m_frame->nb_samples == m_frameSamples && m_frame->pkt_size > 0
            && (left.isEmpty() || m_frame->pkt_size < left.last());
        left.append(m_frame->pkt_size);
        av_frame_unref(m_frame);
        if (!valid) {
            left.removeLast();
            break;
        }
    }
    for (int i = 0; i + 1 < left.size(); ++i)
        lengths->append(left.at(i) - left.at(i + 1));
    if (*allUsed && !left.isEmpty())
        lengths->append(left.last());
    return !left.isEmpty();
}

VwProbeResult VwAacProbe::probe(const VwMdatBytes &bytes, qint64 offset, qint64 end, qint64 *length,
                                const std::function<bool(qint64 offset)> &startsSample)
{
    if (!isConfigured() || offset >= end)
        return VwProbeResult::None;
    for (const auto &known : qAsConst(m_known)) {
        if (known.first == offset) {
            *length = known.second;
            return VwProbeResult::Match;
        }
    }

    const qint64 window = qMin<qint64>(end - offset, kRunFrames * m_maxFrameSize);
    const uchar *bytesAt = bytes(offset, window);
    if (!bytesAt || !plausibleStart(bytesAt[0]))
        return VwProbeResult::None;
    // A copy: asking whether a sample starts somewhere may move the bytes.
    const QByteArray run(reinterpret_cast<const char *>(bytesAt), int(window));
    const auto *data = reinterpret_cast<const uchar *>(run.constData());
    // A frame the power cut short cannot decode; only its position says
    // what it may have been.
    const VwProbeResult failure = end - offset < m_maxFrameSize ? VwProbeResult::Cut
                                                                : VwProbeResult::None;

    // A run of frames ends where another sample starts, where the data ends,
    // or where a frame begins that the end of the data cuts short. Decoding
    // up to the first such place that takes every byte gives the lengths of
    // all the frames of the run at once.
    QVector<qint64> lengths;
    bool allUsed = false;
    const auto remember = [this, offset, length](const QVector<qint64> &frames) {
        m_known.clear();
        qint64 start = offset;
        for (qint64 frame : frames) {
            m_known.append({start, frame});
            start += frame;
        }
        *length = frames.first();
        return VwProbeResult::Match;
    };
    for (qint64 candidate = offset + 1; candidate <= offset + window; ++candidate) {
        const bool atEnd = candidate == end;
        if (!atEnd && candidate == offset + window)
            break;
        if (!atEnd && !startsSample(candidate)
            && !(end - candidate < m_maxFrameSize && plausibleStart(data[candidate - offset])))
            continue;
        if (decodeRun(data, candidate - offset, &lengths, &allUsed) && allUsed)
            return remember(lengths);
    }

    // A run longer than the bytes looked at: every frame but the last of
    // those decoded is followed by another, which measures it.
    if (!decodeRun(data, window, &lengths, &allUsed))
        return failure;
    if (allUsed)
        lengths.removeLast();
    return lengths.isEmpty() ? failure : remember(lengths);
}
