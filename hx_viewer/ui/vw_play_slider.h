#pragma once

#include "vw_play_event.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QTimer;
class VwPlayer;
class VwSlider;
class VwVideoItem;

// The position slider under the main video with the elapsed time and the
// recording's duration. The player moves the slider, in its own
// milliseconds; the elapsed time is scaled to the recording's own duration,
// which the file's may differ from.
class VwPlaySlider : public QWidget
{
    Q_OBJECT

public:
    explicit VwPlaySlider(VwPlayer *player, QWidget *parent = nullptr);
    ~VwPlaySlider() override;

    VwSlider *slider() const { return _slider; }
    QLabel *currentTime() const { return _currentTime; }
    QLabel *durationTime() const { return _durationTime; }

public Q_SLOTS:
    // Enables the slider only; the labels stay as they are.
    void setEnabled(bool bEnabled);
    void onPlayEvent(PLAY_EVENT event, VwVideoItem *item);
    void onPositionChanged(qint64 position, qint64 duration);
    void onEnableSliderDelay();

private:
    QPointer<VwPlayer> _player;
    VwSlider *_slider = nullptr;
    QLabel *_currentTime = nullptr;
    QLabel *_durationTime = nullptr;
    QTimer *_enableTimer = nullptr;
    double _itemDuration = 0.0;
};
