#pragma once

#include <QPainter>
#include <QWidget>

// Overlay on the zoom overview: a red rectangle, half the overview's width
// and height, marks the part of the picture the pane shows enlarged. Its
// top-left corner is kept as fractions of the overview, within 0..0.5.
class VwWidgetZoomPos : public QWidget
{
    Q_OBJECT

public:
    explicit VwWidgetZoomPos(QWidget *parent = nullptr);

    float posX() const { return _x; }
    float posY() const { return _y; }
    float anchorX() const { return _anchorX; }
    float anchorY() const { return _anchorY; }
    void setAnchorX(float value) { _anchorX = value; }
    void setAnchorY(float value) { _anchorY = value; }

    // A drag begins: the current corner becomes the anchor.
    void startDrag();
    // Places the corner at the anchor moved by (dx, dy), in fractions of the
    // overview, clamped to 0..0.5, and repaints. Hides QWidget::move on
    // purpose: the overlay is placed by its layout only.
    void move(float dx, float dy);
    // The drag arithmetic of the pane: the mouse went from `press` to
    // `point` in a pane of `paneSize`. Dragging moves the picture, so the
    // rectangle moves against the mouse, at half the distance because the
    // pane shows the picture enlarged twice.
    void drag(const QPoint &press, const QPoint &point, const QSize &paneSize);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPainter _painter;
    float _x = 0.25f;
    float _y = 0.25f;
    float _anchorX = 0.25f;
    float _anchorY = 0.25f;
};
