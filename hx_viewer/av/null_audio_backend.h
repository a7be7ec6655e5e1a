#pragma once

#include "audio_backend.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace av {

// Plays nothing but consumes the buffer in real time (times the speed), so a
// player without a sound device keeps its audio thread paced as with one.
class NullAudioBackend : public AudioBackend
{
public:
    NullAudioBackend() = default;
    ~NullAudioBackend() override;

    QString name() const override { return QStringLiteral("null"); }
    bool open(const std::shared_ptr<AudioBuffer> &buffer, int sampleRate) override;
    void close() override;
    int sampleRate() const override { return m_rate; }

private:
    void run();

    std::shared_ptr<AudioBuffer> m_buffer;
    int m_rate = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

} // namespace av
