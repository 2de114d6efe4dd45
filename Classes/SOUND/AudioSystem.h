#pragma once
// The process's one sound output and the mixer it plays. Opened at first use: the SDL
// device, or, when none can be opened, a silent output paced by the wall clock (one log
// line says so).
#include <cstdint>
#include <functional>
#include <memory>

#include "SOUND/AudioMixer.h"
#include "SOUND/Platform/IAudioOutput.h"

namespace kestrin {

constexpr uint32_t kDefaultAudioRate = 44100;

std::shared_ptr<AudioMixer> GetAudioMixer();
// Makes the output GetAudioMixer opens; empty goes back to the SDL device. An output that
// cannot be opened still gives way to the silent one.
using AudioOutputMaker = std::function<std::unique_ptr<IAudioOutput>()>;
void SetAudioOutputMaker(AudioOutputMaker maker);
// From now on a new mixer at rate plays through output (tests and the harness use a pull
// output). Buffers made before keep their old mixer, which nothing plays any more.
void UseAudioOutput(std::unique_ptr<IAudioOutput> output, uint32_t rate = kDefaultAudioRate);
// Closes the output; the next GetAudioMixer opens the default one again.
void CloseAudioOutput();

}  // namespace kestrin
