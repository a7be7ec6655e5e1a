#pragma once

#include "av_error.h"

#include <QString>

#include <atomic>
#include <memory>

struct AVCodecContext;
struct AVFormatContext;
struct AVIOContext;
struct AVStream;

namespace av {

// An opened media file: the demuxer and the opened decoders of its video
// stream and (when there is one) of its best audio stream.
class MediaContext
{
public:
    ~MediaContext();
    MediaContext(const MediaContext &) = delete;
    MediaContext &operator=(const MediaContext &) = delete;

    // Opens `path`; on failure returns null and fills `error`. `cancel` may
    // interrupt a slow open from another thread.
    static std::shared_ptr<MediaContext> open(const QString &path, int playerIndex, AVError *error,
                                              const std::atomic<bool> *cancel);

    AVFormatContext *format = nullptr;
    AVCodecContext *video = nullptr;
    AVCodecContext *audio = nullptr;
    int videoStream = -1;
    int audioStream = -1;
    double startTime = 0.0;   // seconds
    double duration = 0.0;    // seconds
    double frameDuration = 1.0 / 30.0;
    double videoTimeBase = 0.0;
    double audioTimeBase = 0.0;

private:
    MediaContext() = default;

    // The file's own descriptor and reader, when it is a local file.
    int m_fd = -1;
    AVIOContext *m_io = nullptr;
};

} // namespace av
