#pragma once

#include "vw_player.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QTimer;
class QWidget;
class VwPlayProcess;
class VwVideoItem;

namespace av {
class VideoRenderer;
}

// Plays generated recordings whose frames carry their numbers as block codes
// through the real player, and measures how far apart, in frames, the front
// and the rear picture are at the same moment. Used by bench_sync (full size,
// long runs) and by the test suite (small pictures, a few seconds).
namespace hxsync {

class CodeRenderer;

struct Config {
    int frontWidth = 1920;
    int frontHeight = 1080;
    int rearWidth = 1280;
    int rearHeight = 720;
    double seconds = 70.0;  // length of each recording
    int recordings = 2;     // generated one minute apart, played in order
    int fps = 30;
    int keyInterval = 30;
    bool frontAudio = true;
};

// Offsets of one scenario, in frames (front minus rear), and the seek times.
struct Result {
    QString name;
    QVector<int> offsets;
    QVector<double> seekToFrameMs;
    qint64 droppedFrames = -1; // -1: not counted for this scenario
    int failedSeeks = 0;

    int percentile(double p) const; // of |offset|; -1 without samples
    int maxOffset() const;
    double meanOffset() const; // of |offset|
    double seekPercentile(double p) const; // -1 without seeks
};

// The interface thread's longest stall in each run of an operation: the
// longest time between two turns of its event loop (ms) while the operation
// runs and settles.
struct Stalls {
    QString name;
    QVector<double> longestMs;

    double median() const; // -1 without runs
    double max() const;    // -1 without runs
};

// The player with code-reading outputs in place of its pane renderers.
class CodePlayer : public VwPlayer
{
    Q_OBJECT
public:
    explicit CodePlayer(QObject *parent = nullptr);
    ~CodePlayer() override;

    // Latest code shown by the pane of each camera (-1 before a frame), and
    // the time it was shown (ms on the harness clock).
    int frontCode() const;
    int rearCode() const;
    qint64 frontShownAt() const;
    qint64 rearShownAt() const;

    void applySpeed(double speed);
    bool swapped() const { return _swapped; }
    int pendingStops() const { return _pendingStops; }
    av::VideoRenderer *paneOf(bool front) const;
};

class Harness : public QObject
{
    Q_OBJECT
public:
    explicit Harness(const Config &config, QObject *parent = nullptr);
    ~Harness() override;

    // Writes the recordings into `folder` and lists everything in it (other
    // recordings put there before are listed too); false with a reason.
    bool prepare(const QString &folder, QString *error);
    CodePlayer *player() const { return m_player; }
    VwPlayProcess *process() const { return m_process; }
    // Chooses a recording as the file list panel does.
    void select(VwVideoItem *item);

    // Starts the first recording and waits until it plays.
    bool start(int index = 0);

    Result playAt1x(int seconds);
    Result seeks(int count, bool paused, quint32 seed);
    Result pauseResume(int cycles);
    Result speed(double speed, int seconds);
    Result swapWhilePlaying(int seconds);
    Result advanceToNext(int secondsAfter);
    // Watches the interface thread for windowMs after each of `runs` calls of
    // `operation` (which may be empty: the idle peer); `prepare` runs before
    // each, unwatched.
    Stalls interfaceStalls(const QString &name, int runs, int windowMs,
                           const std::function<void()> &prepare,
                           const std::function<void()> &operation);
    // Drags the handle of a real play slider with the left button held: a
    // press on the groove, `moves` moves across it `intervalMs` apart (0:
    // each once both cameras show the target's group of pictures), then the
    // release. A move's time runs until both cameras show that group; its
    // offset is taken just before the next move. `afterRelease` gets the
    // offsets of the second that starts half a second after the release.
    Result sliderDrag(int moves, int intervalMs, Result *afterRelease);
    // The peer: the first recording's two files on two players started
    // together, each on its own clock.
    Result unsyncedPair(int seconds);

    static void wait(int ms);
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs);

private:
    void sample();
    void measureFor(Result *result, int ms);
    void seekTo(qint64 target, Result *result);
    // Back near the start, so that no scenario runs into the end.
    void rewind();

    Config m_config;
    CodePlayer *m_player = nullptr;
    VwPlayProcess *m_process = nullptr;
    QObject *m_listPanel = nullptr;
    QTimer *m_sampler = nullptr;
    Result *m_current = nullptr;
    CodeRenderer *m_probeF = nullptr;
    CodeRenderer *m_probeR = nullptr;
    QStringList m_files;
};

// Elapsed time of the harness clock in ms.
qint64 now();

// A left-button press, release or move (button held) at `pos` of the widget.
void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos);

} // namespace hxsync
