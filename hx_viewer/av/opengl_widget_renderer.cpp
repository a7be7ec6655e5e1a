#include "opengl_widget_renderer.h"

#include "hx_av_log.h"

#include <QOpenGLContext>
#include <QPainter>

namespace av {

OpenGLWidgetRenderer::OpenGLWidgetRenderer(QWidget *parent)
    : QOpenGLWidget(parent)
{
    setOutAspectRatioMode(VideoAspectRatio);
}

bool OpenGLWidgetRenderer::isAvailable() const
{
    static const bool available = [] {
        QOpenGLContext context;
        const bool ok = context.create();
        if (!ok)
            qCInfo(lcHxAv) << "OpenGLWidgetRenderer::isAvailable" << "no OpenGL context";
        return ok;
    }();
    return available;
}

void OpenGLWidgetRenderer::onUpdate()
{
    update();
}

void OpenGLWidgetRenderer::paintGL()
{
    QPainter painter(this);
    paintFrame(painter, size());
}

} // namespace av
