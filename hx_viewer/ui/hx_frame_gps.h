#pragma once

#include "vw_play_event.h"
#include "vw_sensor_snapshot.h"

#include <QWidget>

class QHBoxLayout;
class QLabel;
class VwVideoItem;

// One line at the top of the right-hand column: latitude and longitude of
// the car at the playback position, or dashes while no fix is known.
class HxFrameGPS : public QWidget
{
    Q_OBJECT

public:
    explicit HxFrameGPS(QWidget *parent = nullptr);

    QLabel *latitudeTitle = nullptr;
    QLabel *latitudeLabel = nullptr;
    QLabel *longitudeTitle = nullptr;
    QLabel *longitudeLabel = nullptr;
    QHBoxLayout *frameLayout = nullptr;

public Q_SLOTS:
    void onPositionChanged(qint64 position, qint64 duration);
    void onPlayEvent(PLAY_EVENT event, VwVideoItem *item);

private:
    void showNoPosition();

    VwSensorSnapshot m_telemetry;
};
