#include "hx_test_frames.h"

#include <QColor>
#include <QString>

#include <cmath>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace hxtest {

static AVFrame *allocYuv(int width, int height)
{
    AVFrame *frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame, 0) < 0) {
        av_frame_free(&frame);
        return nullptr;
    }
    for (int plane = 1; plane < 3; ++plane)
        for (int y = 0; y < (height + 1) / 2; ++y)
            memset(frame->data[plane] + y * frame->linesize[plane], 128, (width + 1) / 2);
    return frame;
}

AVFrame *makeMarkedFrame(int width, int height, int mark, qint64 pts)
{
    AVFrame *frame = allocYuv(width, height);
    if (!frame)
        return nullptr;
    for (int y = 0; y < height; ++y)
        memset(frame->data[0] + y * frame->linesize[0], y < mark ? 235 : 16, width);
    for (int y = 0; y < mark; ++y)
        memset(frame->data[0] + y * frame->linesize[0] + mark, 16, width - mark);
    frame->pts = pts;
    frame->best_effort_timestamp = pts;
    return frame;
}

AVFrame *makeGradientFrame(int width, int height, int low, int high)
{
    AVFrame *frame = allocYuv(width, height);
    if (!frame)
        return nullptr;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame->data[0][y * frame->linesize[0] + x] = uint8_t(low + (high - low) * x / qMax(1, width - 1));
    frame->pts = 0;
    return frame;
}

QImage toImage(const AVFrame *frame)
{
    if (!frame)
        return {};
    QImage::Format format = QImage::Format_Invalid;
    if (frame->format == AV_PIX_FMT_BGRA)
        format = QImage::Format_ARGB32;
    else if (frame->format == AV_PIX_FMT_RGB24)
        format = QImage::Format_RGB888;
    if (format == QImage::Format_Invalid || frame->linesize[0] <= 0)
        return {};
    return QImage(frame->data[0], frame->width, frame->height, frame->linesize[0], format).copy();
}

QString markedCorner(const QImage &image, int mark)
{
    if (image.isNull())
        return QStringLiteral("none");
    const int w = image.width();
    const int h = image.height();
    // Sample the middle of where the mark would sit in each corner.
    const struct {
        const char *name;
        int x, y;
    } corners[] = {{"TL", mark / 2, mark / 2},
                   {"TR", w - 1 - mark / 2, mark / 2},
                   {"BL", mark / 2, h - 1 - mark / 2},
                   {"BR", w - 1 - mark / 2, h - 1 - mark / 2}};
    QString found = QStringLiteral("none");
    for (const auto &c : corners) {
        if (qGray(image.pixel(c.x, c.y)) > 200)
            found = found == QLatin1String("none") ? QString::fromLatin1(c.name) : QStringLiteral("many");
    }
    return found;
}

void lumaStats(const QImage &image, double *mean, double *spread)
{
    double sum = 0;
    double sum2 = 0;
    const double n = double(image.width()) * image.height();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            const double l = 0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p);
            sum += l;
            sum2 += l * l;
        }
    }
    *mean = n > 0 ? sum / n : 0;
    *spread = n > 0 ? std::sqrt(qMax(0.0, sum2 / n - *mean * *mean)) : 0;
}

} // namespace hxtest
