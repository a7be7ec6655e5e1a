#include "media_context.h"

#include "hx_av_log.h"

#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <cerrno>
#include <cstdint>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace av {

namespace {

int interruptCallback(void *opaque)
{
    const auto *cancel = static_cast<const std::atomic<bool> *>(opaque);
    return cancel && cancel->load() ? 1 : 0;
}

// FFmpeg's own complaints about damaged files ("partial file", "Packet
// corrupt", ...) go to the debug log of this library instead of stderr.
void logFromFFmpeg(void *context, int level, const char *format, va_list args)
{
    if (level > av_log_get_level())
        return;
    char line[1024];
    int prefix = 1;
    av_log_format_line2(context, level, format, args, line, sizeof line, &prefix);
    const QByteArray text = QByteArray(line).trimmed();
    if (!text.isEmpty())
        qCDebug(lcHxAv) << "FFmpeg" << text.constData();
}

void routeFFmpegLog()
{
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_level(AV_LOG_WARNING);
        av_log_set_callback(logFromFFmpeg);
    });
}

AVCodecContext *openDecoder(AVStream *stream, int threads, int *ffError)
{
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        *ffError = AVERROR_DECODER_NOT_FOUND;
        return nullptr;
    }
    AVCodecContext *ctx = avcodec_alloc_context3(codec);
    if (!ctx) {
        *ffError = AVERROR(ENOMEM);
        return nullptr;
    }
    int ret = avcodec_parameters_to_context(ctx, stream->codecpar);
    if (ret >= 0) {
        ctx->pkt_timebase = stream->time_base;
        ctx->thread_count = threads;
        if (threads > 1)
            ctx->thread_type = FF_THREAD_FRAME;
        ret = avcodec_open2(ctx, codec, nullptr);
    }
    if (ret < 0) {
        *ffError = ret;
        avcodec_free_context(&ctx);
        return nullptr;
    }
    return ctx;
}

// The file is read through a descriptor of our own: a name that was a
// recording when the card was scanned may be a FIFO by now, whose open would
// block the loader, and the player waiting for it, for good. The descriptor
// is opened without blocking and kept only when it is a regular file.
int openRegularFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return AVERROR(errno);
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return AVERROR(EINVAL);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int readFile(void *opaque, uint8_t *buffer, int size)
{
    const ssize_t got = ::read(int(reinterpret_cast<intptr_t>(opaque)), buffer, size_t(size));
    if (got < 0)
        return AVERROR(errno);
    return got == 0 ? AVERROR_EOF : int(got);
}

int64_t seekFile(void *opaque, int64_t offset, int whence)
{
    const int fd = int(reinterpret_cast<intptr_t>(opaque));
    if (whence & AVSEEK_SIZE) {
        struct stat status;
        return ::fstat(fd, &status) == 0 ? int64_t(status.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, off_t(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : int64_t(at);
}

// Names with a scheme ("http://...") are FFmpeg's to open.
bool isUrl(const QString &path)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+://"));
    return scheme.match(path).hasMatch();
}

constexpr int kReadBufferSize = 64 * 1024;

} // namespace

MediaContext::~MediaContext()
{
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    if (format)
        avformat_close_input(&format);
    if (m_io)
        av_freep(&m_io->buffer);
    avio_context_free(&m_io);
    if (m_fd >= 0)
        ::close(m_fd);
}

std::shared_ptr<MediaContext> MediaContext::open(const QString &path, int playerIndex, AVError *error,
                                                 const std::atomic<bool> *cancel)
{
    routeFFmpegLog();
    std::shared_ptr<MediaContext> media(new MediaContext);
    media->format = avformat_alloc_context();
    if (!media->format) {
        *error = AVError(AVError::ResourceError, AVERROR(ENOMEM));
        return nullptr;
    }
    media->format->interrupt_callback.callback = interruptCallback;
    media->format->interrupt_callback.opaque = const_cast<std::atomic<bool> *>(cancel);
    // Damaged packets of a recording cut short are dropped instead of decoded.
    media->format->flags |= AVFMT_FLAG_DISCARD_CORRUPT;
    if (!isUrl(path)) {
        media->m_fd = openRegularFile(path);
        if (media->m_fd < 0) {
            *error = AVError(AVError::OpenError, path, media->m_fd);
            return nullptr;
        }
        auto *buffer = static_cast<unsigned char *>(av_malloc(kReadBufferSize));
        media->m_io = buffer ? avio_alloc_context(buffer, kReadBufferSize, 0,
                                                  reinterpret_cast<void *>(intptr_t(media->m_fd)),
                                                  readFile, nullptr, seekFile)
                             : nullptr;
        if (!media->m_io) {
            av_free(buffer);
            *error = AVError(AVError::ResourceError, AVERROR(ENOMEM));
            return nullptr;
        }
        media->format->pb = media->m_io;
        media->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    int ret = avformat_open_input(&media->format, path.toUtf8().constData(), nullptr, nullptr);
    if (ret < 0) {
        // avformat_open_input frees the context on failure.
        media->format = nullptr;
        *error = AVError(AVError::OpenError, path, ret);
        return nullptr;
    }
    ret = avformat_find_stream_info(media->format, nullptr);
    if (ret < 0) {
        *error = AVError(AVError::FindStreamInfoError, path, ret);
        return nullptr;
    }
    media->videoStream = av_find_best_stream(media->format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (media->videoStream < 0) {
        *error = AVError(AVError::StreamNotFound, QStringLiteral("no video stream in ") + path,
                         media->videoStream);
        return nullptr;
    }
    AVStream *vs = media->format->streams[media->videoStream];
    // Frame threads of H.264 within the two cores this program shares.
    const int threads = qBound(1, QThread::idealThreadCount(), 2);
    ret = 0;
    media->video = openDecoder(vs, threads, &ret);
    if (!media->video) {
        *error = AVError(AVError::OpenCodecError, path, ret);
        return nullptr;
    }
    media->videoTimeBase = av_q2d(vs->time_base);
    const AVRational rate = av_guess_frame_rate(media->format, vs, nullptr);
    if (rate.num > 0 && rate.den > 0)
        media->frameDuration = av_q2d(av_inv_q(rate));

    const int audioStream = av_find_best_stream(media->format, AVMEDIA_TYPE_AUDIO, -1,
                                                media->videoStream, nullptr, 0);
    if (audioStream >= 0) {
        AVStream *as = media->format->streams[audioStream];
        int audioError = 0;
        media->audio = openDecoder(as, 1, &audioError);
        if (media->audio) {
            media->audioStream = audioStream;
            media->audioTimeBase = av_q2d(as->time_base);
        } else {
            qCDebug(lcHxAv) << "MediaContext::open" << playerIndex << "audio decoder:"
                            << AVError(AVError::OpenCodecError, audioError).ffmpegErrorString();
        }
    }

    if (media->format->start_time != AV_NOPTS_VALUE)
        media->startTime = double(media->format->start_time) / AV_TIME_BASE;
    if (media->format->duration != AV_NOPTS_VALUE && media->format->duration > 0)
        media->duration = double(media->format->duration) / AV_TIME_BASE;
    else if (vs->duration != AV_NOPTS_VALUE && vs->duration > 0)
        media->duration = vs->duration * media->videoTimeBase;
    return media;
}

} // namespace av
