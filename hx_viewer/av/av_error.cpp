#include "av_error.h"

extern "C" {
#include <libavutil/error.h>
}

namespace av {

AVError::AVError(ErrorCode code, int ffmpegError)
    : m_code(code)
    , m_ffmpegError(ffmpegError)
{
}

AVError::AVError(ErrorCode code, const QString &detail, int ffmpegError)
    : m_code(code)
    , m_detail(detail)
    , m_ffmpegError(ffmpegError)
{
}

QString AVError::ffmpegErrorString() const
{
    if (m_ffmpegError == 0)
        return QString();
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(m_ffmpegError, text, sizeof text);
    return QString::fromUtf8(text);
}

QString AVError::string() const
{
    QString text;
    switch (m_code) {
    case NoError: text = QStringLiteral("No error"); break;
    case OpenError: text = QStringLiteral("Open error"); break;
    case FindStreamInfoError: text = QStringLiteral("Find stream info error"); break;
    case StreamNotFound: text = QStringLiteral("Stream not found"); break;
    case OpenCodecError: text = QStringLiteral("Open codec error"); break;
    case ReadError: text = QStringLiteral("Read error"); break;
    case SeekError: text = QStringLiteral("Seek error"); break;
    case DecodeError: text = QStringLiteral("Decode error"); break;
    case ResourceError: text = QStringLiteral("Resource error"); break;
    case UnknownError: text = QStringLiteral("Unknown error"); break;
    }
    if (!m_detail.isEmpty())
        text += QStringLiteral(": ") + m_detail;
    return text;
}

} // namespace av
