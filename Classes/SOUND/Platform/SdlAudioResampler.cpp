#include "SOUND/Platform/SdlAudioResampler.h"

#include <SDL.h>

namespace kestrin {

namespace {
constexpr size_t kFrameBytes = 2 * sizeof(float);
}

SdlAudioResampler::SdlAudioResampler(uint32_t fromRate, uint32_t toRate)
    : m_stream(
          SDL_NewAudioStream(AUDIO_F32SYS, 2, static_cast<int>(fromRate), AUDIO_F32SYS, 2, static_cast<int>(toRate))) {}

SdlAudioResampler::~SdlAudioResampler() {
    if (m_stream) SDL_FreeAudioStream(m_stream);
}

bool SdlAudioResampler::Put(const float* stereo, size_t frames) {
    return SDL_AudioStreamPut(m_stream, stereo, static_cast<int>(frames * kFrameBytes)) != 0;
}

size_t SdlAudioResampler::Available() {
    const int bytes = SDL_AudioStreamAvailable(m_stream);
    return bytes > 0 ? static_cast<size_t>(bytes) / kFrameBytes : 0;
}

size_t SdlAudioResampler::Get(float* stereo, size_t frames) {
    const int bytes = SDL_AudioStreamGet(m_stream, stereo, static_cast<int>(frames * kFrameBytes));
    return bytes > 0 ? static_cast<size_t>(bytes) / kFrameBytes : 0;
}

void SdlAudioResampler::Flush() { SDL_AudioStreamFlush(m_stream); }

void SdlAudioResampler::Clear() { SDL_AudioStreamClear(m_stream); }

std::unique_ptr<IAudioResampler> CreateAudioResampler(uint32_t fromRate, uint32_t toRate) {
    auto resampler = std::make_unique<SdlAudioResampler>(fromRate, toRate);
    if (!resampler->IsValid()) return nullptr;
    return resampler;
}

}  // namespace kestrin
