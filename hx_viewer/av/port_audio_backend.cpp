#include "port_audio_backend.h"

#include "audio_buffer.h"
#include "hx_av_log.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <QtGlobal>

#include <atomic>
#include <mutex>

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

void quietAlsa(const char *, int, const char *, int, const char *, ...) {}

void quietJack(const char *) {}

// PortAudio probes every ALSA device and the JACK server, and both libraries
// report each failed probe on stderr: about twenty lines on a machine without
// sound. The outcome reaches the log once, from AudioOutput.
void silenceProbing()
{
    static std::once_flag once;
    std::call_once(once, [] {
        snd_lib_error_set_handler(quietAlsa);
        jack_set_error_function(quietJack);
        jack_set_info_function(quietJack);
        // Only a running server is of use; starting one for a viewer is not.
        if (qEnvironmentVariableIsEmpty("JACK_NO_START_SERVER"))
            qputenv("JACK_NO_START_SERVER", "1");
    });
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
    silenceProbing();
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
