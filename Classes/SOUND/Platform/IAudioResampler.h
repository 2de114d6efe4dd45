#pragma once
// Converts interleaved stereo float frames from one sample rate to another, holding what its
// filter still needs between calls.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kestrin {

class IAudioResampler {
public:
    virtual ~IAudioResampler() = default;
    // Adds frames of input; true on failure.
    virtual bool Put(const float* stereo, size_t frames) = 0;
    // Frames of output ready to be taken.
    virtual size_t Available() = 0;
    // Takes up to frames frames of output; the count taken, 0 on failure.
    virtual size_t Get(float* stereo, size_t frames) = 0;
    // No more input follows: what the filter holds becomes available.
    virtual void Flush() = 0;
    // Drops everything held.
    virtual void Clear() = 0;
};

// A resampler from fromRate to toRate; null when none can be made.
std::unique_ptr<IAudioResampler> CreateAudioResampler(uint32_t fromRate, uint32_t toRate);

}  // namespace kestrin
