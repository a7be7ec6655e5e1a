#include "presenter.h"

#include "player_engine.h"

namespace av {

namespace {
// Finer than a frame at 2x of 30 fps, coarse enough to stay cheap.
constexpr int kTickMs = 5;
}

Presenter *Presenter::instance()
{
    static Presenter *presenter = new Presenter;
    return presenter;
}

Presenter::Presenter()
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &Presenter::tick);
}

void Presenter::add(PlayerEngine *engine)
{
    if (!m_engines.contains(engine))
        m_engines.append(engine);
    if (!m_timer.isActive())
        m_timer.start();
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
}

} // namespace av
