#pragma once

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

// Answers the modal windows a test opens, as a user would: a step waits for
// the active modal window to be of its kind. Steps given with next() are
// taken once each, in order; steps given with always() answer every window
// of their kind while the answerer lives. What a step does runs from the
// event loop, outside the poll, because a click may open the next modal
// window and block there.
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

    explicit HxModalAnswerer(const QList<Step> &steps = {}, QObject *parent = nullptr);

    void next(const Step &step) { m_steps.append(step); }
    void always(const Step &step) { m_always.append(step); }
    template <typename T>
    void always(const std::function<void(T *)> &action) { always(on<T>(action)); }

    // A step that never matches closes every modal window after `ms`, so that
    // the test fails instead of staying in a modal loop.
    void giveUpAfter(int ms);
    // Every step taken and answered.
    bool finished() const { return m_steps.isEmpty() && !m_pending; }

    static void closeAll();

private:
    void poll();

    QTimer m_poll;
    QList<Step> m_steps;
    QList<Step> m_always;
    bool m_pending = false;
};
