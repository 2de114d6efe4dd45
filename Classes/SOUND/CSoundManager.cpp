#include "SOUND/CSoundManager.h"

#include <climits>

namespace kestrin {

int CSoundManager::CombineVolume(int master, int volume) {
    const int64_t v = static_cast<int64_t>(master) * volume / 1000;
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

uint32_t CSoundManager::Play(const std::string& name, bool wholeBuffer, bool loop, int volume) {
    // Finished sounds are dropped here.
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.player->IsPlaying() == 0)
            it = m_entries.erase(it);
        else
            ++it;
    }
    if (!m_loader || !m_factory) return 0;
    ISound* loaded = nullptr;
    if (m_loader->LoadFile(loaded, name) || !loaded) return 0;
    CEntry entry;
    entry.source.reset(loaded);
    entry.player.reset(m_factory->Create());
    if (!entry.player) return 0;
    if (entry.player->Open(entry.source.get(), wholeBuffer)) return 0;
    entry.player->SetVolume(CombineVolume(m_masterVolume, volume));
    if (entry.player->Play(loop)) return 0;
    entry.volume = volume;
    // Handle 0 means no sound: a wrapped counter skips it.
    if (m_nextHandle == 0) m_nextHandle = 1;
    const uint32_t handle = m_nextHandle++;
    m_entries[handle] = std::move(entry);
    return handle;
}

void CSoundManager::Stop(uint32_t handle) { m_entries.erase(handle); }

int CSoundManager::IsPlaying(uint32_t handle) {
    auto it = m_entries.find(handle);
    return it == m_entries.end() ? 0 : it->second.player->IsPlaying();
}

int CSoundManager::GetVolume(uint32_t handle) {
    auto it = m_entries.find(handle);
    return it == m_entries.end() ? -1 : it->second.volume;
}

void CSoundManager::SetVolume(uint32_t handle, int volume) {
    auto it = m_entries.find(handle);
    if (it == m_entries.end()) return;
    it->second.player->SetVolume(CombineVolume(m_masterVolume, volume));
    it->second.volume = volume;
}

void CSoundManager::SetMasterVolume(int volume) {
    m_masterVolume = volume;
    for (auto& kv : m_entries) kv.second.player->SetVolume(CombineVolume(m_masterVolume, kv.second.volume));
}

void CSoundManager::Update() {
    for (auto& kv : m_entries) kv.second.player->Update();
}

}  // namespace kestrin
