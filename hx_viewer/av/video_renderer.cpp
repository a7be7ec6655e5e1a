#include "video_renderer.h"

#include "av_player.h"
#include "opengl_widget_renderer.h"
#include "widget_renderer.h"

#include <QPainter>

namespace av {

VideoRenderer *VideoRenderer::create(VideoRendererId id)
{
    switch (id) {
    case VideoRendererId_Widget:
        return new WidgetRenderer;
    case VideoRendererId_OpenGLWidget:
        return new OpenGLWidgetRenderer;
    default:
        return nullptr;
    }
}

VideoRenderer::~VideoRenderer()
{
    const QVector<AVPlayer *> players = m_players;
    for (AVPlayer *player : players)
        player->removeVideoRenderer(this);
}

bool VideoRenderer::receive(const VideoFrame &frame)
{
    m_frame = frame;
    onUpdate();
    return true;
}

void VideoRenderer::setOutAspectRatioMode(OutAspectRatioMode mode)
{
    if (m_aspectMode == mode)
        return;
    m_aspectMode = mode;
    onUpdate();
}

void VideoRenderer::setOutAspectRatio(qreal ratio)
{
    if (ratio <= 0.0 || m_outAspectRatio == ratio)
        return;
    m_outAspectRatio = ratio;
    onUpdate();
}

void VideoRenderer::setRegionOfInterest(const QRectF &roi)
{
    if (m_roi == roi)
        return;
    m_roi = roi;
    onUpdate();
}

QRect VideoRenderer::realROI() const
{
    const QRect whole(QPoint(0, 0), m_frame.size());
    if (!m_roi.isValid() || m_roi.isEmpty())
        return whole;
    const QRectF clipped = m_roi.intersected(QRectF(0.0, 0.0, 1.0, 1.0));
    if (clipped.isEmpty())
        return whole;
    const qreal w = whole.width();
    const qreal h = whole.height();
    return QRectF(clipped.x() * w, clipped.y() * h, clipped.width() * w, clipped.height() * h)
        .toAlignedRect()
        .intersected(whole);
}

QRect VideoRenderer::videoRect(const QSize &outputSize) const
{
    const QRect whole(QPoint(0, 0), outputSize);
    qreal ratio = 0.0;
    if (m_aspectMode == VideoAspectRatio)
        ratio = m_frame.displayAspectRatio();
    else if (m_aspectMode == CustomAspectRation)
        ratio = m_outAspectRatio > 0.0 ? m_outAspectRatio : m_frame.displayAspectRatio();
    if (ratio <= 0.0 || outputSize.isEmpty())
        return whole;
    int w = outputSize.width();
    int h = qRound(w / ratio);
    if (h > outputSize.height()) {
        h = outputSize.height();
        w = qRound(h * ratio);
    }
    return QRect((outputSize.width() - w) / 2, (outputSize.height() - h) / 2, w, h);
}

void VideoRenderer::paintFrame(QPainter &painter, const QSize &outputSize) const
{
    painter.fillRect(QRect(QPoint(0, 0), outputSize), Qt::black);
    if (!m_frame.isValid())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(videoRect(outputSize)), m_frame.image(), QRectF(realROI()));
}

void VideoRenderer::attachPlayer(AVPlayer *player)
{
    if (!m_players.contains(player))
        m_players.append(player);
}

void VideoRenderer::detachPlayer(AVPlayer *player)
{
    m_players.removeAll(player);
}

} // namespace av
