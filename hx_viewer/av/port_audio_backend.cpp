#include "port_audio_backend.h"

#include "audio_buffer.h"
#include "hx_av_log.h"

#include <portaudio.h>

#include <atomic>

namespace av {

namespace {

// Probing a machine without sound costs time and fills stderr with ALSA and
// JACK complaints, so a failure to find a device is remembered.
std::atomic<bool> s_noDevice{false};

int paCallback(const void *input, void *output, unsigned long frames,
               const PaStreamCallbackTimeInfo *timeInfo, PaStreamCallbackFlags statusFlags,
               void *userData)
{
    auto *buffer = static_cast<AudioBuffer *>(userData);
    buffer->render(static_cast<float *>(output), int(frames));
    return paContinue;
}

} // namespace

PortAudioBackend::~PortAudioBackend()
{
    close();
}

bool PortAudioBackend::open(const std::shared_ptr<AudioBuffer> &buffer, int sampleRate)
{
    close();
    if (s_noDevice)
        return false;
    PaError err = Pa_Initialize();
    if (err != paNoError) {
        qCDebug(lcHxAv) << "PortAudioBackend::open" << Pa_GetErrorText(err);
        return false;
    }
    m_initialized = true;
    if (Pa_GetDefaultOutputDevice() == paNoDevice) {
        s_noDevice = true;
        close();
        return false;
    }
    PaStream *stream = nullptr;
    const int rates[] = {sampleRate, 48000, 44100};
    for (int rate : rates) {
        if (rate <= 0)
            continue;
        // The callback receives the AudioBuffer itself, which outlives the
        // stream because this object holds it until close().
        err = Pa_OpenDefaultStream(&stream, 0, AudioBuffer::kChannels, paFloat32, rate,
                                   paFramesPerBufferUnspecified, paCallback, buffer.get());
        if (err == paNoError) {
            m_rate = rate;
            break;
        }
    }
    if (err != paNoError) {
        qCDebug(lcHxAv) << "PortAudioBackend::open" << Pa_GetErrorText(err);
        if (err == paDeviceUnavailable || err == paInvalidDevice)
            s_noDevice = true;
        close();
        return false;
    }
    m_buffer = buffer;
    m_stream = stream;
    err = Pa_StartStream(stream);
    if (err != paNoError) {
        qCDebug(lcHxAv) << "PortAudioBackend::open" << Pa_GetErrorText(err);
        close();
        return false;
    }
    return true;
}

void PortAudioBackend::close()
{
    if (m_stream) {
        auto *stream = static_cast<PaStream *>(m_stream);
        Pa_StopStream(stream);
        Pa_CloseStream(stream);
        m_stream = nullptr;
    }
    m_buffer.reset();
    if (m_initialized) {
        Pa_Terminate();
        m_initialized = false;
    }
}

} // namespace av
