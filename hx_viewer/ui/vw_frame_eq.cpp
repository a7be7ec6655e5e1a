#include "vw_frame_eq.h"

#include "hx_button.h"
#include "vw_language.h"
#include "vw_player.h"
#include "vw_popup.h"
#include "vw_released_slider.h"
#include "vw_style.h"
#include "vw_video_item.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {
const QSize kButtonSize(30, 30);
constexpr int kSliderWidth = 114;
constexpr int kPictureDefault = 50;
constexpr int kNormalSpeedIndex = 2;

template <typename Slider>
Slider *addSlider(QWidget *panel, QHBoxLayout *layout, int value)
{
    auto *slider = new Slider(panel);
    slider->setFixedWidth(kSliderWidth);
    applySliderStyle(slider, QStringLiteral("small_slider"), 0xCC9933, 0x666666, true);
    slider->setValue(value);
    layout->addWidget(slider);
    return slider;
}
} // namespace

VwFrameEQ::VwFrameEQ(VwPlayer *player, QWidget *parent)
    : VwWidgetBase(parent, true)
    , _player(player)
{
    setObjectName(QStringLiteral("picture_sound_panel"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setAlignment(Qt::AlignVCenter);

    addFixedSpacer(layout, 4, 0);
    _contrastButton = HxButton::createTranslatedButton(this, layout, QStringLiteral("v_constrast"), "contrast",
        QStringLiteral("Contrast"), kButtonSize);
    _contrastSlider = addSlider<VwSlider>(this, layout, kPictureDefault);
    addFixedSpacer(layout, 20, 0);
    _brightnessButton = HxButton::createTranslatedButton(this, layout, QStringLiteral("v_brightness"), "brightness",
        QStringLiteral("Brightness"), kButtonSize);
    _brightnessSlider = addSlider<VwSlider>(this, layout, kPictureDefault);
    addFixedSpacer(layout, 20, 0);
    _muteButton = HxButton::createTranslatedButton(this, layout, QStringLiteral("v_volume"), "volume_mute",
        QStringLiteral("Mute"), kButtonSize, true);
    _volumeSlider = addSlider<VwSlider>(this, layout, 50);
    _volumeSlider->setRange(0, 100);
    addFixedSpacer(layout, 20, 0);
    _speedButton = HxButton::createTranslatedButton(this, layout, QStringLiteral("v_speed"), "play_speed",
        QStringLiteral("Playback speed"), kButtonSize);
    _speedSlider = addSlider<VwReleasedSlider>(this, layout, 0);
    _speedSlider->setRange(0, 3);
    _speedSlider->setTickInterval(1);
    _speedSlider->setValue(kNormalSpeedIndex);
    addFixedSpacer(layout, 5, 0);
    _speedLabel = new QLabel(QStringLiteral("1x"), this);
    applyBadgeLabelStyle(_speedLabel, QStringLiteral("speed_label"), QStringLiteral("Arial"), 0xF5F5F5, 11, false,
                         0x262626);
    _speedLabel->setAlignment(Qt::AlignCenter);
    _speedLabel->setFixedSize(25, 16);
    layout->addWidget(_speedLabel);

    connect(_contrastButton, &QPushButton::clicked, this, &VwFrameEQ::onDefaultContrast);
    connect(_brightnessButton, &QPushButton::clicked, this, &VwFrameEQ::onDefaultBrightness);
    connect(_brightnessSlider, &VwSlider::sliderPressed, player, &VwPlayer::onSetBrightness);
    connect(_brightnessSlider, &VwSlider::valueChanged, player, &VwPlayer::onSetBrightness);
    connect(_contrastSlider, &VwSlider::sliderPressed, player, &VwPlayer::onSetContrast);
    connect(_contrastSlider, &VwSlider::valueChanged, player, &VwPlayer::onSetContrast);
    connect(_muteButton, &QPushButton::clicked, player, &VwPlayer::onMute);
    connect(_volumeSlider, &VwSlider::sliderPressed, player, &VwPlayer::onSetVolume);
    connect(_volumeSlider, &VwSlider::valueChanged, player, &VwPlayer::onSetVolume);
    connect(_speedButton, &QPushButton::clicked, this, &VwFrameEQ::onDefaultSpeed);

    player->setSpeedLabel(_speedLabel);
    connect(_speedSlider, &VwSlider::mouseReleased, player, &VwPlayer::onSpeedSliderReleased);
    connect(_speedSlider, &VwSlider::sliderMoved, player, &VwPlayer::onSpeedSliderMoved);
    player->setVolumeSlider(_volumeSlider);
    player->onSetVolume();
    player->setMuteButton(_muteButton);
    connect(player, &VwPlayerBase::playEvent, this, &VwFrameEQ::onPlayEvent);
}

VwFrameEQ::~VwFrameEQ()
{
    // The widgets die with this panel; the player must not reach them.
    if (!_player)
        return;
    if (_player->volumeSlider() == _volumeSlider)
        _player->setVolumeSlider(nullptr);
    if (_player->muteButton() == _muteButton)
        _player->setMuteButton(nullptr);
    if (_player->speedLabel() == _speedLabel)
        _player->setSpeedLabel(nullptr);
}

void VwFrameEQ::onPlayEvent(PLAY_EVENT event, VwVideoItem *item)
{
    Q_UNUSED(item)
    if (event != PLAY_EVENT_MUTE && event != PLAY_EVENT_UNMUTE)
        return;
    const bool muted = event == PLAY_EVENT_MUTE;
    _muteButton->setToolTips(languageText(muted ? "volume_un_mute" : "volume_mute"),
                             muted ? QStringLiteral("Unmute") : QStringLiteral("Mute"));
    _volumeSlider->setEnabled(!muted);
    _muteButton->setChecked(muted);
}

void VwFrameEQ::onDefaultSpeed()
{
    _speedSlider->setValue(kNormalSpeedIndex);
    if (_player)
        _player->resetSpeed();
}

void VwFrameEQ::onDefaultBrightness()
{
    _brightnessSlider->setValue(kPictureDefault);
}

void VwFrameEQ::onDefaultContrast()
{
    _contrastSlider->setValue(kPictureDefault);
}
