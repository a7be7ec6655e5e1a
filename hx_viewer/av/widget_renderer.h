#pragma once

#include "video_renderer.h"

#include <QWidget>

namespace av {

// Draws frames with QPainter on a plain widget.
class WidgetRenderer : public QWidget, public VideoRenderer
{
    Q_OBJECT
public:
    explicit WidgetRenderer(QWidget *parent = nullptr);

    VideoRendererId id() const override { return VideoRendererId_Widget; }
    QWidget *widget() override { return this; }

protected:
    void onUpdate() override;
    void paintEvent(QPaintEvent *event) override;
};

} // namespace av
