#pragma once

#include <QImage>
#include <QMetaType>

#include <memory>

struct AVFrame;

namespace av {

// One picture ready for display: a 32-bit image (QImage::Format_RGB32, BGRA in
// memory) that usually wraps the converted FFmpeg buffer without a copy, its
// time stamp in seconds, and a reference to the decoded frame it was made
// from, so that the same picture can be filtered again while paused.
// A default-constructed frame is invalid; a renderer that receives it blanks.
class VideoFrame
{
public:
    VideoFrame() = default;
    explicit VideoFrame(const QImage &image, qreal timestamp = 0.0);

    bool isValid() const { return !m_image.isNull(); }
    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    QSize size() const { return m_image.size(); }

    qreal timestamp() const { return m_timestamp; }
    void setTimestamp(qreal seconds) { m_timestamp = seconds; }

    // Display aspect ratio (width / height with the sample aspect applied).
    qreal displayAspectRatio() const;
    void setDisplayAspectRatio(qreal ratio) { m_displayAspect = ratio; }

    // The picture; shares the frame's memory.
    QImage toImage() const { return m_image; }
    const QImage &image() const { return m_image; }

    // Decoded frame (before filters) this picture was made from, or null.
    const AVFrame *sourceFrame() const { return m_source.get(); }
    std::shared_ptr<AVFrame> sharedSourceFrame() const { return m_source; }
    void setSourceFrame(std::shared_ptr<AVFrame> frame) { m_source = std::move(frame); }

private:
    QImage m_image;
    qreal m_timestamp = 0.0;
    qreal m_displayAspect = 0.0;
    std::shared_ptr<AVFrame> m_source;
};

} // namespace av

Q_DECLARE_METATYPE(av::VideoFrame)
