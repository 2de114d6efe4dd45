#pragma once
// Keeps the sounds of one group (music, or effects and voices) under integer handles from 1,
// and plays each at master x own volume / 1000 per mille.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "SOUND/CSoundLoaders.h"
#include "SOUND/ISound.h"
#include "SOUND/ISoundPlayer.h"
#include "SOUND/ISoundPlayerFactory.h"

namespace kestrin {

class CSoundManager {
public:
    struct CEntry {
        std::shared_ptr<ISound> source;
        std::shared_ptr<ISoundPlayer> player;
        int volume = 1000;
    };

    // Neither is owned.
    CSoundManager(ISoundPlayerFactory* factory, CSoundLoaders* loader) : m_factory(factory), m_loader(loader) {}
    virtual ~CSoundManager() = default;
    CSoundManager(const CSoundManager&) = delete;
    CSoundManager& operator=(const CSoundManager&) = delete;

    // The new sound's handle; 0 when it cannot be loaded or played.
    uint32_t Play(const std::string& name, bool wholeBuffer, bool loop, int volume);
    void Stop(uint32_t handle);
    // 0 for an unknown handle, else 1 playing once, 2 playing looped, 0 ended.
    int IsPlaying(uint32_t handle);
    // The sound's own volume; -1 for an unknown handle.
    int GetVolume(uint32_t handle);
    void SetVolume(uint32_t handle, int volume);
    void SetMasterVolume(int volume);
    int GetMasterVolume() const { return m_masterVolume; }
    // Once per frame: streaming refills.
    void Update();

    // master x volume / 1000, in 64 bits, clamped to the int range.
    static int CombineVolume(int master, int volume);

private:
    ISoundPlayerFactory* m_factory;
    CSoundLoaders* m_loader;
    uint32_t m_nextHandle = 1;
    int m_masterVolume = 1000;
    std::unordered_map<uint32_t, CEntry> m_entries;
};

}  // namespace kestrin
