#pragma once
// The resampler over SDL's audio streams.
#include "SOUND/Platform/IAudioResampler.h"

struct _SDL_AudioStream;

namespace kestrin {

class SdlAudioResampler : public IAudioResampler {
public:
    // Check IsValid: SDL may refuse the rates.
    SdlAudioResampler(uint32_t fromRate, uint32_t toRate);
    ~SdlAudioResampler() override;
    SdlAudioResampler(const SdlAudioResampler&) = delete;
    SdlAudioResampler& operator=(const SdlAudioResampler&) = delete;

    bool IsValid() const { return m_stream != nullptr; }
    bool Put(const float* stereo, size_t frames) override;
    size_t Available() override;
    size_t Get(float* stereo, size_t frames) override;
    void Flush() override;
    void Clear() override;

private:
    _SDL_AudioStream* m_stream = nullptr;
};

}  // namespace kestrin
