#include "audio_output.h"

#include "audio_backend.h"
#include "audio_buffer.h"
#include "hx_av_log.h"

#include <atomic>

namespace av {

namespace {

QStringList defaultBackends()
{
    if (qgetenv("HX_AUDIO_OUTPUT").trimmed().toLower() == "null")
        return {QStringLiteral("null")};
    return {QStringLiteral("PortAudio"), QStringLiteral("null")};
}

// Half a second of sound between the decoder and the device.
constexpr int kBufferMs = 500;

} // namespace

AudioOutput::AudioOutput(QObject *parent)
    : QObject(parent)
    , m_buffer(std::make_shared<AudioBuffer>(48000 * kBufferMs / 1000))
    , m_backends(defaultBackends())
{
}

AudioOutput::~AudioOutput()
{
    close();
}

void AudioOutput::setBackends(const QStringList &names)
{
    // The environment switch wins so that tests never open a real device.
    if (!names.isEmpty() && qgetenv("HX_AUDIO_OUTPUT").trimmed().toLower() == "null")
        m_backends = QStringList{QStringLiteral("null")};
    else
        m_backends = names;
}

QStringList AudioOutput::backends() const
{
    return m_backends;
}

QStringList AudioOutput::backendsAvailable()
{
    return {QStringLiteral("PortAudio"), QStringLiteral("null")};
}

bool AudioOutput::hasBackends() const
{
    return !m_backends.isEmpty();
}

void AudioOutput::setVolume(qreal volume)
{
    volume = qMax<qreal>(0.0, volume);
    if (qFuzzyCompare(float(volume) + 1.0f, m_buffer->gain() + 1.0f))
        return;
    m_buffer->setGain(float(volume));
    emit volumeChanged(volume);
}

qreal AudioOutput::volume() const
{
    return m_buffer->gain();
}

void AudioOutput::setMute(bool mute)
{
    if (m_buffer->isMuted() == mute)
        return;
    m_buffer->setMuted(mute);
    emit muteChanged(mute);
}

bool AudioOutput::isMute() const
{
    return m_buffer->isMuted();
}

QString AudioOutput::backendName() const
{
    return m_backend ? m_backend->name() : QString();
}

bool AudioOutput::isOpen() const
{
    return m_backend != nullptr;
}

bool AudioOutput::open(int sampleRate)
{
    close();
    static std::atomic<bool> silentNoted{false};
    for (const QString &name : qAsConst(m_backends)) {
        std::unique_ptr<AudioBackend> backend = AudioBackend::create(name);
        if (!backend)
            continue;
        m_buffer->requestFlush();
        if (backend->open(m_buffer, sampleRate)) {
            if (backend->name() == QLatin1String("null") && !silentNoted.exchange(true))
                qCInfo(lcHxAv) << "AudioOutput::open" << "no sound device in use, playing silently";
            m_backend = std::move(backend);
            return true;
        }
    }
    return false;
}

void AudioOutput::close()
{
    if (m_backend) {
        m_backend->close();
        m_backend.reset();
    }
}

int AudioOutput::sampleRate() const
{
    return m_backend ? m_backend->sampleRate() : 0;
}

int AudioOutput::freeFrames() const
{
    return m_buffer->freeFrames();
}

int AudioOutput::write(const float *interleaved, int frames)
{
    return m_buffer->write(interleaved, frames);
}

int AudioOutput::bufferedFrames() const
{
    return m_buffer->bufferedFrames();
}

void AudioOutput::flush()
{
    m_buffer->requestFlush();
}

void AudioOutput::setPaused(bool paused)
{
    m_buffer->setPaused(paused);
}

void AudioOutput::setSpeed(qreal speed)
{
    m_buffer->setSpeed(speed > 0.0 ? speed : 1.0);
}

} // namespace av
