#include "SOUND/Platform/SilentAudioOutput.h"

#include <chrono>
#include <vector>

#include "SOUND/AudioMixer.h"

namespace kestrin {

bool SilentAudioOutput::Open(AudioMixer& mixer, std::string&) {
    Close();
    m_stop = false;
    m_thread = std::thread(&SilentAudioOutput::Run, this, &mixer);
    return false;
}

void SilentAudioOutput::Close() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void SilentAudioOutput::Run(AudioMixer* mixer) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const uint64_t rate = mixer->GetRate();
    uint64_t rendered = 0;
    std::vector<int16_t> scratch;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_wake.wait_for(lock, std::chrono::milliseconds(10), [this] { return m_stop; })) {
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
        const uint64_t due = static_cast<uint64_t>(elapsed) * rate / 1000000;
        if (due <= rendered) continue;
        const size_t frames = static_cast<size_t>(due - rendered);
        scratch.resize(frames * 2);
        lock.unlock();
        mixer->Render(scratch.data(), frames);
        lock.lock();
        rendered = due;
    }
}

}  // namespace kestrin
