#include "vw_play_slider.h"

#include "vw_player.h"
#include "vw_popup.h"
#include "vw_slider.h"
#include "vw_style.h"
#include "vw_video_item.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

#include <cmath>

namespace {
constexpr int kEnableDelayMs = 200;
constexpr int kTimeWidth = 60;

QLabel *addTimeLabel(QWidget *parent, QHBoxLayout *layout, const QString &name, int color)
{
    auto *label = new QLabel(QStringLiteral("00:00"), parent);
    applyLabelStyle(label, name, QStringLiteral("Arial"), color, 14, false);
    label->setAlignment(Qt::AlignCenter);
    label->setFixedWidth(kTimeWidth);
    layout->addWidget(label);
    return label;
}
} // namespace

VwPlaySlider::VwPlaySlider(VwPlayer *player, QWidget *parent)
    : QWidget(parent)
    , _player(player)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_StyledBackground);
    applyBackgroundStyle(this, QStringLiteral("slider_frame"), 0x3A3A3A);
    auto *layout = new QHBoxLayout(this);
    layout->setAlignment(Qt::AlignCenter);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    addFixedSpacer(layout, 10, 0);
    _currentTime = addTimeLabel(this, layout, QStringLiteral("current_time"), 0xC59433);
    _slider = new VwSlider(this);
    _slider->setValue(0);
    // The wheel would move the handle without seeking the pictures.
    _slider->setWheelEnabled(false);
    _slider->setEnabled(false);
    applySliderStyle(_slider, QStringLiteral("play_slider"), 0xCC9933, 0x666666, false);
    layout->addWidget(_slider);
    _durationTime = addTimeLabel(this, layout, QStringLiteral("duration_time"), 0xF5F5F5);
    addFixedSpacer(layout, 10, 0);

    _enableTimer = new QTimer(this);
    _enableTimer->setSingleShot(true);
    _enableTimer->setInterval(kEnableDelayMs);
    connect(_enableTimer, &QTimer::timeout, this, &VwPlaySlider::onEnableSliderDelay);

    player->setPositionSlider(_slider);
    connect(_slider, &VwSlider::sliderPressedWithKnob, player, &VwPlayer::onSliderPress);
    connect(_slider, &VwSlider::sliderMoved, player, &VwPlayer::onSliderMove);
    connect(_slider, &VwSlider::mouseReleased, player, &VwPlayer::onSliderRelease);
    connect(player, &VwPlayerBase::positionChanged, this, &VwPlaySlider::onPositionChanged);
    connect(player, &VwPlayerBase::playEvent, this, &VwPlaySlider::onPlayEvent);
}

VwPlaySlider::~VwPlaySlider()
{
    // The slider dies with this panel; the player must not keep moving it.
    if (_player && _player->positionSlider() == _slider)
        _player->setPositionSlider(nullptr);
}

void VwPlaySlider::setEnabled(bool bEnabled)
{
    _slider->setEnabled(bEnabled);
}

void VwPlaySlider::onEnableSliderDelay()
{
    setEnabled(true);
}

void VwPlaySlider::onPlayEvent(PLAY_EVENT event, VwVideoItem *item)
{
    if (event == PLAY_EVENT_LOADED && item) {
        _enableTimer->start();
        _currentTime->setText(VwVideoItem::timeText(0));
        _durationTime->setText(item->durationText());
        _itemDuration = item->durationMs;
    } else if (event == PLAY_EVENT_STOPPED) {
        _enableTimer->stop();
        // Disabled first: a press held now ends before the handle goes home.
        setEnabled(false);
        _currentTime->setText(VwVideoItem::timeText(0));
        _durationTime->setText(VwVideoItem::timeText(0));
        _slider->setValue(0);
    }
}

void VwPlaySlider::onPositionChanged(qint64 position, qint64 duration)
{
    qint64 t = 0;
    if (duration > 0) {
        // A recording whose own duration is unknown shows the file's time.
        const double scale = _itemDuration > 0 ? _itemDuration / double(duration) : 1.0;
        t = qint64(std::trunc(double(qBound<qint64>(0, position, duration)) * scale));
    }
    if (_player)
        _player->setDisplayTime(t);
    _currentTime->setText(VwVideoItem::timeText(int(t)));
}
