#pragma once

#include "vw_widget_base.h"

class QHBoxLayout;
class QVBoxLayout;
class VwFrameEQ;
class VwFramePlay;
class VwFrameVideoMain;
class VwPlaySlider;
class VwFrameGraph;

// The main window's left column: the main video with the play slider below
// it, then the G-sensor graph, the picture and sound strip and the play bar.
// In the enlarged layouts it stretches over the screen and the picture and
// sound strip moves up beside the play slider.
class VwFrameLeft : public VwWidgetBase
{
    Q_OBJECT

public:
    explicit VwFrameLeft(QWidget *parent = nullptr);

    QVBoxLayout *columnLayout = nullptr;
    QWidget *videoBlock = nullptr;
    VwFrameVideoMain *mainVideo = nullptr;
    QWidget *sliderStrip = nullptr;
    QHBoxLayout *sliderStripLayout = nullptr;
    VwPlaySlider *playSlider = nullptr;
    QWidget *bottomBlock = nullptr;
    QVBoxLayout *bottomLayout = nullptr;
    VwFrameGraph *graphPanel = nullptr;
    VwFrameEQ *pictureSoundPanel = nullptr;
    VwFramePlay *playBar = nullptr;

public Q_SLOTS:
    void onAppEvent(VwApp::Event event, int param) override;

private:
    void setPlayBarAlignment(Qt::Alignment alignment);
};
