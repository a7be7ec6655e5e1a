#pragma once

#include "vw_widget_base.h"

class HxFrameGPS;
class QVBoxLayout;
class VwFrameList;
class VwFrameVideoSub;

// The main window's right column: GPS panel, sub video and the file list.
// Full screen hides it; the maximised layout keeps it.
class VwFrameRight : public VwWidgetBase
{
    Q_OBJECT

public:
    explicit VwFrameRight(QWidget *parent = nullptr);

    QVBoxLayout *columnLayout = nullptr;
    HxFrameGPS *gpsPanel = nullptr;
    QWidget *subVideoBlock = nullptr;
    VwFrameVideoSub *subVideo = nullptr;
    VwFrameList *fileList = nullptr;

public Q_SLOTS:
    void onAppEvent(VwApp::Event event, int param) override;
};
