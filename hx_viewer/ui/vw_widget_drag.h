#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

class QWidget;

// Lets the user move a frameless window by its title area (the top dragHeight
// pixels). The window system does the move where it can (this is the only way
// that works on Wayland); elsewhere the window follows the mouse. While the
// window is active Alt+Enter is swallowed so that it reaches no other handler.
class VwWidgetDrag : public QObject
{
    Q_OBJECT

public:
    VwWidgetDrag(QWidget *window, int dragHeight);
    ~VwWidgetDrag() override;

    int dragHeight() const { return m_dragHeight; }
    bool isDragging() const { return m_dragging; }

Q_SIGNALS:
    void onWindowMove();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool filterWindowEvent(QEvent *event);
    void setAltEnterBlocked(bool on);
    static bool isAltEnter(QEvent *event);

    int m_dragHeight = 0;
    QPointer<QWidget> m_window;
    bool m_dragging = false;
    QPoint m_pressPos;
    bool m_altEnterBlocked = false;
};
