#include "av_clock.h"

namespace av {

AVClock::AVClock(ClockType type, QObject *parent)
    : QObject(parent)
    , m_type(type)
{
}

AVClock::AVClock(QObject *parent)
    : AVClock(AudioClock, parent)
{
}

void AVClock::setClockType(ClockType type)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_type = type;
}

AVClock::ClockType AVClock::clockType() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_type;
}

void AVClock::setClockAuto(bool automatic)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_auto = automatic;
}

bool AVClock::isClockAuto() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_auto;
}

bool AVClock::isActive() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_active;
}

bool AVClock::isPaused() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_paused;
}

qreal AVClock::speed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_speed;
}

double AVClock::valueLocked(Clock::time_point now) const
{
    if (!m_active || m_paused)
        return m_base;
    return m_base + std::chrono::duration<double>(now - m_baseTime).count() * m_speed;
}

double AVClock::value() const
{
    const auto now = Clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    return valueLocked(now);
}

void AVClock::updateValue(double seconds)
{
    const auto now = Clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_base = seconds;
    m_baseTime = now;
}

void AVClock::updateExternalClock(qint64 msecs)
{
    updateValue(double(msecs) / 1000.0);
}

void AVClock::updateExternalClock(const AVClock &clock)
{
    if (&clock == this)
        return;
    updateValue(clock.value());
}

void AVClock::start()
{
    {
        const auto now = Clock::now();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_active = true;
        m_paused = false;
        m_base = 0.0;
        m_baseTime = now;
    }
    emit started();
}

void AVClock::pause(bool p)
{
    {
        const auto now = Clock::now();
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_paused == p)
            return;
        m_base = valueLocked(now);
        m_baseTime = now;
        m_paused = p;
    }
    emit paused(p);
}

void AVClock::reset()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_active = false;
        m_paused = false;
        m_base = 0.0;
        m_baseTime = Clock::now();
    }
    emit resetted();
}

void AVClock::setSpeed(qreal speed)
{
    if (speed <= 0.0)
        return;
    const auto now = Clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_base = valueLocked(now);
    m_baseTime = now;
    m_speed = speed;
}

} // namespace av
