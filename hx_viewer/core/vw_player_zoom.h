#pragma once

#include "vw_player_base.h"

class QWidget;

namespace av {
class LibAVFilterVideo;
} // namespace av

// Picture functions of the pair: a 2x zoom of either pane with an overview
// output, mirroring of each camera and brightness/contrast of both. Mirroring
// follows the camera, not the pane: the pane's buttons reach the camera it
// currently shows.
class VwPlayerZoom : public VwPlayerBase
{
    Q_OBJECT

public:
    // Value of the eq settings that are switched off.
    static constexpr float kOff = -1000.0f;

    explicit VwPlayerZoom(QObject *parent = nullptr);
    ~VwPlayerZoom() override;

    // Turns the 2x zoom of a pane on and returns the overview widget to lay
    // the zoom rectangle over, or null when the pane's player has no output.
    QWidget *startZoom(bool main);
    void stopZoom(bool main);
    // Moves the zoomed region; false while the pane is not zoomed.
    bool setZoomPos(float x, float y, bool main);

    void clearCamera(bool front) override;
    // Show the paused picture of a camera again after a filter change.
    virtual void refreshRear();
    virtual void refreshFront();

    // Filter texts as the players get them.
    static QString mirrorOptions(bool hflip, bool vflip);
    static QString eqOptions(float brightness, float contrast);
    // Slider positions 0..100 to eq values, computed in single precision.
    static float brightnessFromSlider(int value);
    static float contrastFromSlider(int value);

public Q_SLOTS:
    void onToggleHFlipMain();
    void onToggleVFlipMain();
    void onToggleHFlipSub();
    void onToggleVFlipSub();
    // Connected to sliders: read the value of the sending slider.
    void onSetBrightness();
    void onSetContrast();

protected:
    void rebuildFlipFilter(bool front);
    void applyEq();

    bool _hflipF = false;
    bool _vflipF = false;
    bool _hflipR = false;
    bool _vflipR = false;
    float _brightness = kOff;
    float _contrast = kOff;
    av::LibAVFilterVideo *_eqFilterF = nullptr;
    av::LibAVFilterVideo *_eqFilterR = nullptr;
    av::VideoRenderer *_zoomOutputMain = nullptr;
    av::VideoRenderer *_zoomOutputSub = nullptr;
    av::LibAVFilterVideo *_flipFilterF = nullptr;
    av::LibAVFilterVideo *_flipFilterR = nullptr;
};
