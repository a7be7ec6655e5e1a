#include "vw_frame_right.h"

#include "hx_frame_gps.h"
#include "vw_frame_list.h"
#include "vw_frame_video_sub.h"
#include "vw_play_process.h"
#include "vw_player.h"
#include "vw_popup.h"
#include "vw_style.h"

#include <QVBoxLayout>

namespace {
constexpr int kColumnWidth = 392;
} // namespace

VwFrameRight::VwFrameRight(QWidget *parent)
    : VwWidgetBase(parent, true)
{
    setFixedWidth(kColumnWidth);
    columnLayout = new QVBoxLayout(this);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->setSpacing(0);
    columnLayout->setAlignment(Qt::AlignTop);

    gpsPanel = new HxFrameGPS(this);
    gpsPanel->setFixedHeight(26);
    columnLayout->addWidget(gpsPanel);

    subVideoBlock = new QWidget(this);
    subVideoBlock->setFixedSize(kColumnWidth, 248);
    applyBorderStyle(subVideoBlock, QStringLiteral("sub_video_frame"), 0x666666);
    auto *subLayout = new QVBoxLayout(subVideoBlock);
    subLayout->setContentsMargins(1, 1, 1, 1);
    subLayout->setSpacing(0);
    subVideo = new VwFrameVideoSub(VwPlayer::instance(), VwPlayProcess::instance(), subVideoBlock);
    subVideo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    subLayout->addWidget(subVideo);
    columnLayout->addWidget(subVideoBlock);

    addFixedSpacer(columnLayout, 0, 11);
    fileList = VwFrameList::instance(this);
    fileList->setFixedWidth(kColumnWidth);
    fileList->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    columnLayout->addWidget(fileList);
    addFixedSpacer(columnLayout, 0, 6);
}

void VwFrameRight::onAppEvent(VwApp::Event event, int param)
{
    if (param != 0)
        return;
    if (event == VwApp::EVENT_FULLSCREEN_ENTER)
        hide();
    else if (event == VwApp::EVENT_FULLSCREEN_LEAVE)
        show();
}
