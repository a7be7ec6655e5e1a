#include "null_audio_backend.h"

#include "audio_buffer.h"

#include <chrono>

namespace av {

NullAudioBackend::~NullAudioBackend()
{
    close();
}

bool NullAudioBackend::open(const std::shared_ptr<AudioBuffer> &buffer, int sampleRate)
{
    close();
    m_buffer = buffer;
    m_rate = sampleRate > 0 ? sampleRate : 48000;
    m_stop = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void NullAudioBackend::close()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    m_buffer.reset();
}

void NullAudioBackend::run()
{
    using Clock = std::chrono::steady_clock;
    auto last = Clock::now();
    double pending = 0.0;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_wake.wait_for(lock, std::chrono::milliseconds(10), [this] { return m_stop; })) {
        const auto now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - last).count();
        last = now;
        if (m_buffer->isPaused()) {
            pending = 0.0;
            m_buffer->consume(0);
            continue;
        }
        pending += elapsed * m_rate * m_buffer->speed();
        const int frames = int(pending);
        pending -= frames;
        m_buffer->consume(frames);
    }
}

} // namespace av
