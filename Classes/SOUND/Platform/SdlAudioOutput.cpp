#include "SOUND/Platform/SdlAudioOutput.h"

#include <SDL.h>

#include "SOUND/AudioMixer.h"

namespace kestrin {

void SdlAudioOutput::Callback(void* user, uint8_t* stream, int length) {
    auto* self = static_cast<SdlAudioOutput*>(user);
    self->m_mixer->Render(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(length) / 4);
}

bool SdlAudioOutput::Open(AudioMixer& mixer, std::string& error) {
    Close();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SDL_GetError();
        return true;
    }
    m_mixer = &mixer;
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = static_cast<int>(mixer.GetRate());
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = &SdlAudioOutput::Callback;
    want.userdata = this;
    SDL_AudioSpec have;
    // SDL converts to whatever the device wants; the mixer keeps its own rate.
    m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (m_device == 0) {
        error = SDL_GetError();
        m_mixer = nullptr;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return true;
    }
    SDL_PauseAudioDevice(m_device, 0);
    return false;
}

void SdlAudioOutput::Close() {
    if (m_device == 0) return;
    SDL_CloseAudioDevice(m_device);
    m_device = 0;
    m_mixer = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace kestrin
