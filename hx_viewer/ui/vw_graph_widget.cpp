#include "vw_graph_widget.h"

#include "vw_player.h"
#include "vw_video_item.h"
#include "vw_style.h"

#include <QLabel>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace {
const QColor kBackground(0x59, 0x59, 0x59);
const QColor kGrid(0x73, 0x73, 0x73);
constexpr int kAxisColors[3] = {0x00FF00, 0xFFFF00, 0xFF0000};

QString valueText(float value)
{
    return QString::asprintf("% .2f", double(value));
}
} // namespace

VwGraphWidget::VwGraphWidget(QWidget *parent, const QList<int> &zoomLevels)
    : QWidget(parent)
    , m_zoomLevels(zoomLevels)
{
    VwPlayer *player = VwPlayer::instance();
    connect(player, &VwPlayerBase::positionChanged, this, &VwGraphWidget::onPositionChanged);
    connect(player, &VwPlayerBase::playEvent, this, &VwGraphWidget::onPlayEvent);
}

void VwGraphWidget::setValueLabels(QLabel *x, QLabel *y, QLabel *z)
{
    m_xLabel = x;
    m_yLabel = y;
    m_zLabel = z;
}

void VwGraphWidget::onZoomIn()
{
    if (m_zoomLevels.isEmpty() || m_zoom == m_zoomLevels.first())
        return;
    const int index = m_zoomLevels.indexOf(m_zoom);
    m_zoom = m_zoomLevels.at(std::max(index - 1, 0));
    rebuild();
    Q_EMIT zoomChange(m_zoomLevels.first() != m_zoom, true);
}

void VwGraphWidget::onZoomOut()
{
    if (m_zoomLevels.isEmpty() || m_zoom == m_zoomLevels.last())
        return;
    const int index = m_zoomLevels.indexOf(m_zoom);
    m_zoom = m_zoomLevels.at(std::min(index + 1, m_zoomLevels.size() - 1));
    rebuild();
    Q_EMIT zoomChange(true, m_zoom != m_zoomLevels.last());
}

void VwGraphWidget::clearLines()
{
    m_xLine.clear();
    m_yLine.clear();
    m_zLine.clear();
}

void VwGraphWidget::rebuild()
{
    clearLines();
    const QVector<VwGSensorSample> &samples = m_data.gSamples;
    const int n = samples.size();
    if (n > 0) {
        const float w = float(width());
        const float h = float(height());
        const float step = float(double(w) / n);
        const float scale = 4.0f / float(m_zoom);
        const float offset = h - scale * h;
        const float span = scale * h - offset;
        auto place = [h, offset, span](float value) {
            return h - ((value + 2.0f) * span * 0.25f + offset);
        };
        m_xLine.reserve(n);
        m_yLine.reserve(n);
        m_zLine.reserve(n);
        for (int i = 0; i < n; ++i) {
            const VwGSensorSample &sample = samples.at(i);
            const qreal x = qreal(float(i) * step);
            m_xLine.append(QPointF(x, place(sample.x)));
            m_yLine.append(QPointF(x, place(sample.y)));
            m_zLine.append(QPointF(x, place(sample.z)));
        }
    }
    invalidateCache();
}

void VwGraphWidget::invalidateCache()
{
    m_cacheValid = false;
    update();
}

void VwGraphWidget::paintGraph(QPainter *painter) const
{
    const QRect area = rect();
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(kBackground);
    painter->drawRoundedRect(area, 3, 3, Qt::AbsoluteSize);
    painter->setBrush(Qt::NoBrush);

    const QRect plot = area.adjusted(3, 8, -3, -8);
    painter->setPen(QPen(kGrid, 1, Qt::SolidLine));
    painter->drawRect(plot);
    // A plot too low for the zoom gives a step of 0: no horizontal lines then.
    const int gridStep = plot.height() / 2 / m_zoom;
    if (gridStep > 0) {
        const int lines = plot.height() / gridStep;
        for (int k = 1; k < lines; ++k) {
            const int y = plot.top() + k * gridStep;
            painter->drawLine(plot.left(), y, plot.right(), y);
        }
    }
    for (int x :
         {plot.center().x(), plot.left() + plot.width() / 4, plot.left() + plot.width() / 4 * 3})
        painter->drawLine(x, plot.top(), x, plot.bottom());

    if (!m_xLine.isEmpty()) {
        const QPolygonF *lines[3] = {&m_xLine, &m_yLine, &m_zLine};
        for (int axis = 0; axis < 3; ++axis) {
            painter->setPen(QPen(QColor(cssColor(kAxisColors[axis])), 1));
            painter->drawPolyline(*lines[axis]);
        }
    }
    painter->restore();
}

void VwGraphWidget::renderCache()
{
    const qreal ratio = devicePixelRatioF();
    m_cache = QPixmap(size() * ratio);
    m_cache.setDevicePixelRatio(ratio);
    m_cache.fill(Qt::transparent);
    QPainter painter(&m_cache);
    paintGraph(&painter);
    m_cacheValid = true;
}

void VwGraphWidget::paintEvent(QPaintEvent *event)
{
    const qreal ratio = devicePixelRatioF();
    if (!m_cacheValid || m_cache.devicePixelRatio() != ratio || m_cache.size() != size() * ratio)
        renderCache();
    QPainter painter(this);
    for (const QRect &exposed : event->region()) {
        const QRectF source(exposed.x() * ratio, exposed.y() * ratio, exposed.width() * ratio,
                            exposed.height() * ratio);
        painter.drawPixmap(QRectF(exposed), m_cache, source);
    }
    if (m_cursorX >= 0) {
        painter.setPen(QPen(Qt::white, 1));
        painter.drawLine(m_cursorX, 0, m_cursorX, height());
    }
}

void VwGraphWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Also after a layout change that ends after the application event
    // announcing it: the lines must follow the width the cursor uses.
    rebuild();
}

void VwGraphWidget::setCursorX(int x)
{
    if (x == m_cursorX)
        return;
    if (m_cursorX >= 0)
        update(m_cursorX, 0, 1, height());
    m_cursorX = x;
    if (m_cursorX >= 0)
        update(m_cursorX, 0, 1, height());
}

void VwGraphWidget::onPlayEvent(PLAY_EVENT event, VwVideoItem *item)
{
    if (event == PLAY_EVENT_LOADED) {
        setCursorX(-1);
        m_data = VwSensorSnapshot(item);
        rebuild();
    } else if (event == PLAY_EVENT_STOPPED) {
        setCursorX(-1);
        m_data = VwSensorSnapshot();
        clearLines();
        invalidateCache();
        for (QLabel *label : {m_xLabel, m_yLabel, m_zLabel}) {
            if (label)
                label->setText(valueText(0.0f));
        }
    }
}

void VwGraphWidget::onPositionChanged(qint64 position, qint64 duration)
{
    if (!m_data.held)
        return;
    if (duration <= 0) {
        setCursorX(-1);
        return;
    }
    const double fraction =
        std::clamp(double(std::min(position, duration)) / double(duration), 0.0, 1.0);
    setCursorX(int(width() * fraction));

    if (!m_xLabel)
        return;
    const QVector<VwGSensorSample> &samples = m_data.gSamples;
    const qint64 index =
        VwSensorInfo::recordIndex(std::min(position, duration), duration, samples.size());
    // The end of the recording has no sample of its own: the labels keep theirs.
    if (index < 0 || index >= samples.size())
        return;
    const VwGSensorSample &sample = samples.at(int(index));
    m_xLabel->setText(valueText(sample.x));
    if (m_yLabel)
        m_yLabel->setText(valueText(sample.y));
    if (m_zLabel)
        m_zLabel->setText(valueText(sample.z));
}
