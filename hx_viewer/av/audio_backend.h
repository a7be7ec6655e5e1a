#pragma once

#include <QString>

#include <memory>

namespace av {

class AudioBuffer;

// A device (or stand-in) that plays an AudioBuffer at a sample rate.
class AudioBackend
{
public:
    virtual ~AudioBackend();

    virtual QString name() const = 0;
    // Starts playing `buffer`; false when the back end cannot run here.
    virtual bool open(const std::shared_ptr<AudioBuffer> &buffer, int sampleRate) = 0;
    virtual void close() = 0;
    virtual int sampleRate() const = 0;

    // A back end by name ("PortAudio" or "null"), or null for unknown names.
    static std::unique_ptr<AudioBackend> create(const QString &name);
};

} // namespace av
