#include "SCRIPT/tags/CSoundTags.h"

#include <utility>
#include <vector>

#include "CORE/CFileFactory.h"
#include "GRAPHICS/TTween.h"
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/ISoundTagHost.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"
#include "SOUND/CSoundLoaders.h"
#include "SOUND/CSoundManager.h"
#include "SOUND/CVorbisLoader.h"
#include "SOUND/CWaveLoader.h"
#include "SOUND/ISoundPlayerFactory.h"

namespace kestrin {

namespace {

constexpr int32_t kEaseInSine = 19;
constexpr int32_t kEaseOutSine = 20;

// Loops unless "loop" is exactly "0".
bool MusicLoops(const CScriptBlock& block) { return !block.HasAttribute("loop") || TagFlag(block, "loop"); }

void CancelFade(int32_t& fade) {
    if (fade != 0) StopTween(fade);
    fade = 0;
}

// A fade-out's end: the sound stops (a replaced manager has nothing left to stop).
std::function<void()> StopWhenDone(const std::shared_ptr<CSoundManager>& manager, uint32_t handle) {
    std::weak_ptr<CSoundManager> weak = manager;
    return [weak, handle]() {
        if (auto target = weak.lock()) target->Stop(handle);
    };
}

}  // namespace

CSoundTags::CSoundTags(ISoundTagHost& host, std::shared_ptr<CFileFactory> files,
                       std::shared_ptr<ISoundPlayerFactory> players)
    : m_host(host), m_soundFiles(std::move(files)), m_soundPlayers(std::move(players)) {
    m_soundLoaders = std::make_shared<CSoundLoaders>(m_soundFiles.get());
    m_soundLoaders->AddLoader(new CVorbisLoader());
    m_soundLoaders->AddLoader(new CWaveLoader());
    MakeManagers();
}

CSoundTags::~CSoundTags() {
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

void CSoundTags::MakeManagers() {
    m_bgmManager = std::make_shared<CSoundManager>(m_soundPlayers.get(), m_soundLoaders.get());
    m_seManager = std::make_shared<CSoundManager>(m_soundPlayers.get(), m_soundLoaders.get());
}

void CSoundTags::Reset() {
    if (m_musicFade != 0) StopTween(m_musicFade);
    if (m_crossFade != 0) StopTween(m_crossFade);
    m_musicHandle = m_previousMusicHandle = 0;
    m_musicFade = m_crossFade = 0;
    for (const auto& fade : m_seFades) StopTween(fade.second);
    m_seChannels.clear();
    m_seFades.clear();
    m_seManager.reset();
    m_bgmManager.reset();
    MakeManagers();
}

void CSoundTags::UpdateStreams() { m_bgmManager->Update(); }

void CSoundTags::UpdateVolumes() {
    COruVariables& variables = m_host.GetSoundVariables();
    int music = variables.GetInt("s.bgmvol");
    if (music != m_bgmManager->GetMasterVolume()) m_bgmManager->SetMasterVolume(music);
    int effects = variables.GetInt("s.sevol");
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
        if (!variables.Find(gain)) continue;
        int value = variables.GetInt(gain);
        if (value != m_seManager->GetVolume(channel.second)) m_seManager->SetVolume(channel.second, value);
    }
    for (const auto& id : ended) m_seChannels.erase(id);
}

bool CSoundTags::IsChannelPlaying(const std::string& channel) const {
    auto it = m_seChannels.find(channel);
    return it != m_seChannels.end() && m_seManager->IsPlaying(it->second) != 0;
}

void CSoundTags::StopChannel(const std::string& channel) {
    auto it = m_seChannels.find(channel);
    if (it == m_seChannels.end()) return;
    m_seManager->Stop(it->second);
    m_seChannels.erase(it);
}

int32_t CSoundTags::StartFade(const std::shared_ptr<CSoundManager>& manager, uint32_t handle, int from, int to,
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

void CSoundTags::TraceAt(int level, const CScriptBlock& block, const char* format, ...) {
    va_list args;
    va_start(args, format);
    m_host.TraceSoundTag(level, block, format, args);
    va_end(args);
}

void CSoundTags::TraceSoundFile(const CScriptBlock& block) {
    TraceAt(1, block, tagmsg::kFileMissingOrUnsupported, block.GetName().c_str(), "file",
            block.GetAttribute("file").c_str());
}

// --- Music: one piece is current; a cross-fade fades the one before out ---

bool CSoundTags::TagSplay(CScriptBlock block, bool replay) {
    m_bgmManager->Stop(m_musicHandle);
    m_bgmManager->Stop(m_previousMusicHandle);
    CancelFade(m_musicFade);
    CancelFade(m_crossFade);
    const int32_t time = TagInt(block, "time", 0);
    const int32_t gain = TagInt(block, "gain", 1000);
    m_musicHandle = m_bgmManager->Play(block.GetAttribute("file"), false, MusicLoops(block), time > 0 ? 1 : gain);
    m_previousMusicHandle = 0;
    if (m_musicHandle == 0) {
        TraceSoundFile(block);
        return false;
    }
    if (time > 0) m_musicFade = StartFade(m_bgmManager, m_musicHandle, 1, gain, time, kEaseInSine, nullptr);
    if (!replay) m_host.GetSoundSaveData().RecordMusic(block);
    return false;
}

// A cross-fade under way still fades its old piece out.
bool CSoundTags::TagSfadeout(CScriptBlock block, bool replay) {
    CancelFade(m_musicFade);
    const int32_t time = TagInt(block, "time", 0);
    if (time > 0) {
        m_musicFade = StartFade(m_bgmManager, m_musicHandle, m_bgmManager->GetVolume(m_musicHandle), 1, time,
                                kEaseInSine, StopWhenDone(m_bgmManager, m_musicHandle));
    } else {
        m_bgmManager->Stop(m_musicHandle);
        m_musicHandle = 0;
    }
    if (!replay) m_host.GetSoundSaveData().ClearMusicRecord();
    return false;
}

bool CSoundTags::TagSxfade(CScriptBlock block, bool replay) {
    m_bgmManager->Stop(m_previousMusicHandle);
    CancelFade(m_musicFade);
    CancelFade(m_crossFade);
    const int32_t time = TagInt(block, "time", 0);
    const int32_t gain = TagInt(block, "gain", 1000);
    m_previousMusicHandle = m_musicHandle;
    m_musicHandle = m_bgmManager->Play(block.GetAttribute("file"), false, MusicLoops(block), time > 0 ? 1 : gain);
    if (time > 0) {
        m_crossFade = StartFade(m_bgmManager, m_previousMusicHandle, m_bgmManager->GetVolume(m_previousMusicHandle), 1,
                                time, kEaseOutSine, StopWhenDone(m_bgmManager, m_previousMusicHandle));
    } else {
        m_bgmManager->Stop(m_previousMusicHandle);
    }
    if (m_musicHandle == 0) {
        TraceSoundFile(block);
        return false;
    }
    if (time > 0) m_musicFade = StartFade(m_bgmManager, m_musicHandle, 1, gain, time, kEaseOutSine, nullptr);
    if (!replay) m_host.GetSoundSaveData().RecordMusic(block);
    return false;
}

bool CSoundTags::TagSfade(CScriptBlock block, bool replay) {
    CancelFade(m_musicFade);
    const int32_t time = TagInt(block, "time", 0);
    const int32_t gain = TagInt(block, "gain", 0);
    if (time > 0) {
        m_musicFade = StartFade(m_bgmManager, m_musicHandle, m_bgmManager->GetVolume(m_musicHandle), gain, time,
                                kEaseInSine, nullptr);
    } else {
        m_bgmManager->SetVolume(m_musicHandle, gain);
    }
    if (!replay) m_host.GetSoundSaveData().SetMusicGain(block.GetAttribute("gain"));
    return false;
}

// --- Effects and voices on named channels; a channel's level is "s.segain." + its id ---

bool CSoundTags::TagSeplay(CScriptBlock block, bool replay) {
    const std::string& id = block.GetAttribute("id");
    auto channel = m_seChannels.find(id);
    if (channel != m_seChannels.end()) {
        m_seManager->Stop(channel->second);
        auto fade = m_seFades.find(id);
        if (fade != m_seFades.end()) {
            StopTween(fade->second);
            m_seFades.erase(fade);
        }
    }
    if (TagInt(block, "skippable", 0) != 0 && m_host.IsSkippingSounds()) return false;
    const bool loop = TagFlag(block, "loop");
    const int32_t time = TagInt(block, "time", 0);
    const std::string gainName = "s.segain." + id;
    COruVariables& variables = m_host.GetSoundVariables();
    const int gain = variables.Find(gainName) ? variables.GetInt(gainName) : 1000;
    const uint32_t handle = m_seManager->Play(block.GetAttribute("file"), true, loop, time > 0 ? 1 : gain);
    if (handle == 0) {
        TraceSoundFile(block);
        return false;
    }
    m_seChannels[id] = handle;
    if (time > 0) m_seFades[id] = StartFade(m_seManager, handle, 1, gain, time, kEaseInSine, nullptr);
    if (loop && !replay) m_host.GetSoundSaveData().GetSoundRecord()[id] = block;
    return false;
}

bool CSoundTags::TagSefadeout(CScriptBlock block, bool replay) {
    const std::string id = block.GetAttribute("id");
    const int32_t time = TagInt(block, "time", 0);
    if (time > 0) {
        auto channel = m_seChannels.find(id);
        if (channel == m_seChannels.end()) return false;
        auto fade = m_seFades.find(id);
        if (fade != m_seFades.end()) StopTween(fade->second);
        std::weak_ptr<CSoundTags*> self = m_self;
        m_seFades[id] = StartFade(m_seManager, channel->second, m_seManager->GetVolume(channel->second), 1, time,
                                  kEaseInSine, [self, id]() {
                                      if (auto sounds = self.lock()) (*sounds)->StopChannel(id);
                                  });
    } else {
        auto fade = m_seFades.find(id);
        if (fade != m_seFades.end()) {
            StopTween(fade->second);
            m_seFades.erase(fade);
        }
        StopChannel(id);
    }
    if (!replay) m_host.GetSoundSaveData().GetSoundRecord().erase(id);
    return false;
}

// The page record keeps the block, so that the backlog can play the voice again.
bool CSoundTags::TagVoice(CScriptBlock block, bool replay) {
    if (!replay) m_host.RecordVoiceBlock(block);
    return TagSeplay(std::move(block), replay);
}

bool CSoundTags::TagVoiceEnd(CScriptBlock block, bool replay) {
    if (!replay) m_host.RecordVoiceBlock(block);
    return false;
}

}  // namespace kestrin
