#pragma once

#include "vw_widget_base.h"

class HxButton;
class HxSpeedFrame;
class QHBoxLayout;
class QLabel;
class VwGraphWidget;

// The G-sensor panel under the main video: the speed display, the axis
// legend with the values at the playback position, the graph and its zoom
// buttons.
class VwFrameGraph : public VwWidgetBase
{
    Q_OBJECT

public:
    explicit VwFrameGraph(QWidget *parent = nullptr);

    VwGraphWidget *graph = nullptr;
    HxButton *iconX = nullptr;
    HxButton *iconY = nullptr;
    HxButton *iconZ = nullptr;
    QLabel *labelX = nullptr;
    QLabel *labelY = nullptr;
    QLabel *labelZ = nullptr;
    QHBoxLayout *panelLayout = nullptr;
    HxButton *zoomIn = nullptr;
    HxButton *zoomOut = nullptr;
    HxSpeedFrame *speedFrame = nullptr;

public Q_SLOTS:
    void onAppEvent(VwApp::Event event, int param) override;
    void onZoomChange(bool zi, bool zo);
};
