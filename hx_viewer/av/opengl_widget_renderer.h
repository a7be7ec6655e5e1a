#pragma once

#include "video_renderer.h"

#include <QOpenGLWidget>

namespace av {

// Draws frames on a QOpenGLWidget; the frame is uploaded as a texture by
// Qt's OpenGL paint engine.
class OpenGLWidgetRenderer : public QOpenGLWidget, public VideoRenderer
{
    Q_OBJECT
public:
    explicit OpenGLWidgetRenderer(QWidget *parent = nullptr);

    VideoRendererId id() const override { return VideoRendererId_OpenGLWidget; }
    // False when this display gives no OpenGL context.
    bool isAvailable() const override;
    QWidget *widget() override { return this; }

protected:
    void onUpdate() override;
    void paintGL() override;
};

} // namespace av
