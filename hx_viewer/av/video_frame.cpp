#include "video_frame.h"

namespace av {

VideoFrame::VideoFrame(const QImage &image, qreal timestamp)
    : m_image(image)
    , m_timestamp(timestamp)
{
}

qreal VideoFrame::displayAspectRatio() const
{
    if (m_displayAspect > 0.0)
        return m_displayAspect;
    if (m_image.height() <= 0)
        return 0.0;
    return qreal(m_image.width()) / qreal(m_image.height());
}

} // namespace av
