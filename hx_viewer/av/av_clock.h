#pragma once

#include <QObject>

#include <chrono>
#include <mutex>

namespace av {

// Media time in seconds that runs on a monotonic timer at a given speed.
// Thread safe: decode and audio threads read it while the GUI thread drives it.
// Audio never drives the clock; the audio output follows it instead, so the
// clock types only record what the caller asked for.
class AVClock : public QObject
{
    Q_OBJECT
public:
    enum ClockType { AudioClock, ExternalClock, VideoClock };

    explicit AVClock(ClockType type = AudioClock, QObject *parent = nullptr);
    explicit AVClock(QObject *parent);

    void setClockType(ClockType type);
    ClockType clockType() const;
    void setClockAuto(bool automatic);
    bool isClockAuto() const;

    // True from start() until reset().
    bool isActive() const;
    bool isPaused() const;
    qreal speed() const;

    // Current time in seconds.
    double value() const;
    // Sets the current time without changing running/paused state.
    void updateValue(double seconds);
    void updateExternalClock(qint64 msecs);
    void updateExternalClock(const AVClock &clock);

public Q_SLOTS:
    // Starts running from 0.
    void start();
    void pause(bool p);
    // Back to 0, stopped and inactive.
    void reset();
    void setSpeed(qreal speed);

Q_SIGNALS:
    void started();
    void paused(bool p);
    void resetted();

private:
    using Clock = std::chrono::steady_clock;
    double valueLocked(Clock::time_point now) const;

    mutable std::mutex m_mutex;
    ClockType m_type = AudioClock;
    bool m_auto = true;
    bool m_active = false;
    bool m_paused = false;
    qreal m_speed = 1.0;
    double m_base = 0.0;          // value at m_baseTime
    Clock::time_point m_baseTime; // rebased at every change of state or speed
};

} // namespace av
