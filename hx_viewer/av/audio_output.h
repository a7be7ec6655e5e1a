#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

namespace av {

class AudioBackend;
class AudioBuffer;

// Sound output of one player. Plays interleaved float stereo through PortAudio,
// or through a silent output that consumes samples in real time when no device
// can be opened (or HX_AUDIO_OUTPUT=null asks for it), so that playback behaves
// the same with or without sound. Gain and mute apply in the output callback.
class AudioOutput : public QObject
{
    Q_OBJECT
public:
    explicit AudioOutput(QObject *parent = nullptr);
    ~AudioOutput() override;

    // Back ends to try, in order: "PortAudio", "null". An empty list means no
    // output at all: the player then decodes no audio.
    void setBackends(const QStringList &names);
    QStringList backends() const;
    static QStringList backendsAvailable();
    bool hasBackends() const;

    // Linear gain; values above 1.0 amplify.
    void setVolume(qreal volume);
    qreal volume() const;
    void setMute(bool mute);
    bool isMute() const;

    // Name of the back end in use while open ("PortAudio" or "null").
    QString backendName() const;
    bool isOpen() const;

    // The player's side. open() picks the first back end that works and
    // returns false only when the list is empty.
    bool open(int sampleRate);
    void close();
    int sampleRate() const;
    static constexpr int channels() { return 2; }
    // Frames that fit in the buffer now; write() never blocks.
    int freeFrames() const;
    int write(const float *interleaved, int frames);
    // Frames written but not yet played.
    int bufferedFrames() const;
    // Drops everything buffered (after a seek).
    void flush();
    // A paused output plays silence and consumes nothing.
    void setPaused(bool paused);
    // The silent output consumes at this rate multiple.
    void setSpeed(qreal speed);

Q_SIGNALS:
    void volumeChanged(qreal volume);
    void muteChanged(bool mute);

private:
    std::shared_ptr<AudioBuffer> m_buffer;
    std::unique_ptr<AudioBackend> m_backend;
    QStringList m_backends;
};

} // namespace av
