#include "vw_frame_play.h"

#include "av_player.h"
#include "hx_button.h"
#include "vw_language.h"
#include "vw_play_process.h"
#include "vw_player.h"
#include "vw_popup.h"
#include "vw_style.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"

#include <QHBoxLayout>
#include <QShortcut>
#include <QSpacerItem>

namespace {
const QSize kButtonSize(62, 62);
const QSize kOpenSize(121, 70);
constexpr int kPlayHoldMs = 150;

HxButton *addBarButton(QWidget *bar, QHBoxLayout *layout, const char *image, const char *key,
                       const QString &english, bool checkable = false)
{
    HxButton *button = HxButton::createTranslatedButton(bar, layout, QLatin1String(image), key, english, kButtonSize,
                                                        checkable);
    button->setEnabled(false);
    return button;
}

QShortcut *addShortcut(QWidget *owner, Qt::Key key)
{
    auto *shortcut = new QShortcut(QKeySequence(key), owner);
    shortcut->setContext(Qt::ApplicationShortcut);
    shortcut->setEnabled(false);
    return shortcut;
}
} // namespace

VwFramePlay::VwFramePlay(VwPlayer *player, VwPlayProcess *process, QWidget *parent)
    : VwWidgetBase(parent, true)
    , _player(player)
    , _process(process)
{
    setObjectName(QStringLiteral("play_bar"));
    setStyleSheet(QStringLiteral("VwFramePlay{border-image: url(:/image/play_bg.png) 0 0 0 0 repeat stretch;}"));
    _layout = new QHBoxLayout(this);
    _layout->setContentsMargins(0, 1, 0, 0);
    _layout->setAlignment(Qt::AlignVCenter);
    _layout->setSpacing(10);

    addFixedSpacer(_layout, 17, 0);
    previousButton = addBarButton(this, _layout, "play_backward", "play_file_previous",
                                  QStringLiteral("Move to previous file"));
    playButton = addBarButton(this, _layout, "play_play", "play_play", QStringLiteral("Play"), true);
    // Enabled by the first recording loaded: before, there is nothing to stop.
    stopButton = addBarButton(this, _layout, "play_stop", "play_stop", QStringLiteral("Stop"));
    nextButton = addBarButton(this, _layout, "play_forward", "play_file_next", QStringLiteral("Move to next file"));
    openButton = HxButton::createTranslatedButton(this, nullptr, QStringLiteral("open"), "open",
                                                  QStringLiteral("Open folder"), kOpenSize);
    _layout->addWidget(openButton, 0, Qt::AlignRight);
    _fullScreenSpacer = new QSpacerItem(1, 0, QSizePolicy::Expanding, QSizePolicy::Minimum);

    playShortcut = addShortcut(this, Qt::Key_Space);
    restartShortcut = addShortcut(this, Qt::Key_Backspace);

    connect(playButton, &QPushButton::released, this, &VwFramePlay::onPlayOrPause);
    connect(stopButton, &QPushButton::clicked, player, &VwPlayer::onUserStop);
    connect(previousButton, &QPushButton::clicked, this, &VwFramePlay::previousRequested);
    connect(nextButton, &QPushButton::clicked, this, &VwFramePlay::nextRequested);
    connect(openButton, &QPushButton::clicked, this, &VwFramePlay::openRequested);
    connect(playShortcut, &QShortcut::activated, this, &VwFramePlay::onPlayOrPause);
    connect(restartShortcut, &QShortcut::activated, player, &VwPlayer::onPlayRestart);
    connect(player, &VwPlayerBase::playEvent, this, &VwFramePlay::onPlayEvent);
    connect(VwVideoFileList::instance(), &VwVideoFileList::listUpdateEnd, this, &VwFramePlay::onLoadingListEnd);
}

VwFramePlay::~VwFramePlay()
{
    if (_layout->indexOf(_fullScreenSpacer) < 0)
        delete _fullScreenSpacer;
}

void VwFramePlay::onLoadingListEnd(bool bLoading)
{
    Q_UNUSED(bLoading)
    const bool any = !VwVideoFileList::instance()->visibleItems().isEmpty();
    for (HxButton *button : {playButton, previousButton, nextButton})
        button->setEnabled(any);
    playShortcut->setEnabled(any);
    restartShortcut->setEnabled(any);
}

void VwFramePlay::onPlayOrPause()
{
    disableFor(playButton, kPlayHoldMs);
    if (!_player)
        return;
    _player->onPlayOrPause();
    // The button toggled itself when clicked; a refused request (nothing
    // loaded, a fast seek running) must not leave it showing the wrong state.
    const av::AVPlayer *front = _player->playerF();
    showPlaying(front->isPlaying() && !front->isPaused());
}

void VwFramePlay::showPlaying(bool playing)
{
    playButton->setChecked(playing);
    playButton->setToolTips(languageText(playing ? "play_pause" : "play_play"),
                            playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
}

void VwFramePlay::onPlayEvent(PLAY_EVENT event, VwVideoItem *item)
{
    switch (event) {
    case PLAY_EVENT_PLAY:
    case PLAY_EVENT_PAUSE:
    case PLAY_EVENT_STOPPED:
        showPlaying(event == PLAY_EVENT_PLAY);
        if (event == PLAY_EVENT_STOPPED && !item && !(_process && _process->pendingItem()))
            stopButton->setEnabled(false);
        break;
    case PLAY_EVENT_NO_MEDIA:
        showPlaying(false);
        break;
    case PLAY_EVENT_LOADED:
        if (item)
            stopButton->setEnabled(true);
        break;
    case PLAY_EVENT_USER_STOP:
        stopButton->setEnabled(false);
        break;
    default:
        break;
    }
}

void VwFramePlay::onAppEvent(VwApp::Event event, int param)
{
    const bool keepOpen = param == 1;
    if (event == VwApp::EVENT_FULLSCREEN_ENTER) {
        if (_layout->indexOf(_fullScreenSpacer) < 0)
            _layout->insertItem(_layout->indexOf(openButton), _fullScreenSpacer);
        if (!keepOpen)
            openButton->hide();
    } else if (event == VwApp::EVENT_FULLSCREEN_LEAVE) {
        _layout->removeItem(_fullScreenSpacer);
        if (!keepOpen)
            openButton->show();
    }
}
