#pragma once

#include "vw_language.h"
#include "vw_play_event.h"
#include "vw_sensor_snapshot.h"
#include "vw_widget_base.h"

class HxButton;
class HxSpeedWidget;
class QVBoxLayout;
class VwVideoItem;

// The speed recorded with the GPS track at the playback position, in km/h,
// or in miles per hour while the interface is not Japanese. The unit picture
// below the digits always names the unit shown.
class HxSpeedFrame : public VwWidgetBase
{
    Q_OBJECT

public:
    explicit HxSpeedFrame(QWidget *parent = nullptr);

    bool inMiles() const { return m_inMiles; }

    HxSpeedWidget *speedWidget = nullptr;
    HxButton *unitKmh = nullptr;
    HxButton *unitMph = nullptr;
    QVBoxLayout *frameLayout = nullptr;

public Q_SLOTS:
    void onPositionChanged(qint64 position, qint64 duration);
    void onPlayEvent(PLAY_EVENT event, VwVideoItem *item);
    void onLanguageChange(VwLanguage::LANGUAGE_TYPE language);

private:
    void setInMiles(bool on);
    void clear();
    void showPosition();

    VwSensorSnapshot m_telemetry;
    bool m_inMiles = false;
    // The last position reported, shown again in the other unit on a
    // language change; a negative duration while there is none.
    qint64 m_position = 0;
    qint64 m_duration = -1;
};
