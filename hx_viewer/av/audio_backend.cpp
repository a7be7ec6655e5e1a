#include "audio_backend.h"

#include "null_audio_backend.h"
#include "port_audio_backend.h"

namespace av {

AudioBackend::~AudioBackend() = default;

std::unique_ptr<AudioBackend> AudioBackend::create(const QString &name)
{
    if (name.compare(QLatin1String("PortAudio"), Qt::CaseInsensitive) == 0)
        return std::make_unique<PortAudioBackend>();
    if (name.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0)
        return std::make_unique<NullAudioBackend>();
    return nullptr;
}

} // namespace av
