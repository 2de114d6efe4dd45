#pragma once
// Our own mixer over one output: every emulated sound buffer adds itself into a stereo
// float mix at the output's rate, which leaves as signed 16-bit stereo.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "SOUND/AudioBuffer.h"

namespace kestrin {

class AudioMixer : public std::enable_shared_from_this<AudioMixer> {
public:
    explicit AudioMixer(uint32_t rate);
    AudioMixer(const AudioMixer&) = delete;
    AudioMixer& operator=(const AudioMixer&) = delete;

    uint32_t GetRate() const { return m_rate; }
    // A silent buffer of that many bytes (at least one frame) with notifications at the
    // offsets (AudioBuffer::kNotifyStop for the stop); null when the format cannot be played.
    std::shared_ptr<AudioBuffer> CreateBuffer(const SAudioFormat& format, uint32_t bytes,
                                              const std::vector<uint32_t>& notifyOffsets);
    // Mixes frames of interleaved stereo; the output thread calls it.
    void Render(int16_t* stereo, size_t frames);

    std::mutex& Mutex() { return m_mutex; }
    // Bytes of PCM a buffer may hold at most.
    static constexpr uint32_t kMaxBufferBytes = 0x0FFFFFFFu;

private:
    friend class AudioBuffer;
    void Attach(AudioBuffer* buffer);
    void Detach(AudioBuffer* buffer);

    uint32_t m_rate;
    std::mutex m_mutex;
    std::vector<AudioBuffer*> m_buffers;
    std::vector<float> m_mix;
};

}  // namespace kestrin
