#include "hx_speed_widget.h"

#include <QPainter>

namespace {
constexpr int kDashCell = 10;
} // namespace

HxSpeedWidget::HxSpeedWidget(QWidget *parent)
    : QWidget(parent)
    , m_sprite(QStringLiteral(":/image/num_15x25.png"))
    , m_panelOn(QStringLiteral(":/image/speed_on.png"))
    , m_panelOff(QStringLiteral(":/image/speed_off.png"))
{
}

void HxSpeedWidget::setSpeedValue(int value)
{
    // Three digits show no more than 999.
    if (value < 0 || value > 999)
        value = -1;
    if (value == m_speedValue)
        return;
    m_speedValue = value;
    update();
}

QRect HxSpeedWidget::spriteCell(int digit)
{
    const int cell = digit >= 0 && digit <= 9 ? digit : kDashCell;
    return QRect(cell * kCellWidth, 0, kCellWidth, kCellHeight);
}

void HxSpeedWidget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    const QPixmap &panel = m_speedValue >= 0 ? m_panelOn : m_panelOff;
    painter.drawPixmap((width() - panel.width()) / 2, (height() - panel.height()) / 2, panel);

    // Three cells: "%03d" of the value, or three dashes.
    int digits[3] = {-1, -1, -1};
    if (m_speedValue >= 0) {
        digits[0] = m_speedValue / 100;
        digits[1] = m_speedValue / 10 % 10;
        digits[2] = m_speedValue % 10;
    }
    const int left = (width() - 3 * kCellWidth) / 2;
    for (int i = 0; i < 3; ++i)
        painter.drawPixmap(left + i * kCellWidth, kDigitsTop, m_sprite, spriteCell(digits[i]).x(),
                           0, kCellWidth, kCellHeight);
}
