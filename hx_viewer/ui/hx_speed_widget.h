#pragma once

#include <QPixmap>
#include <QWidget>

// Three digits of the vehicle speed on a lit panel, or three dashes on a dark
// panel when no speed is known, drawn from the digit sprite.
class HxSpeedWidget : public QWidget
{
    Q_OBJECT

public:
    explicit HxSpeedWidget(QWidget *parent = nullptr);

    // The whole speed to show, -1 (or anything outside 0..999) for none.
    // Repaints only on a change.
    void setSpeedValue(int value);
    int speedValue() const { return m_speedValue; }

    // Cell of the sprite for a digit 0..9, or the dash for any other value.
    static QRect spriteCell(int digit);

    static constexpr int kCellWidth = 15;
    static constexpr int kCellHeight = 25;
    static constexpr int kDigitsTop = 21;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_speedValue = -1;
    QPixmap m_sprite;
    QPixmap m_panelOn;
    QPixmap m_panelOff;
};
