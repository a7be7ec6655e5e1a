#include "audio_buffer.h"

#include <algorithm>
#include <cstring>

namespace av {

AudioBuffer::AudioBuffer(int capacityFrames)
    : m_capacity(std::max(capacityFrames, 1))
    , m_data(new float[size_t(m_capacity) * kChannels])
{
}

int AudioBuffer::freeFrames() const
{
    return m_capacity - bufferedFrames();
}

int AudioBuffer::bufferedFrames() const
{
    const auto written = m_written.load(std::memory_order_acquire);
    const auto read = m_read.load(std::memory_order_acquire);
    return int(std::min<unsigned long long>(written - std::min(read, written), m_capacity));
}

int AudioBuffer::write(const float *interleaved, int frames)
{
    const int n = std::min(frames, freeFrames());
    auto pos = m_written.load(std::memory_order_relaxed);
    for (int i = 0; i < n; ++i, ++pos) {
        const size_t slot = size_t(pos % unsigned(m_capacity)) * kChannels;
        m_data[slot] = interleaved[i * kChannels];
        m_data[slot + 1] = interleaved[i * kChannels + 1];
    }
    m_written.store(pos, std::memory_order_release);
    return n;
}

void AudioBuffer::requestFlush()
{
    m_flushTarget.store(m_written.load(std::memory_order_acquire), std::memory_order_release);
    m_flushRequests.fetch_add(1, std::memory_order_acq_rel);
}

void AudioBuffer::applyFlush()
{
    const unsigned requests = m_flushRequests.load(std::memory_order_acquire);
    if (requests == m_flushesDone)
        return;
    m_flushesDone = requests;
    const auto target = m_flushTarget.load(std::memory_order_acquire);
    if (target > m_read.load(std::memory_order_relaxed))
        m_read.store(target, std::memory_order_release);
}

void AudioBuffer::render(float *out, int frames)
{
    applyFlush();
    std::memset(out, 0, sizeof(float) * size_t(frames) * kChannels);
    if (m_paused.load())
        return;
    const int n = std::min(frames, bufferedFrames());
    auto pos = m_read.load(std::memory_order_relaxed);
    const float target = m_muted.load() ? 0.0f : m_gain.load();
    const float start = m_appliedGain;
    // A short ramp to the new gain avoids clicks when the volume jumps.
    const float step = frames > 0 ? (target - start) / float(frames) : 0.0f;
    for (int i = 0; i < n; ++i, ++pos) {
        const float g = start + step * float(i);
        const size_t slot = size_t(pos % unsigned(m_capacity)) * kChannels;
        out[i * kChannels] = m_data[slot] * g;
        out[i * kChannels + 1] = m_data[slot + 1] * g;
    }
    m_appliedGain = target;
    m_read.store(pos, std::memory_order_release);
}

void AudioBuffer::consume(int frames)
{
    applyFlush();
    if (m_paused.load())
        return;
    const int n = std::min(frames, bufferedFrames());
    m_read.fetch_add(unsigned(n), std::memory_order_acq_rel);
}

} // namespace av
