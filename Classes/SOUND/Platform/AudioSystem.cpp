#include "SOUND/AudioSystem.h"

#include <mutex>
#include <string>

#include "CORE/CLogWindow.h"
#include "SOUND/Platform/SdlAudioOutput.h"
#include "SOUND/Platform/SilentAudioOutput.h"

namespace kestrin {

namespace {

struct SAudioSystem {
    std::mutex mutex;
    std::shared_ptr<AudioMixer> mixer;
    std::unique_ptr<IAudioOutput> output;

    void Close() {
        if (output) output->Close();
        output.reset();
        mixer.reset();
    }
    ~SAudioSystem() { Close(); }
};

SAudioSystem& System() {
    static SAudioSystem system;
    return system;
}

AudioOutputMaker& Maker() {
    static AudioOutputMaker maker;
    return maker;
}

}  // namespace

std::shared_ptr<AudioMixer> GetAudioMixer() {
    SAudioSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.mixer) return s.mixer;
    s.mixer = std::make_shared<AudioMixer>(kDefaultAudioRate);
    std::string error;
    if (Maker()) s.output = Maker()();
    if (!s.output) s.output.reset(new SdlAudioOutput());
    if (s.output->Open(*s.mixer, error)) {
        Log(ELogLevel::Warning, "sound", "no audio device (%s); the game runs silent", error.c_str());
        s.output.reset(new SilentAudioOutput());
        s.output->Open(*s.mixer, error);
    }
    return s.mixer;
}

void SetAudioOutputMaker(AudioOutputMaker maker) {
    SAudioSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    Maker() = std::move(maker);
}

void UseAudioOutput(std::unique_ptr<IAudioOutput> output, uint32_t rate) {
    SAudioSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.Close();
    if (!output) return;
    s.mixer = std::make_shared<AudioMixer>(rate);
    std::string error;
    if (output->Open(*s.mixer, error)) {
        Log(ELogLevel::Error, "sound", "the audio output cannot be opened (%s)", error.c_str());
        s.mixer.reset();
        return;
    }
    s.output = std::move(output);
}

void CloseAudioOutput() {
    SAudioSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.Close();
}

}  // namespace kestrin
