#pragma once

#include "vw_mdat_bytes.h"

#include <QByteArray>
#include <QVector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

// Recognises raw AAC frames by decoding them with libavcodec from the
// reference's AudioSpecificConfig. AAC frames carry no length of their own:
// the decoder, handed a run of bytes, takes one frame after another from it
// and reports with each frame the bytes that were left when it began, so the
// differences are the frames' lengths. A run of frames ends where another
// sample starts, which `startsSample` tells, and the decoder must use the
// bytes up to there exactly.
class VwAacProbe
{
public:
    VwAacProbe();
    ~VwAacProbe();
    VwAacProbe(const VwAacProbe &) = delete;
    VwAacProbe &operator=(const VwAacProbe &) = delete;

    bool configure(const QByteArray &audioSpecificConfig, int frameSamples);
    bool isConfigured() const { return m_context != nullptr; }

    VwProbeResult probe(const VwMdatBytes &bytes, qint64 offset, qint64 end, qint64 *length,
                        const std::function<bool(qint64 offset)> &startsSample);

    // The largest AAC frame for the configured channels.
    qint64 maxFrameSize() const { return m_maxFrameSize; }

private:
    // Decodes the bytes as one packet: the lengths of the frames taken from
    // it (the last one only when every byte was used), and whether every
    // byte was.
    bool decodeRun(const uchar *data, qint64 size, QVector<qint64> *lengths, bool *allUsed);
    bool plausibleStart(uchar firstByte) const;

    AVCodecContext *m_context = nullptr;
    AVPacket *m_packet = nullptr;
    AVFrame *m_frame = nullptr;
    int m_channels = 0;
    int m_frameSamples = 1024;
    qint64 m_maxFrameSize = 768;

    // Frames known from the last run decoded: start and length.
    QVector<QPair<qint64, qint64>> m_known;
};
