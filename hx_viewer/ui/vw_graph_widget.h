#pragma once

#include "vw_play_event.h"
#include "vw_sensor_snapshot.h"

#include <QList>
#include <QPixmap>
#include <QPolygonF>
#include <QWidget>

class QLabel;
class VwVideoItem;

// The three acceleration axes of the loaded recording over its whole length,
// with a white cursor at the playback position. Background, grid and lines
// are painted once per rebuild into a pixmap at the screen's pixel ratio; a
// paint copies the exposed part of it and draws the cursor, and a cursor move
// repaints only the old and the new cursor column.
class VwGraphWidget : public QWidget
{
    Q_OBJECT

public:
    // `zoomLevels` in ascending order; the graph starts at zoom 4.
    VwGraphWidget(QWidget *parent, const QList<int> &zoomLevels);

    void setValueLabels(QLabel *x, QLabel *y, QLabel *z);
    // Recomputes the three lines for the current size and zoom and repaints.
    void rebuild();

    // Background, frame, grid and lines, without the cursor: what the cache holds.
    void paintGraph(QPainter *painter) const;

    const QPolygonF &xLine() const { return m_xLine; }
    const QPolygonF &yLine() const { return m_yLine; }
    const QPolygonF &zLine() const { return m_zLine; }
    int zoom() const { return m_zoom; }
    int cursorX() const { return m_cursorX; }

Q_SIGNALS:
    // zi: a further zoom-in step exists; zo: a further zoom-out step exists.
    void zoomChange(bool zi, bool zo);

public Q_SLOTS:
    void onZoomIn();
    void onZoomOut();
    void onPlayEvent(PLAY_EVENT event, VwVideoItem *item);
    void onPositionChanged(qint64 position, qint64 duration);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void setCursorX(int x);
    void clearLines();
    void invalidateCache();
    void renderCache();

    QList<int> m_zoomLevels;
    QPolygonF m_xLine;
    QPolygonF m_yLine;
    QPolygonF m_zLine;
    int m_zoom = 4;
    int m_cursorX = -1;
    VwSensorSnapshot m_data;
    QLabel *m_xLabel = nullptr;
    QLabel *m_yLabel = nullptr;
    QLabel *m_zLabel = nullptr;
    QPixmap m_cache;
    bool m_cacheValid = false;
};
