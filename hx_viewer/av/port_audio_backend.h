#pragma once

#include "audio_backend.h"

namespace av {

// Plays through PortAudio's default output device with a callback stream of
// float stereo.
class PortAudioBackend : public AudioBackend
{
public:
    PortAudioBackend() = default;
    ~PortAudioBackend() override;

    QString name() const override { return QStringLiteral("PortAudio"); }
    bool open(const std::shared_ptr<AudioBuffer> &buffer, int sampleRate) override;
    void close() override;
    int sampleRate() const override { return m_rate; }

private:
    std::shared_ptr<AudioBuffer> m_buffer;
    void *m_stream = nullptr;
    int m_rate = 0;
    bool m_initialized = false;
};

} // namespace av
