#include "SOUND/AudioMixer.h"

#include <algorithm>
#include <cmath>

namespace kestrin {

namespace {
constexpr size_t kMixFrames = 1024;
}

AudioMixer::AudioMixer(uint32_t rate) : m_rate(rate ? rate : 44100), m_mix(kMixFrames * 2) {}

std::shared_ptr<AudioBuffer> AudioMixer::CreateBuffer(const SAudioFormat& format, uint32_t bytes,
                                                      const std::vector<uint32_t>& notifyOffsets) {
    auto buffer = std::make_shared<AudioBuffer>(shared_from_this(), format, bytes, notifyOffsets);
    if (!buffer->IsValid()) return nullptr;
    return buffer;
}

void AudioMixer::Attach(AudioBuffer* buffer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_buffers.push_back(buffer);
}

void AudioMixer::Detach(AudioBuffer* buffer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_buffers.erase(std::remove(m_buffers.begin(), m_buffers.end(), buffer), m_buffers.end());
}

void AudioMixer::Render(int16_t* stereo, size_t frames) {
    std::lock_guard<std::mutex> lock(m_mutex);
    while (frames > 0) {
        const size_t n = std::min(frames, kMixFrames);
        std::fill(m_mix.begin(), m_mix.begin() + 2 * n, 0.0f);
        for (AudioBuffer* buffer : m_buffers) buffer->MixInto(m_mix.data(), n);
        for (size_t i = 0; i < 2 * n; ++i) {
            const float v = m_mix[i] * 32768.0f;
            stereo[i] = v >= 32767.0f ? 32767 : v <= -32768.0f ? -32768 : static_cast<int16_t>(std::lrintf(v));
        }
        stereo += 2 * n;
        frames -= n;
    }
}

}  // namespace kestrin
