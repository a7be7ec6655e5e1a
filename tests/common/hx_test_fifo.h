#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>

// Puts a FIFO where a file was, as if the card had changed since it was
// scanned. An open that blocks on the FIFO is ended after a grace time (its
// other end is opened and closed), so that a test of code that must not
// block fails instead of hanging. The FIFO goes with the object.
class HxTestFifo
{
public:
    explicit HxTestFifo(const QString &path);
    ~HxTestFifo();

    HxTestFifo(const HxTestFifo &) = delete;
    HxTestFifo &operator=(const HxTestFifo &) = delete;

    bool isValid() const { return m_valid; }
    // Whether an open blocked on the FIFO and had to be ended.
    bool rescued() const { return m_rescued; }

private:
    void rescue();

    QByteArray m_path;
    bool m_valid = false;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_rescued{false};
    std::thread m_rescuer;
};
