#include "hx_speed_frame.h"

#include "hx_button.h"
#include "hx_speed_widget.h"
#include "vw_player.h"
#include "vw_video_item.h"

#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr double kMilesPerKm = 0.621371;
constexpr double kShownLimit = 500.0;

// The speed to show for a recorded speed in km/h: whole units, -1 for none
// (no fix, not a number, 500 or more).
int displayValue(double kmh, bool valid, bool inMiles)
{
    if (!valid)
        return -1;
    const double value = inMiles ? kmh * kMilesPerKm : kmh;
    if (!(value >= 0.0) || value >= kShownLimit)
        return -1;
    return int(value);
}
} // namespace

HxSpeedFrame::HxSpeedFrame(QWidget *parent)
    : VwWidgetBase(parent)
{
    frameLayout = new QVBoxLayout(this);
    frameLayout->setAlignment(Qt::AlignTop);
    frameLayout->setContentsMargins(1, 0, 0, 0);
    frameLayout->setSpacing(0);

    speedWidget = new HxSpeedWidget(this);
    speedWidget->setFixedSize(87, 52);
    frameLayout->addWidget(speedWidget);
    const QSize unitSize(87, 23);
    unitKmh = HxButton::createSingleImageButton(this, frameLayout, QStringLiteral("speed_kmh"),
                                                QString(), unitSize);
    unitMph = HxButton::createSingleImageButton(this, frameLayout, QStringLiteral("speed_mph"),
                                                QString(), unitSize);
    unitKmh->setEnabled(false);
    unitMph->setEnabled(false);

    VwLanguage *language = VwLanguage::instance();
    setInMiles(language->language != VwLanguage::LANGUAGE_JAPANESE);

    VwPlayer *player = VwPlayer::instance();
    connect(player, &VwPlayerBase::positionChanged, this, &HxSpeedFrame::onPositionChanged);
    connect(player, &VwPlayerBase::playEvent, this, &HxSpeedFrame::onPlayEvent);
    connect(language, &VwLanguage::languageChange, this, &HxSpeedFrame::onLanguageChange);
}

void HxSpeedFrame::setInMiles(bool on)
{
    m_inMiles = on;
    unitKmh->setVisible(!on);
    unitMph->setVisible(on);
}

void HxSpeedFrame::onLanguageChange(VwLanguage::LANGUAGE_TYPE language)
{
    setInMiles(language != VwLanguage::LANGUAGE_JAPANESE);
    if (m_telemetry.hasGps() && m_duration >= 0)
        showPosition();
}

void HxSpeedFrame::clear()
{
    m_telemetry = VwSensorSnapshot();
    m_duration = -1;
    speedWidget->setSpeedValue(-1);
}

void HxSpeedFrame::onPlayEvent(PLAY_EVENT event, VwVideoItem *item)
{
    if (event == PLAY_EVENT_LOADED) {
        VwSensorSnapshot telemetry(item);
        if (!telemetry.hasGps()) {
            clear();
            return;
        }
        // The digits keep their value until the first position report.
        m_telemetry = telemetry;
        m_duration = -1;
    } else if (event == PLAY_EVENT_STOPPED) {
        clear();
    }
}

void HxSpeedFrame::onPositionChanged(qint64 position, qint64 duration)
{
    if (!m_telemetry.hasGps())
        return;
    m_position = position;
    m_duration = duration;
    showPosition();
}

void HxSpeedFrame::showPosition()
{
    const QVector<VwGpsRecord> &records = m_telemetry.gpsRecords;
    const qint64 count = records.size();
    const qint64 index = VwSensorInfo::recordIndex(m_position, m_duration, count);
    // The end of the recording shows its last second; only a position past
    // the end, or one without a fraction, shows none.
    if (index < 0 || index > count) {
        speedWidget->setSpeedValue(-1);
        return;
    }
    const VwGpsRecord &record = records.at(int(std::min(index, count - 1)));
    speedWidget->setSpeedValue(displayValue(record.speed, record.valid, m_inMiles));
}
