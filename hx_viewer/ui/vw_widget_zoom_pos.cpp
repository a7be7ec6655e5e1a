#include "vw_widget_zoom_pos.h"

#include <QPaintEvent>

#include <cmath>

VwWidgetZoomPos::VwWidgetZoomPos(QWidget *parent)
    : QWidget(parent)
{
}

void VwWidgetZoomPos::startDrag()
{
    _anchorX = _x;
    _anchorY = _y;
}

void VwWidgetZoomPos::move(float dx, float dy)
{
    _x = qBound(0.0f, _anchorX + dx, 0.5f);
    _y = qBound(0.0f, _anchorY + dy, 0.5f);
    update();
}

void VwWidgetZoomPos::drag(const QPoint &press, const QPoint &point, const QSize &paneSize)
{
    if (paneSize.width() <= 0 || paneSize.height() <= 0)
        return;
    const float dx = float(press.x() - point.x()) / float(paneSize.width());
    const float dy = float(press.y() - point.y()) / float(paneSize.height());
    move(dx * 0.5f, dy * 0.5f);
}

void VwWidgetZoomPos::paintEvent(QPaintEvent *)
{
    _painter.begin(this);
    _painter.setPen(Qt::red);
    _painter.setRenderHint(QPainter::Antialiasing, false);
    const int w = int(std::floor(width() * 0.5 + 0.5));
    const int h = int(std::floor(height() * 0.5 + 0.5));
    const int left = int(std::trunc(width() * _x));
    const int top = int(std::trunc(height() * _y));
    _painter.drawRect(QRect(left, top, w, h));
    _painter.end();
}
