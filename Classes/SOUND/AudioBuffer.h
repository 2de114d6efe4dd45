#pragma once
// An emulated secondary sound buffer: PCM bytes in the sound's own format, a play cursor
// that the mixer advances, a per-buffer gain, and position notifications that the mixer
// raises as flags and the main thread takes without waiting.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace kestrin {

class AudioMixer;
class IAudioResampler;

struct SAudioFormat {
    uint32_t samplesPerSec = 0;
    uint16_t bitsPerSample = 0;
    uint16_t channels = 0;
    uint32_t BlockAlign() const { return static_cast<uint32_t>(channels) * (bitsPerSample / 8); }
};

class AudioBuffer {
public:
    // The notification offset that stands for "the buffer stopped".
    static constexpr uint32_t kNotifyStop = 0xFFFFFFFFu;

    // Use AudioMixer::CreateBuffer.
    AudioBuffer(std::shared_ptr<AudioMixer> mixer, const SAudioFormat& format, uint32_t bytes,
                const std::vector<uint32_t>& notifyOffsets);
    ~AudioBuffer();
    AudioBuffer(const AudioBuffer&) = delete;
    AudioBuffer& operator=(const AudioBuffer&) = delete;

    bool IsValid() const { return m_valid; }
    const SAudioFormat& GetFormat() const { return m_format; }
    uint32_t GetSize() const { return static_cast<uint32_t>(m_data.size()); }

    // The bytes [offset, offset + size) to write; null when out of range. The mixer may read
    // other parts of the buffer meanwhile.
    uint8_t* Lock(uint32_t offset, uint32_t size);
    void Play(bool looping);
    void Stop();
    void SetCurrentPosition(uint32_t position);
    uint32_t GetCurrentPosition();
    // Playing, or stopped at its end while the resampler still plays the tail.
    bool IsPlaying();
    // Attenuation in hundredths of a decibel; -10000 and below is silence.
    void SetVolume(int32_t hundredthsOfDecibel);
    float GetGain();
    // Whether the notification at that index was raised since it was last taken; clears it.
    bool TakeNotification(size_t index);

    // Mixer side, with the mixer's lock held: adds frames of stereo output at the mixer's
    // rate, scaled by the gain.
    void MixInto(float* stereo, size_t frames);

private:
    // Converts up to maxFrames frames from the cursor to stereo floats at the buffer's rate,
    // advancing the cursor, raising notifications and wrapping or stopping at the end.
    size_t TakeFrames(float* out, size_t maxFrames);
    void Notify(uint32_t offset);
    void StopLocked();

    std::shared_ptr<AudioMixer> m_mixer;
    SAudioFormat m_format;
    std::vector<uint8_t> m_data;
    uint32_t m_block = 0;
    uint32_t m_end = 0;  // the last whole frame's end
    std::vector<uint32_t> m_notifyOffsets;
    std::unique_ptr<std::atomic<bool>[]> m_notified;
    std::unique_ptr<IAudioResampler> m_resampler;
    std::vector<float> m_source;
    std::vector<float> m_converted;
    bool m_valid = false;
    // Guarded by the mixer's lock.
    uint32_t m_cursor = 0;
    bool m_playing = false;
    bool m_looping = false;
    bool m_draining = false;  // stopped at its end; the resampler still holds the tail
    float m_gain = 1.0f;
};

}  // namespace kestrin
