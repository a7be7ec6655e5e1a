#pragma once

#include <QMetaType>
#include <QString>

namespace av {

// An error reported by the player: what failed, a detail text and the FFmpeg
// error code behind it (0 when FFmpeg was not involved).
class AVError
{
public:
    enum ErrorCode {
        NoError,
        OpenError,
        FindStreamInfoError,
        StreamNotFound,
        OpenCodecError,
        ReadError,
        SeekError,
        DecodeError,
        ResourceError,
        UnknownError
    };

    AVError() = default;
    explicit AVError(ErrorCode code, int ffmpegError = 0);
    AVError(ErrorCode code, const QString &detail, int ffmpegError = 0);

    ErrorCode error() const { return m_code; }
    void setError(ErrorCode code) { m_code = code; }
    int ffmpegErrorCode() const { return m_ffmpegError; }
    // FFmpeg's own text for ffmpegErrorCode(), empty when there is none.
    QString ffmpegErrorString() const;
    // Readable description: the text of the code, then the detail.
    QString string() const;

private:
    ErrorCode m_code = NoError;
    QString m_detail;
    int m_ffmpegError = 0;
};

} // namespace av

Q_DECLARE_METATYPE(av::AVError)
