#include "vw_frame_left.h"

#include "vw_frame_eq.h"
#include "vw_frame_graph.h"
#include "vw_frame_play.h"
#include "vw_frame_video_main.h"
#include "vw_play_process.h"
#include "vw_play_slider.h"
#include "vw_player.h"
#include "vw_style.h"

#include <QLayout>
#include <QBoxLayout>

namespace {
constexpr int kColumnWidth = 690;
constexpr int kVideoBlockHeight = 444;
constexpr int kBottomBlockHeight = 182;
// The bottom block in the enlarged layouts: graph and play bar when
// maximised, the play bar alone in full screen.
constexpr int kMaximizedBottomHeight = 152;
constexpr int kFullScreenBottomHeight = 71;
} // namespace

VwFrameLeft::VwFrameLeft(QWidget *parent)
    : VwWidgetBase(parent, true)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setFixedWidth(kColumnWidth);
    columnLayout = new QVBoxLayout(this);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->setSpacing(4);
    columnLayout->setAlignment(Qt::AlignTop);

    videoBlock = new QWidget(this);
    videoBlock->setFixedHeight(kVideoBlockHeight);
    applyBorderStyle(videoBlock, QStringLiteral("main_video_frame"), 0x666666);
    auto *videoLayout = new QVBoxLayout(videoBlock);
    videoLayout->setContentsMargins(1, 1, 1, 1);
    videoLayout->setSpacing(0);
    mainVideo = new VwFrameVideoMain(VwPlayer::instance(), VwPlayProcess::instance(), videoBlock);
    mainVideo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    videoLayout->addWidget(mainVideo);

    sliderStrip = new QWidget(videoBlock);
    sliderStrip->setFixedHeight(29);
    applyBackgroundStyle(sliderStrip, QStringLiteral("3a3a3a"), 0x3a3a3a);
    sliderStripLayout = new QHBoxLayout(sliderStrip);
    sliderStripLayout->setContentsMargins(0, 0, 0, 0);
    sliderStripLayout->setSpacing(0);
    playSlider = new VwPlaySlider(VwPlayer::instance(), sliderStrip);
    playSlider->setFixedHeight(29);
    sliderStripLayout->addWidget(playSlider);
    videoLayout->addWidget(sliderStrip);
    columnLayout->addWidget(videoBlock);

    bottomBlock = new QWidget(this);
    bottomBlock->setFixedSize(kColumnWidth, kBottomBlockHeight);
    applyBorderBackgroundStyle(bottomBlock, QStringLiteral("border_back"), 0x3a3a3a, 0x666666);
    bottomLayout = new QVBoxLayout(bottomBlock);
    bottomLayout->setContentsMargins(1, 1, 1, 1);
    bottomLayout->setSpacing(0);
    bottomLayout->setAlignment(Qt::AlignTop);
    graphPanel = new VwFrameGraph(bottomBlock);
    graphPanel->setFixedHeight(79);
    bottomLayout->addWidget(graphPanel);
    pictureSoundPanel = new VwFrameEQ(VwPlayer::instance(), bottomBlock);
    pictureSoundPanel->setFixedSize(kColumnWidth, 30);
    bottomLayout->addWidget(pictureSoundPanel);
    playBar = new VwFramePlay(VwPlayer::instance(), VwPlayProcess::instance(), bottomBlock);
    playBar->setFixedHeight(71);
    bottomLayout->addWidget(playBar);
    columnLayout->addWidget(bottomBlock);
}

void VwFrameLeft::setPlayBarAlignment(Qt::Alignment alignment)
{
    if (playBar->layout())
        playBar->layout()->setAlignment(alignment);
}

void VwFrameLeft::onAppEvent(VwApp::Event event, int param)
{
    if (event == VwApp::EVENT_FULLSCREEN_ENTER) {
        setMaximumWidth(QWIDGETSIZE_MAX);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        videoBlock->setMaximumHeight(QWIDGETSIZE_MAX);
        videoBlock->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        bottomLayout->removeWidget(pictureSoundPanel);
        sliderStripLayout->insertWidget(0, pictureSoundPanel);
        bottomBlock->setMaximumWidth(QWIDGETSIZE_MAX);
        bottomBlock->setFixedHeight(param == 1 ? kMaximizedBottomHeight : kFullScreenBottomHeight);
        setPlayBarAlignment(Qt::AlignCenter);
    } else if (event == VwApp::EVENT_FULLSCREEN_LEAVE) {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        setFixedWidth(kColumnWidth);
        videoBlock->setFixedHeight(kVideoBlockHeight);
        videoBlock->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        sliderStripLayout->removeWidget(pictureSoundPanel);
        bottomLayout->insertWidget(1, pictureSoundPanel);
        bottomBlock->setFixedSize(kColumnWidth, kBottomBlockHeight);
        setPlayBarAlignment(Qt::AlignVCenter);
    }
}
