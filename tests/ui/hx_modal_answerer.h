#pragma once

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

// Answers the modal windows a test opens, as a user would. The steps given
// to the constructor are taken once each, in order, each when the active
// modal window is of its kind; those given to always() answer every window
// of their kind. A step runs from the event loop, outside the poll, because
// a click may open the next modal window and block there.
class HxModalAnswerer : public QObject
{
public:
    struct Step {
        std::function<bool(QWidget *)> accepts;
        std::function<void(QWidget *)> action;
    };
    template <typename T>
    static Step on(const std::function<void(T *)> &action)
    {
        return {[](QWidget *modal) { return qobject_cast<T *>(modal) != nullptr; },
                [action](QWidget *modal) { action(static_cast<T *>(modal)); }};
    }

    explicit HxModalAnswerer(const QList<Step> &steps = {});
    template <typename T>
    void always(const std::function<void(T *)> &action) { m_always.append(on<T>(action)); }
    bool finished() const { return m_steps.isEmpty() && !m_pending; }
    static void closeAll();

private:
    void poll();

    QTimer m_poll;
    QList<Step> m_steps;
    QList<Step> m_always;
    bool m_pending = false;
};
