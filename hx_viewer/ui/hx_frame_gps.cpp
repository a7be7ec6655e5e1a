#include "hx_frame_gps.h"

#include "vw_language.h"
#include "vw_player.h"
#include "vw_video_item.h"
#include "vw_style.h"

#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>

namespace {
const QString kNoPosition = QStringLiteral("--.------");

QLabel *addTitle(QWidget *frame, QHBoxLayout *layout, const char *key, const QString &english)
{
    auto *title = new QLabel(languageText(key), frame);
    title->setFixedSize(50, 18);
    title->setAlignment(Qt::AlignCenter);
    applyBadgeLabelStyle(title, QStringLiteral("lonlat_title"), QStringLiteral("MS PGothic"),
                         0xC59433, 12, false, 0x3C3C3C);
    VwLanguage *language = VwLanguage::instance();
    language->registerText(VwLanguage::LANGUAGE_JAPANESE, VwLanguage::TEXT_KIND_TEXT, title,
                           languageText(key));
    language->registerText(VwLanguage::LANGUAGE_ENGLISH, VwLanguage::TEXT_KIND_TEXT, title,
                           english);
    layout->addWidget(title);
    return title;
}

QLabel *addValue(QWidget *frame, QHBoxLayout *layout, const QString &accessibleDescription)
{
    auto *value = new QLabel(kNoPosition, frame);
    applyLabelStyle(value, QStringLiteral("lonlat_label"), QStringLiteral("Arial"), 0xF5F5F5, 13,
                    false);
    // The text itself is the accessible name, so that screen readers (and
    // anything reading the accessibility tree) get the position.
    value->setAccessibleDescription(accessibleDescription);
    layout->addWidget(value);
    return value;
}
} // namespace

HxFrameGPS::HxFrameGPS(QWidget *parent)
    : QWidget(parent)
{
    applyBorderStyle(this, QStringLiteral("frame_gps"), 0x666666);
    // A plain QWidget draws its style sheet's border only with this set.
    setAttribute(Qt::WA_StyledBackground);
    frameLayout = new QHBoxLayout(this);
    frameLayout->setAlignment(Qt::AlignVCenter);
    frameLayout->setContentsMargins(10, 0, 0, 0);
    frameLayout->setSpacing(10);
    latitudeTitle = addTitle(this, frameLayout, "lat", QStringLiteral("Lat"));
    latitudeLabel = addValue(this, frameLayout, QStringLiteral("Latitude"));
    longitudeTitle = addTitle(this, frameLayout, "lon", QStringLiteral("Lon"));
    longitudeLabel = addValue(this, frameLayout, QStringLiteral("Longitude"));

    VwPlayer *player = VwPlayer::instance();
    connect(player, &VwPlayerBase::positionChanged, this, &HxFrameGPS::onPositionChanged);
    connect(player, &VwPlayerBase::playEvent, this, &HxFrameGPS::onPlayEvent);
}

void HxFrameGPS::showNoPosition()
{
    latitudeLabel->setText(kNoPosition);
    longitudeLabel->setText(kNoPosition);
}

void HxFrameGPS::onPlayEvent(PLAY_EVENT event, VwVideoItem *item)
{
    if (event == PLAY_EVENT_LOADED) {
        m_telemetry = VwSensorSnapshot(item);
        if (!m_telemetry.hasGps()) {
            m_telemetry = VwSensorSnapshot();
            showNoPosition();
        }
    } else if (event == PLAY_EVENT_STOPPED) {
        // The last position stays readable while the next recording loads.
        m_telemetry = VwSensorSnapshot();
    } else if (event == PLAY_EVENT_USER_STOP) {
        showNoPosition();
    }
}

void HxFrameGPS::onPositionChanged(qint64 position, qint64 duration)
{
    if (!m_telemetry.hasGps())
        return;
    const QVector<VwGpsRecord> &records = m_telemetry.gpsRecords;
    const qint64 count = records.size();
    const qint64 index = VwSensorInfo::recordIndex(position, duration, count);
    // A report without a fraction carries no position.
    if (index < 0)
        return;
    // The end of the recording shows its last second.
    const VwGpsRecord *record =
        index <= count ? &records.at(int(std::min(index, count - 1))) : nullptr;
    if (!record || !record->valid) {
        showNoPosition();
        return;
    }
    latitudeLabel->setText(QString::asprintf("%.06f", record->latitude));
    longitudeLabel->setText(QString::asprintf("%.06f", record->longitude));
}
