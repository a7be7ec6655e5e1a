#pragma once

#include <QSlider>

// The program's horizontal slider. A press on the groove moves the handle
// under the mouse at once and goes on as a drag of the handle. Every press
// the slider took ends with mouseReleased(): on the button's release, or
// when the slider is disabled or hidden while held, since the player stays
// paused and silent until it hears of the release.
class VwSlider : public QSlider
{
    Q_OBJECT

public:
    explicit VwSlider(QWidget *parent = nullptr);

    // The wheel moves a slider without sliderMoved() and without a release;
    // sliders acted on at those moments turn it off.
    void setWheelEnabled(bool on) { _wheelEnabled = on; }
    bool isHeld() const { return _held; }

Q_SIGNALS:
    void mouseReleased();
    void sliderPressedWithKnob(bool bKnob);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QRect handleRect() const;
    // Ends a held press that will see no release of the mouse button.
    void endHeldPress();

    bool _held = false;
    bool _wheelEnabled = true;
};
