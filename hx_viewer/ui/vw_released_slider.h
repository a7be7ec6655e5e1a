#pragma once

#include "vw_slider.h"

// A slider whose value is put to use when it is let go (the speed slider):
// the wheel, which moves it without a release, is ignored.
class VwReleasedSlider : public VwSlider
{
    Q_OBJECT

public:
    explicit VwReleasedSlider(QWidget *parent = nullptr);
};
