#pragma once

#include "vw_play_event.h"
#include "vw_widget_base.h"

#include <QPointer>

class HxButton;
class QLabel;
class VwPlayer;
class VwReleasedSlider;
class VwSlider;
class VwVideoItem;

// The picture and sound strip: contrast, brightness, volume and playback
// speed, each slider behind an icon button that resets it (the volume's
// mutes). The player maps the values and keeps the volume slider, the mute
// button and the speed label.
class VwFrameEQ : public VwWidgetBase
{
    Q_OBJECT

public:
    explicit VwFrameEQ(VwPlayer *player, QWidget *parent = nullptr);
    ~VwFrameEQ() override;

    HxButton *_contrastButton = nullptr;
    VwSlider *_contrastSlider = nullptr;
    HxButton *_brightnessButton = nullptr;
    VwSlider *_brightnessSlider = nullptr;
    HxButton *_muteButton = nullptr;
    VwSlider *_volumeSlider = nullptr;
    HxButton *_speedButton = nullptr;
    VwReleasedSlider *_speedSlider = nullptr;
    QLabel *_speedLabel = nullptr;

public Q_SLOTS:
    void onPlayEvent(PLAY_EVENT event, VwVideoItem *item);
    void onDefaultSpeed();
    void onDefaultBrightness();
    void onDefaultContrast();

private:
    QPointer<VwPlayer> _player;
};
