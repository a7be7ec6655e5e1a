#include "hx_test_fifo.h"

#include <QFile>

#include <chrono>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kGraceSteps = 100;
constexpr std::chrono::milliseconds kStep(30);
}

HxTestFifo::HxTestFifo(const QString &path)
    : m_path(QFile::encodeName(path))
{
    QFile::remove(path);
    m_valid = ::mkfifo(m_path.constData(), 0600) == 0;
    if (m_valid)
        m_rescuer = std::thread([this] { rescue(); });
}

HxTestFifo::~HxTestFifo()
{
    m_stop = true;
    if (m_rescuer.joinable())
        m_rescuer.join();
    if (m_valid)
        ::unlink(m_path.constData());
}

void HxTestFifo::rescue()
{
    for (int step = 0; !m_stop; ++step) {
        std::this_thread::sleep_for(kStep);
        if (step < kGraceSteps)
            continue;
        // Succeeds only while someone waits on the other end.
        const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            m_rescued = true;
            ::close(fd);
        }
    }
}
