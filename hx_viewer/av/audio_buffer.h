#pragma once

#include <atomic>
#include <memory>

namespace av {

// Lock-free single-producer/single-consumer ring of interleaved float stereo
// between an audio decode thread and an output callback, with the gain, mute
// and pause state the callback applies. The consumer side never locks or
// allocates, as a real-time audio callback requires.
class AudioBuffer
{
public:
    static constexpr int kChannels = 2;

    explicit AudioBuffer(int capacityFrames);

    // Producer side.
    int freeFrames() const;
    int write(const float *interleaved, int frames);
    int bufferedFrames() const;
    // Everything written so far is dropped by the consumer's next read.
    void requestFlush();

    // Consumer side: fills `out` with `frames` frames (silence where nothing
    // is buffered or while paused) and applies gain and mute.
    void render(float *out, int frames);
    // Drops up to `frames` frames as if played, for outputs without a device.
    void consume(int frames);

    void setGain(float gain) { m_gain.store(gain); }
    float gain() const { return m_gain.load(); }
    void setMuted(bool muted) { m_muted.store(muted); }
    bool isMuted() const { return m_muted.load(); }
    void setPaused(bool paused) { m_paused.store(paused); }
    bool isPaused() const { return m_paused.load(); }
    void setSpeed(double speed) { m_speed.store(speed); }
    double speed() const { return m_speed.load(); }

private:
    void applyFlush();

    const int m_capacity;
    std::unique_ptr<float[]> m_data;
    std::atomic<unsigned long long> m_written{0};
    std::atomic<unsigned long long> m_read{0};
    std::atomic<unsigned long long> m_flushTarget{0};
    std::atomic<unsigned> m_flushRequests{0};
    unsigned m_flushesDone = 0;
    std::atomic<float> m_gain{1.0f};
    std::atomic<bool> m_muted{false};
    std::atomic<bool> m_paused{false};
    std::atomic<double> m_speed{1.0};
    float m_appliedGain = 1.0f; // consumer only: ramps towards the target gain
};

} // namespace av
