#pragma once
// The player over an emulated sound buffer of the shared mixer. Whole-buffer mode holds the
// complete PCM of the source; streaming mode holds two halves that Update refills from the
// source while the other half plays, when the buffer's position notifications (polled, never
// waited for) say the play position entered the other half. Refills are spread over frames
// in slices, so that no frame decodes more than a slice.
#include <cstdint>
#include <memory>

#include "CORE/Platform/IWindowSystem.h"
#include "SOUND/ISoundPlayer.h"

namespace kestrin {

class AudioBuffer;
class AudioMixer;

class CDxSound : public ISoundPlayer {
public:
    explicit CDxSound(WindowHandle window = 0) : m_window(window) {}
    ~CDxSound() override;
    CDxSound(const CDxSound&) = delete;
    CDxSound& operator=(const CDxSound&) = delete;

    // Create with halves of 5000 ms.
    bool Open(ISound* source, bool wholeBuffer) override;
    void Release() override;
    void Update() override;
    bool Play(bool loop) override;
    void Stop() override;
    int IsPlaying() override;
    int GetVolume() override { return m_volume; }
    // Stored clamped to 0..1000 and applied to the buffer when there is one.
    void SetVolume(int perMille) override;
    // True on failure. The stored volume is not applied to the new buffer.
    virtual bool Create(ISound* source, bool wholeBuffer, uint32_t bufferMilliseconds);

    // Per mille to hundredths of a decibel: 0 at 1000 and above, -10000 at 0 and below,
    // else 2000 x log10(v / 1000) truncated toward zero.
    static int32_t PerMilleToHundredthsOfDecibel(int perMille);

    static constexpr uint32_t kStreamMilliseconds = 5000;
    // Audio decoded per frame while a half is refilled.
    static constexpr uint32_t kRefillSliceMilliseconds = 200;

    // For tests: the half size in bytes (0 in whole-buffer mode) and whether a refill is
    // still under way.
    uint32_t GetHalfSize() const { return m_halfSize; }
    bool IsRefilling() const { return m_refill.active; }

private:
    struct SRefill {
        bool active = false;
        bool initial = false;  // the first half, filled by Play
        bool rewound = false;  // started again, and nothing read since
        uint32_t offset = 0;
        uint32_t written = 0;
    };

    void StartRefill(uint32_t offset, bool initial);
    // Writes the next slice of the refill under way (all of it when the play position is
    // about to reach unwritten bytes).
    void ContinueRefill();
    void FillSilence(uint8_t* at, uint32_t bytes);

    // Kept for the cooperative level of the original device; the shared mixer needs none.
    [[maybe_unused]] WindowHandle m_window;
    std::shared_ptr<AudioMixer> m_device;
    std::shared_ptr<AudioBuffer> m_buffer;
    uint16_t m_formatTag = 0;
    uint16_t m_channels = 0;
    uint32_t m_samplesPerSec = 0;
    uint32_t m_avgBytesPerSec = 0;
    uint16_t m_blockAlign = 0;
    uint16_t m_bitsPerSample = 0;
    uint32_t m_halfSize = 0;
    uint32_t m_sliceSize = 0;
    bool m_streaming = false;
    int m_state = 0;
    int m_volume = 1000;
    ISound* m_source = nullptr;
    bool m_loop = false;
    int m_shortRefills = 0;
    SRefill m_refill;
};

}  // namespace kestrin
