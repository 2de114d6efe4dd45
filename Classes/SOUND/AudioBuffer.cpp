#include "SOUND/AudioBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "SOUND/AudioMixer.h"
#include "SOUND/Platform/IAudioResampler.h"

namespace kestrin {

namespace {

// Frames converted per step: bounds the scratch memory of each buffer.
constexpr size_t kChunkFrames = 1024;

void ToStereoFloat(const uint8_t* src, size_t frames, const SAudioFormat& format, float* out) {
    const size_t samples = frames * format.channels;
    float* converted = out;
    // Mono is converted into the upper half of the run, then spread to both sides.
    if (format.channels == 1) converted = out + frames;
    switch (format.bitsPerSample) {
        case 8:
            for (size_t i = 0; i < samples; ++i) converted[i] = (static_cast<int>(src[i]) - 128) * (1.0f / 128.0f);
            break;
        case 16:
            for (size_t i = 0; i < samples; ++i) {
                const int16_t v = static_cast<int16_t>(src[2 * i] | (src[2 * i + 1] << 8));
                converted[i] = v * (1.0f / 32768.0f);
            }
            break;
        case 24:
            for (size_t i = 0; i < samples; ++i) {
                const uint8_t* p = src + 3 * i;
                const int32_t v =
                    static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                                         static_cast<uint32_t>(p[2]) << 24) >>
                    8;
                converted[i] = static_cast<float>(v) * (1.0f / 8388608.0f);
            }
            break;
        default:  // 32
            for (size_t i = 0; i < samples; ++i) {
                const uint8_t* p = src + 4 * i;
                const int32_t v =
                    static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
                converted[i] = static_cast<float>(static_cast<double>(v) * (1.0 / 2147483648.0));
            }
            break;
    }
    if (format.channels == 1) {
        for (size_t i = 0; i < frames; ++i) {
            const float v = converted[i];
            out[2 * i] = v;
            out[2 * i + 1] = v;
        }
    }
}

}  // namespace

AudioBuffer::AudioBuffer(std::shared_ptr<AudioMixer> mixer, const SAudioFormat& format, uint32_t bytes,
                         const std::vector<uint32_t>& notifyOffsets)
    : m_mixer(std::move(mixer)), m_format(format) {
    m_block = format.BlockAlign();
    const bool formatOk = (format.channels == 1 || format.channels == 2) &&
                          (format.bitsPerSample == 8 || format.bitsPerSample == 16 || format.bitsPerSample == 24 ||
                           format.bitsPerSample == 32) &&
                          format.samplesPerSec > 0 && format.samplesPerSec <= 768000;
    if (!m_mixer || !formatOk || bytes < m_block || bytes > AudioMixer::kMaxBufferBytes) return;
    // 8-bit PCM is unsigned: its silence is 0x80.
    m_data.assign(bytes, format.bitsPerSample == 8 ? 0x80 : 0);
    m_end = bytes / m_block * m_block;
    for (uint32_t offset : notifyOffsets)
        m_notifyOffsets.push_back(offset == kNotifyStop ? offset : offset / m_block * m_block);
    m_notified.reset(new std::atomic<bool>[m_notifyOffsets.size()]);
    for (size_t i = 0; i < m_notifyOffsets.size(); ++i) m_notified[i] = false;
    m_source.resize(kChunkFrames * 2);
    m_converted.resize(kChunkFrames * 2);
    if (format.samplesPerSec != m_mixer->GetRate()) {
        m_resampler = CreateAudioResampler(format.samplesPerSec, m_mixer->GetRate());
        if (!m_resampler) return;
    }
    m_valid = true;
    m_mixer->Attach(this);
}

AudioBuffer::~AudioBuffer() {
    if (m_valid) m_mixer->Detach(this);
}

uint8_t* AudioBuffer::Lock(uint32_t offset, uint32_t size) {
    if (!m_valid || offset > m_data.size() || size > m_data.size() - offset) return nullptr;
    return m_data.data() + offset;
}

void AudioBuffer::Play(bool looping) {
    if (!m_valid) return;
    std::lock_guard<std::mutex> lock(m_mixer->Mutex());
    if (!m_playing) {
        // A tail left from an earlier end is not played into the new start.
        if (m_resampler) m_resampler->Clear();
        m_draining = false;
    }
    m_playing = true;
    m_looping = looping;
}

void AudioBuffer::StopLocked() {
    if (m_resampler) m_resampler->Clear();
    m_draining = false;
    if (m_playing) {
        m_playing = false;
        Notify(kNotifyStop);
    }
}

void AudioBuffer::Stop() {
    if (!m_valid) return;
    std::lock_guard<std::mutex> lock(m_mixer->Mutex());
    StopLocked();
}

void AudioBuffer::SetCurrentPosition(uint32_t position) {
    if (!m_valid) return;
    std::lock_guard<std::mutex> lock(m_mixer->Mutex());
    m_cursor = std::min(position / m_block * m_block, m_end);
    if (m_resampler) m_resampler->Clear();
    m_draining = false;
}

uint32_t AudioBuffer::GetCurrentPosition() {
    if (!m_valid) return 0;
    std::lock_guard<std::mutex> lock(m_mixer->Mutex());
    return m_cursor;
}

bool AudioBuffer::IsPlaying() {
    if (!m_valid) return false;
    std::lock_guard<std::mutex> lock(m_mixer->Mutex());
    // A resampled sound plays until its tail has left the resampler.
    return m_playing || m_draining;
}

void AudioBuffer::SetVolume(int32_t hundredthsOfDecibel) {
    const float gain = hundredthsOfDecibel <= -10000 ? 0.0f
                       : hundredthsOfDecibel >= 0    ? 1.0f
                                                     : static_cast<float>(std::pow(10.0, hundredthsOfDecibel / 2000.0));
    if (!m_valid) return;
    std::lock_guard<std::mutex> lock(m_mixer->Mutex());
    m_gain = gain;
}

float AudioBuffer::GetGain() {
    if (!m_valid) return 0.0f;
    std::lock_guard<std::mutex> lock(m_mixer->Mutex());
    return m_gain;
}

bool AudioBuffer::TakeNotification(size_t index) {
    if (!m_valid || index >= m_notifyOffsets.size()) return false;
    return m_notified[index].exchange(false);
}

void AudioBuffer::Notify(uint32_t offset) {
    for (size_t i = 0; i < m_notifyOffsets.size(); ++i)
        if (m_notifyOffsets[i] == offset) m_notified[i] = true;
}

size_t AudioBuffer::TakeFrames(float* out, size_t maxFrames) {
    size_t taken = 0;
    while (taken < maxFrames && m_playing) {
        if (m_cursor >= m_end) {
            if (!m_looping) {
                m_playing = false;
                Notify(kNotifyStop);
                if (m_resampler) {
                    m_resampler->Flush();
                    m_draining = true;
                }
                break;
            }
            m_cursor = 0;
        }
        // The run ends at the next notification offset or at the end of the buffer.
        uint32_t boundary = m_end;
        for (uint32_t offset : m_notifyOffsets) {
            if (offset == m_cursor) Notify(offset);
            if (offset > m_cursor && offset < boundary) boundary = offset;
        }
        const size_t run = std::min<size_t>(maxFrames - taken, (boundary - m_cursor) / m_block);
        ToStereoFloat(m_data.data() + m_cursor, run, m_format, out + 2 * taken);
        m_cursor += static_cast<uint32_t>(run * m_block);
        taken += run;
    }
    return taken;
}

void AudioBuffer::MixInto(float* stereo, size_t frames) {
    if (!m_playing && !m_draining) return;
    const float gain = m_gain;
    size_t done = 0;
    while (done < frames) {
        size_t got = 0;
        if (!m_resampler) {
            got = TakeFrames(m_converted.data(), std::min(frames - done, kChunkFrames));
            if (got == 0) break;
        } else {
            const size_t available = m_resampler->Available();
            if (available == 0) {
                if (!m_playing) {
                    m_draining = false;
                    break;
                }
                // Enough source for what is still wanted, plus a little for the filter.
                const uint64_t want =
                    (static_cast<uint64_t>(frames - done) * m_format.samplesPerSec + m_mixer->GetRate() - 1) /
                        m_mixer->GetRate() +
                    16;
                const size_t taken = TakeFrames(m_source.data(), std::min<uint64_t>(want, kChunkFrames));
                if (taken > 0 && m_resampler->Put(m_source.data(), taken)) {
                    StopLocked();
                    break;
                }
                continue;
            }
            const size_t take = std::min(std::min(available, frames - done), kChunkFrames);
            got = m_resampler->Get(m_converted.data(), take);
            if (got == 0) {
                StopLocked();
                break;
            }
        }
        float* dst = stereo + 2 * done;
        const float* src = m_converted.data();
        for (size_t i = 0; i < 2 * got; ++i) dst[i] += src[i] * gain;
        done += got;
    }
}

}  // namespace kestrin
