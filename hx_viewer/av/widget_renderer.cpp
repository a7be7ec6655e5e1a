#include "widget_renderer.h"

#include <QPainter>

namespace av {

WidgetRenderer::WidgetRenderer(QWidget *parent)
    : QWidget(parent)
{
    // Every pixel is painted, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setOutAspectRatioMode(VideoAspectRatio);
}

void WidgetRenderer::onUpdate()
{
    update();
}

void WidgetRenderer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintFrame(painter, size());
}

} // namespace av
