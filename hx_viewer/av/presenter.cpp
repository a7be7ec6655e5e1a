#include "presenter.h"

#include "player_engine.h"

namespace av {

namespace {
// Longest sleep: well within a frame at 2x of 30 fps, and often enough for
// the position reports.
constexpr int kMaxSleepMs = 20;
}

Presenter *Presenter::instance()
{
    static Presenter *presenter = new Presenter;
    return presenter;
}

Presenter::Presenter()
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Presenter::tick);
}

void Presenter::add(PlayerEngine *engine)
{
    if (!m_engines.contains(engine))
        m_engines.append(engine);
    wake();
}

void Presenter::wake()
{
    if (!m_engines.isEmpty() && (!m_timer.isActive() || m_timer.remainingTime() > 1))
        m_timer.start(1);
}

void Presenter::remove(PlayerEngine *engine)
{
    m_engines.removeAll(engine);
    if (m_engines.isEmpty())
        m_timer.stop();
}

void Presenter::tick()
{
    // A tick may stop or delete players through the signals it causes, so
    // walk a copy and skip engines that left in the meantime.
    const QVector<PlayerEngine *> engines = m_engines;
    for (PlayerEngine *engine : engines) {
        if (m_engines.contains(engine))
            engine->present();
    }
    int sleep = kMaxSleepMs;
    for (PlayerEngine *engine : qAsConst(m_engines))
        sleep = qMin(sleep, engine->msUntilDue());
    if (!m_engines.isEmpty() && !m_timer.isActive())
        m_timer.start(qBound(1, sleep, kMaxSleepMs));
}

} // namespace av
