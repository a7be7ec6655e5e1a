#include "vw_frame_video_base.h"

#include "av_player.h"
#include "hx_button.h"
#include "hx_logo_widget.h"
#include "vw_play_process.h"
#include "vw_player.h"
#include "vw_popup.h"
#include "vw_video_item.h"
#include "vw_widget_zoom_pos.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QSize kTitleButtonSize(30, 26);
constexpr int kTitleHeight = 26;
constexpr int kZoomDragMs = 50;
constexpr int kZoomRetryMs = 10;

HxButton *addTitleButton(QWidget *area, QHBoxLayout *layout, const char *image, const char *key,
                         const QString &english, bool checkable = false)
{
    HxButton *button = HxButton::createTranslatedButton(area, layout, QLatin1String(image), key, english,
                                                        kTitleButtonSize, checkable);
    addFixedSpacer(layout, 6, 0);
    return button;
}
} // namespace

VwFrameVideoBase::VwFrameVideoBase(VwPlayer *player, VwPlayProcess *process, bool isMain, QWidget *parent)
    : VwWidgetBase(parent, true)
    , _player(player)
    , _process(process)
    , _isMain(isMain)
    , _showsFront(isMain)
{
    _layout = new QVBoxLayout(this);
    _layout->setContentsMargins(0, 0, 0, 0);
    _layout->setSpacing(0);

    _titleBar = new QWidget(this);
    _titleBar->setObjectName(QStringLiteral("video_title"));
    _titleBar->setStyleSheet(QStringLiteral("QWidget#video_title{background-color: #595959;}"));
    auto *titleLayout = new QHBoxLayout(_titleBar);
    titleLayout->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titleLayout->setContentsMargins(0, 0, 0, 0);
    titleLayout->setSpacing(0);
    _titleLabel = new QLabel(_titleBar);
    _titleLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    _titleLabel->setFixedHeight(kTitleHeight);
    titleLayout->addWidget(_titleLabel);
    auto *buttonArea = new QWidget(_titleBar);
    buttonArea->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto *buttons = new QHBoxLayout(buttonArea);
    buttons->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    _flipHButton = addTitleButton(buttonArea, buttons, "vt_flip_h", "flip_h", QStringLiteral("Flip horizontal"));
    _flipVButton = addTitleButton(buttonArea, buttons, "vt_flip_v", "flip_v", QStringLiteral("Flip vertical"));
    _swapButton = addTitleButton(buttonArea, buttons, "vt_swap", "swap", QStringLiteral("Switch front/rear"));
    _fullScreenButton = addTitleButton(buttonArea, buttons, "vt_fullscreen", "fullscreen",
                                       QStringLiteral("Full screen"), true);
    titleLayout->addWidget(buttonArea);
    _layout->addWidget(_titleBar);

    _logo = new HxLogoWidget(_isMain, this);
    _logo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    _layout->addWidget(_logo);
    updateTitle();

    connect(player, &VwPlayerBase::playEvent, this, &VwFrameVideoBase::onPlayEvent);
    connect(VwLanguage::instance(), &VwLanguage::languageChange, this, &VwFrameVideoBase::onLanguageChange);
    VwApp *app = VwApp::instance();
    if (app->pipLocationShortcut)
        connect(app->pipLocationShortcut, &QShortcut::activated, this, &VwFrameVideoBase::onTogglePIPLocation);
    if (app->pipVisibilityShortcut)
        connect(app->pipVisibilityShortcut, &QShortcut::activated, this, &VwFrameVideoBase::onToggleShowHidePIP);
    connect(app, &VwApp::hidePIPForCapture, this, &VwFrameVideoBase::onHidePIPForCapture);
    connect(_swapButton, &QPushButton::clicked, player, qOverload<>(&VwPlayer::toggleSwap));
    connect(_flipHButton, &QPushButton::clicked, player,
            _isMain ? &VwPlayerZoom::onToggleHFlipMain : &VwPlayerZoom::onToggleHFlipSub);
    connect(_flipVButton, &QPushButton::clicked, player,
            _isMain ? &VwPlayerZoom::onToggleVFlipMain : &VwPlayerZoom::onToggleVFlipSub);
    connect(_fullScreenButton, &QPushButton::clicked, this, [this] {
        // The button shows the window's state, which the window announces;
        // a request it refuses (a key held) must not leave it toggled.
        _fullScreenButton->setChecked(!_fullScreenButton->isChecked());
        Q_EMIT fullScreenRequested();
    });
}

VwFrameVideoBase::~VwFrameVideoBase()
{
    if (!_player)
        return;
    // Back to the player: the overview (deleted by stopZoom) and the video
    // widget, without what this pane put on it.
    if (_zoomOn)
        _player->stopZoom(_isMain);
    if (_videoWidget) {
        delete _pipBox;
        delete _videoWidget->layout();
        _layout->removeWidget(_videoWidget);
        _videoWidget->hide();
        _videoWidget->setParent(nullptr);
    }
}

void VwFrameVideoBase::setVideoWidget(QWidget *widget)
{
    if (!widget)
        return;
    _videoWidget = widget;
    widget->hide();
    widget->setParent(this);
    widget->setMinimumSize(160, 90);
    widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // A pane destroyed earlier took its own box and layout away.
    _pipLayout = new QHBoxLayout(widget);
    _pipBox = new QWidget(widget);
    _pipBox->setObjectName(QStringLiteral("test_widget"));
    _pipBox->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *boxLayout = new QHBoxLayout(_pipBox);
    boxLayout->setContentsMargins(1, 1, 1, 1);
    boxLayout->setSpacing(0);
    _pipLayout->addWidget(_pipBox);
    applyPipGeometry();
    _pipBox->hide();
}

int VwFrameVideoBase::titleHeight() const
{
    return _titleLabel->height();
}

void VwFrameVideoBase::applyPipGeometry()
{
    if (!_pipBox)
        return;
    _pipBox->setFixedSize(_pipRect.size());
    _pipLayout->setAlignment(_pipBox, Qt::AlignTop | (_pipRight ? Qt::AlignRight : Qt::AlignLeft));
    // The rectangle's left value is the distance from the side it sits on.
    _pipLayout->setContentsMargins(_pipRight ? QMargins(0, _pipRect.top(), _pipRect.left(), 0)
                                             : QMargins(_pipRect.left(), _pipRect.top(), 0, 0));
}

bool VwFrameVideoBase::showsVideo() const
{
    return _videoWidget && !_videoWidget->isHidden() && _layout->indexOf(_videoWidget) >= 0;
}

void VwFrameVideoBase::showVideo(bool show)
{
    if (!_videoWidget || show == showsVideo())
        return;
    QWidget *out = show ? static_cast<QWidget *>(_logo) : _videoWidget.data();
    QWidget *in = show ? _videoWidget.data() : static_cast<QWidget *>(_logo);
    _layout->removeWidget(out);
    out->hide();
    _layout->insertWidget(1, in);
    in->show();
    if (show && _zoomOn)
        QTimer::singleShot(kZoomRetryMs, this, &VwFrameVideoBase::onForceUpdateZoom);
}

void VwFrameVideoBase::updateVideoVisibility()
{
    if (!_player)
        return;
    const av::AVPlayer *camera = _showsFront ? _player->playerF() : _player->playerR();
    showVideo(camera->isLoaded());
}

void VwFrameVideoBase::updateTitle()
{
    const bool front = _showsFront != _invertTitle;
    const bool english = VwLanguage::instance()->language != VwLanguage::LANGUAGE_JAPANESE;
    _titleImage = QStringLiteral(":/image/title_video_%1%2.png")
                      .arg(front ? QLatin1String("front") : QLatin1String("rear"),
                           english ? QLatin1String("_en") : QLatin1String(""));
    _titleLabel->setPixmap(QPixmap(_titleImage));
    _logo->setCamera(front);
}

void VwFrameVideoBase::onLanguageChange(VwLanguage::LANGUAGE_TYPE language)
{
    Q_UNUSED(language)
    updateTitle();
}

void VwFrameVideoBase::onPlayEvent(PLAY_EVENT event, VwVideoItem *item)
{
    switch (event) {
    case PLAY_EVENT_SWAP_REAR:
    case PLAY_EVENT_SWAP_FRONT:
        _showsFront = _isMain == (event == PLAY_EVENT_SWAP_FRONT);
        updateTitle();
        updateVideoVisibility();
        if (_zoomOn && _overview)
            _overview->update();
        break;
    case PLAY_EVENT_FIRST_FRAME:
        if (item)
            updateVideoVisibility();
        break;
    case PLAY_EVENT_STOPPED:
        // A stop on the way to another recording keeps the picture.
        if (!item && !(_process && _process->pendingItem())) {
            showVideo(false);
            _invertTitle = false;
            updateTitle();
        }
        break;
    case PLAY_EVENT_LOADED: {
        if (!item)
            break;
        if (_zoomOn && _overview)
            _overview->update();
        const bool hasFront = !item->frontPath.isEmpty();
        const bool hasRear = !item->rearPath.isEmpty();
        _swapButton->setEnabled(hasFront && hasRear);
        _invertTitle = !hasFront && hasRear;
        updateTitle();
        break;
    }
    default:
        break;
    }
}

void VwFrameVideoBase::onAppEvent(VwApp::Event event, int param)
{
    if (event != VwApp::EVENT_FULLSCREEN_ENTER && event != VwApp::EVENT_FULLSCREEN_LEAVE)
        return;
    const bool entering = event == VwApp::EVENT_FULLSCREEN_ENTER;
    // The maximised layout is left with the title bar's button.
    _fullScreenButton->setVisible(!(entering && param == 1));
    _fullScreenButton->setChecked(entering);
    if (entering)
        _fullScreenButton->setToolTips(languageText("restore_window"), QStringLiteral("Restore Down"));
    else
        _fullScreenButton->setToolTips(languageText("fullscreen"), QStringLiteral("Full screen"));
    if (_zoomOn)
        onToggleZoom();
}

// Zoom

void VwFrameVideoBase::onToggleZoom()
{
    if (!_pipBox || !_player)
        return;
    if (!_zoomOn) {
        QWidget *overview = _player->startZoom(_isMain);
        if (!overview) {
            _player->stopZoom(_isMain);
            return;
        }
        _zoomOn = true;
        _overview = overview;
        _pipBox->layout()->addWidget(overview);
        overview->show();
        auto *overlayLayout = new QHBoxLayout(overview);
        overlayLayout->setContentsMargins(0, 0, 0, 0);
        overlayLayout->setSpacing(0);
        _zoomPos = new VwWidgetZoomPos(overview);
        overlayLayout->addWidget(_zoomPos);
        _pipBox->show();
    } else {
        _zoomOn = false;
        delete _zoomTimer;
        _zoomTimer = nullptr;
        _dragging = false;
        _pipBox->hide();
        // The overview and what lies on it go with the player's overview output.
        _player->stopZoom(_isMain);
    }
    Q_EMIT modeZoomChange(_zoomOn);
}

void VwFrameVideoBase::setZoomRegion(float x, float y)
{
    if (!_zoomPos)
        return;
    _zoomPos->setAnchorX(x);
    _zoomPos->setAnchorY(y);
    _zoomPos->move(0.0f, 0.0f);
    onForceUpdateZoom();
}

void VwFrameVideoBase::onUpdateZoom()
{
    delete _zoomTimer;
    _zoomTimer = nullptr;
    if (!_zoomOn || !_zoomPos || !_dragging)
        return;
    _zoomPos->drag(_pressPoint, _movePoint, _videoWidget ? _videoWidget->size() : size());
    onForceUpdateZoom();
}

void VwFrameVideoBase::onForceUpdateZoom()
{
    if (!_zoomOn || !_zoomPos || !_player)
        return;
    if (!_player->setZoomPos(_zoomPos->posX(), _zoomPos->posY(), _isMain))
        QTimer::singleShot(kZoomRetryMs, this, &VwFrameVideoBase::onForceUpdateZoom);
}

void VwFrameVideoBase::onTogglePIPLocation()
{
    _pipRight = !_pipRight;
    applyPipGeometry();
}

void VwFrameVideoBase::onToggleShowHidePIP()
{
    if (_zoomOn && _pipBox)
        _pipBox->setVisible(_pipBox->isHidden());
}

void VwFrameVideoBase::onHidePIPForCapture(bool hide)
{
    if (hide) {
        if (!_zoomOn || !_pipBox || !_zoomPos)
            return;
        _pipWasHidden = _pipBox->isHidden();
        _zoomXBeforeCapture = _zoomPos->posX();
        _zoomYBeforeCapture = _zoomPos->posY();
        _zoomHiddenForCapture = true;
        onToggleZoom();
        return;
    }
    // The picture is taken: the zoom comes back as it was.
    if (!_zoomHiddenForCapture)
        return;
    _zoomHiddenForCapture = false;
    if (!_zoomOn)
        onToggleZoom();
    if (!_zoomOn)
        return;
    setZoomRegion(_zoomXBeforeCapture, _zoomYBeforeCapture);
    _pipBox->setVisible(!_pipWasHidden);
}

// Mouse

void VwFrameVideoBase::mousePressEvent(QMouseEvent *event)
{
    if (!_zoomOn || !_zoomPos || event->button() != Qt::LeftButton) {
        VwWidgetBase::mousePressEvent(event);
        return;
    }
    _pressPoint = _movePoint = event->pos();
    _zoomPos->startDrag();
    _dragging = true;
    event->accept();
}

void VwFrameVideoBase::mouseMoveEvent(QMouseEvent *event)
{
    if (!_dragging) {
        VwWidgetBase::mouseMoveEvent(event);
        return;
    }
    _movePoint = event->pos();
    if (!_zoomTimer) {
        _zoomTimer = new QTimer(this);
        _zoomTimer->setSingleShot(true);
        connect(_zoomTimer, &QTimer::timeout, this, &VwFrameVideoBase::onUpdateZoom);
        _zoomTimer->start(kZoomDragMs);
    }
}

void VwFrameVideoBase::mouseReleaseEvent(QMouseEvent *event)
{
    if (!_dragging) {
        VwWidgetBase::mouseReleaseEvent(event);
        return;
    }
    // Where the mouse was let go counts, also within the 50 ms of the last move.
    _movePoint = event->pos();
    onUpdateZoom();
    _dragging = false;
}

void VwFrameVideoBase::mouseDoubleClickEvent(QMouseEvent *event)
{
    const bool loaded = _player && _player->playerF()->isLoaded();
    if (event->button() == Qt::LeftButton && event->pos().y() >= titleHeight() && loaded && showsVideo()) {
        onToggleZoom();
        event->accept();
        return;
    }
    VwWidgetBase::mouseDoubleClickEvent(event);
}
