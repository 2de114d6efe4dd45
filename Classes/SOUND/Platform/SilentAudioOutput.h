#pragma once
// Stands in for a sound device that cannot be opened: renders the mix into nothing at the
// pace of the wall clock, so sounds still end and streams still refill.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "SOUND/Platform/IAudioOutput.h"

namespace kestrin {

class SilentAudioOutput : public IAudioOutput {
public:
    SilentAudioOutput() = default;
    ~SilentAudioOutput() override { Close(); }
    SilentAudioOutput(const SilentAudioOutput&) = delete;
    SilentAudioOutput& operator=(const SilentAudioOutput&) = delete;

    bool Open(AudioMixer& mixer, std::string& error) override;
    void Close() override;

private:
    void Run(AudioMixer* mixer);

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

}  // namespace kestrin
