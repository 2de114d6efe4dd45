// The interpreter's sound: the music and effects managers over one set of loaders and one
// player factory, their per-frame step (music refill, master volumes, channel gains), the
// volume fades of the sound tags, and the effect channels.
#include <vector>

#include "CORE/CGameWindow.h"
#include "CORE/COruPackFileFactory.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/TTween.h"
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SOUND/CDxSoundFactory.h"
#include "SOUND/CSoundLoaders.h"
#include "SOUND/CSoundManager.h"
#include "SOUND/CVorbisLoader.h"
#include "SOUND/CWaveLoader.h"

namespace kestrin {

void CMainScript::CreateSoundManagers() {
    // Sounds open through pack files as the screen's images do; a factory of our own, as
    // the screen goes before the interpreter at shutdown.
    m_soundFiles = std::make_shared<COruPackFileFactory>();
    m_soundLoaders = std::make_shared<CSoundLoaders>(m_soundFiles.get());
    m_soundLoaders->AddLoader(new CVorbisLoader());
    m_soundLoaders->AddLoader(new CWaveLoader());
    CGameWindow* window = m_screen ? m_screen->GetGameWindow() : nullptr;
    m_soundPlayers = std::make_shared<CDxSoundFactory>(window ? window->GetHandle() : 0);
    m_bgmManager = std::make_shared<CSoundManager>(m_soundPlayers.get(), m_soundLoaders.get());
    m_seManager = std::make_shared<CSoundManager>(m_soundPlayers.get(), m_soundLoaders.get());
}

// Every sound stops: the managers are replaced, their fades stopped and the handles forgotten.
void CMainScript::ResetSounds() {
    if (m_musicFade != 0) StopTween(m_musicFade);
    if (m_crossFade != 0) StopTween(m_crossFade);
    m_musicHandle = m_previousMusicHandle = 0;
    m_musicFade = m_crossFade = 0;
    for (const auto& fade : m_seFades) StopTween(fade.second);
    m_seChannels.clear();
    m_seFades.clear();
    m_seManager.reset();
    m_bgmManager.reset();
    m_bgmManager = std::make_shared<CSoundManager>(m_soundPlayers.get(), m_soundLoaders.get());
    m_seManager = std::make_shared<CSoundManager>(m_soundPlayers.get(), m_soundLoaders.get());
}

// Effects play whole buffers: only the music streams.
void CMainScript::UpdateSoundStreams() { m_bgmManager->Update(); }

void CMainScript::UpdateVolumes() {
    int music = m_variables->GetInt("s.bgmvol");
    if (music != m_bgmManager->GetMasterVolume()) m_bgmManager->SetMasterVolume(music);
    int effects = m_variables->GetInt("s.sevol");
    if (effects != m_seManager->GetMasterVolume()) m_seManager->SetMasterVolume(effects);

    std::vector<std::string> ended;
    for (const auto& channel : m_seChannels) {
        auto fade = m_seFades.find(channel.first);
        // A running fade owns the volume.
        if (fade != m_seFades.end() && IsTweenRegistered(fade->second)) continue;
        if (m_seManager->IsPlaying(channel.second) == 0) {
            ended.push_back(channel.first);
            continue;
        }
        const std::string gain = "s.segain." + channel.first;
        if (!m_variables->Find(gain)) continue;
        int value = m_variables->GetInt(gain);
        if (value != m_seManager->GetVolume(channel.second)) m_seManager->SetVolume(channel.second, value);
    }
    for (const auto& id : ended) m_seChannels.erase(id);
}

bool CMainScript::IsSoundChannelPlaying(const std::string& channel) const {
    auto it = m_seChannels.find(channel);
    return it != m_seChannels.end() && m_seManager->IsPlaying(it->second) != 0;
}

void CMainScript::StopNamedSound(const std::string& channel) {
    auto it = m_seChannels.find(channel);
    if (it == m_seChannels.end()) return;
    m_seManager->Stop(it->second);
    m_seChannels.erase(it);
}

int32_t CMainScript::StartSoundFade(const std::shared_ptr<CSoundManager>& manager, uint32_t handle, int from, int to,
                                    int32_t time, int32_t ease, std::function<void()> onEnd) {
    // The registry outlives the managers: a fade of a replaced manager writes nothing.
    std::weak_ptr<CSoundManager> weak = manager;
    auto* tween = new TTween<int>(
        [weak, handle](int volume) {
            if (auto target = weak.lock()) target->SetVolume(handle, volume);
        },
        from, to, static_cast<uint32_t>(time), 0);
    tween->SetEase(ease);
    if (onEnd) tween->SetOnFinish(std::move(onEnd));
    return RegisterTween(tween);
}

void CMainScript::TraceSoundFile(const CScriptBlock& block) {
    Trace(1, "%s(%d): [%s file=\"%s\"] 指定されたファイルは見つからないか、非対応形式です。", m_state.caret.file.c_str(),
          block.GetLine(), block.GetName().c_str(), block.GetAttribute("file").c_str());
}

// The channels first, then the managers (their sounds stop), then what they were made with.
void CMainScript::ReleaseSound() {
    if (m_musicFade != 0) StopTween(m_musicFade);
    if (m_crossFade != 0) StopTween(m_crossFade);
    for (const auto& fade : m_seFades) StopTween(fade.second);
    m_musicFade = m_crossFade = 0;
    m_seFades.clear();
    m_seChannels.clear();
    m_seManager.reset();
    m_bgmManager.reset();
    m_soundPlayers.reset();
    m_soundLoaders.reset();
    m_soundFiles.reset();
}

}  // namespace kestrin
