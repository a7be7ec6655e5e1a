#include "vw_released_slider.h"

VwReleasedSlider::VwReleasedSlider(QWidget *parent)
    : VwSlider(parent)
{
    setWheelEnabled(false);
}
