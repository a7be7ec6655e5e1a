#include "vw_slider.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

VwSlider::VwSlider(QWidget *parent)
    : QSlider(Qt::Horizontal, parent)
{
    setFocusPolicy(Qt::NoFocus);
}

QRect VwSlider::handleRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

void VwSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QSlider::mousePressEvent(event);
        return;
    }
    const QRect handle = handleRect();
    const bool onKnob = handle.contains(event->pos());
    if (!onKnob) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
        // The handle's centre goes under the mouse.
        const QPoint pos = event->pos() - (handle.center() - handle.topLeft());
        const bool horizontal = orientation() == Qt::Horizontal;
        const int value = QStyle::sliderValueFromPosition(
            minimum(), maximum(), horizontal ? pos.x() - groove.x() : pos.y() - groove.y(),
            horizontal ? groove.width() - handle.width() : groove.height() - handle.height(), option.upsideDown);
        setSliderPosition(value);
    }
    if (handleRect().contains(event->pos())) {
        // A press on the handle: QSlider begins the drag (sliderPressed()).
        QSlider::mousePressEvent(event);
    } else {
        event->accept();
        setRepeatAction(SliderNoAction, 500, 50);
        Q_EMIT sliderPressed();
    }
    _held = true;
    Q_EMIT sliderPressedWithKnob(onKnob);
}

void VwSlider::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && _held) {
        _held = false;
        Q_EMIT mouseReleased();
    }
    QSlider::mouseReleaseEvent(event);
}

void VwSlider::wheelEvent(QWheelEvent *event)
{
    if (_wheelEnabled)
        QSlider::wheelEvent(event);
    else
        event->ignore();
}

void VwSlider::endHeldPress()
{
    if (!_held)
        return;
    _held = false;
    Q_EMIT mouseReleased();
    setRepeatAction(SliderNoAction);
    setSliderDown(false);
}

void VwSlider::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        endHeldPress();
    QSlider::changeEvent(event);
}

void VwSlider::hideEvent(QHideEvent *event)
{
    endHeldPress();
    QSlider::hideEvent(event);
}
