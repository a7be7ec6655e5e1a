#include "vw_widget_drag.h"

#include "hx_ui_log.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

VwWidgetDrag::VwWidgetDrag(QWidget *window, int dragHeight)
    : QObject(window)
    , m_dragHeight(dragHeight)
    , m_window(window)
{
    if (m_window)
        m_window->installEventFilter(this);
}

VwWidgetDrag::~VwWidgetDrag()
{
    setAltEnterBlocked(false);
    if (m_window)
        m_window->removeEventFilter(this);
}

bool VwWidgetDrag::isAltEnter(QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease
        && event->type() != QEvent::ShortcutOverride)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    return modifiers == Qt::AltModifier
        && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter);
}

void VwWidgetDrag::setAltEnterBlocked(bool on)
{
    if (on == m_altEnterBlocked || !qApp)
        return;
    m_altEnterBlocked = on;
    if (on)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

bool VwWidgetDrag::eventFilter(QObject *watched, QEvent *event)
{
    if (m_altEnterBlocked && isAltEnter(event)) {
        // An accepted override keeps shortcuts from matching the key as well.
        event->accept();
        return true;
    }
    if (watched != m_window)
        return false;
    return filterWindowEvent(event);
}

bool VwWidgetDrag::filterWindowEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        setAltEnterBlocked(true);
    else if (event->type() == QEvent::WindowDeactivate)
        setAltEnterBlocked(false);

    if (m_window->isMaximized() || m_window->isFullScreen()) {
        m_dragging = false;
        return false;
    }

    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint pos = mouse->pos();
        if (mouse->button() == Qt::LeftButton && m_window->rect().contains(pos)
            && pos.y() < m_dragHeight) {
            QWindow *handle = m_window->windowHandle();
            if (handle && handle->startSystemMove()) {
                qCDebug(lcHxUi) << "VwWidgetDrag::filterWindowEvent" << "system move";
                return true;
            }
            m_dragging = true;
            m_pressPos = mouse->globalPos();
        }
        return true;
    }
    case QEvent::MouseMove: {
        if (m_dragging) {
            const QPoint globalPos = static_cast<QMouseEvent *>(event)->globalPos();
            m_window->move(m_window->frameGeometry().topLeft() + globalPos - m_pressPos);
            m_pressPos = globalPos;
            Q_EMIT onWindowMove();
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        return true;
    default:
        return false;
    }
}
