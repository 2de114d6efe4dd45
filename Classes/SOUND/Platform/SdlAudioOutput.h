#pragma once
// The sound device through SDL2: its callback thread renders the mix.
#include <cstdint>

#include "SOUND/Platform/IAudioOutput.h"

namespace kestrin {

class SdlAudioOutput : public IAudioOutput {
public:
    SdlAudioOutput() = default;
    ~SdlAudioOutput() override { Close(); }
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    bool Open(AudioMixer& mixer, std::string& error) override;
    void Close() override;

private:
    static void Callback(void* user, uint8_t* stream, int length);

    AudioMixer* m_mixer = nullptr;
    uint32_t m_device = 0;
};

}  // namespace kestrin
