#pragma once

#include <QObject>
#include <QTimer>
#include <QVector>

namespace av {

class PlayerEngine;

// The one timer on the GUI thread that shows frames for every running player,
// so that players on agreeing clocks change pictures in the same tick. It runs
// only while some player is running, and sleeps until the next frame is due
// (a few milliseconds at most) rather than ticking at a fixed rate.
class Presenter : public QObject
{
    Q_OBJECT
public:
    static Presenter *instance();

    void add(PlayerEngine *engine);
    void remove(PlayerEngine *engine);
    // Something changed (resume, seek): look again at once.
    void wake();

private:
    Presenter();
    void tick();

    QTimer m_timer;
    QVector<PlayerEngine *> m_engines;
};

} // namespace av
