// Background-music tags: "splay" and "sfadein" start a piece, "sfadeout" and "sstop" end
// it, "sxfade" cross-fades to a new piece and "sfade" changes the playing piece's volume.
// One piece is current; a cross-fade fades the one before out. None of them waits, and
// the save data's music record follows them so that a loaded game restarts the piece.
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SOUND/CSoundManager.h"

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

// "splay" and "sfadein".
bool CMainScript::TagSplay(CScriptBlock block, bool replay) {
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
    if (time > 0) m_musicFade = StartSoundFade(m_bgmManager, m_musicHandle, 1, gain, time, kEaseInSine, nullptr);
    if (!replay) GetSaveData().RecordMusic(block);
    return false;
}

// "sfadeout" and "sstop". A cross-fade under way still fades its old piece out.
bool CMainScript::TagSfadeout(CScriptBlock block, bool replay) {
    CancelFade(m_musicFade);
    const int32_t time = TagInt(block, "time", 0);
    if (time > 0) {
        m_musicFade = StartSoundFade(m_bgmManager, m_musicHandle, m_bgmManager->GetVolume(m_musicHandle), 1, time,
                                     kEaseInSine, StopWhenDone(m_bgmManager, m_musicHandle));
    } else {
        m_bgmManager->Stop(m_musicHandle);
        m_musicHandle = 0;
    }
    if (!replay) GetSaveData().ClearMusicRecord();
    return false;
}

bool CMainScript::TagSxfade(CScriptBlock block, bool replay) {
    m_bgmManager->Stop(m_previousMusicHandle);
    CancelFade(m_musicFade);
    CancelFade(m_crossFade);
    const int32_t time = TagInt(block, "time", 0);
    const int32_t gain = TagInt(block, "gain", 1000);
    m_previousMusicHandle = m_musicHandle;
    m_musicHandle = m_bgmManager->Play(block.GetAttribute("file"), false, MusicLoops(block), time > 0 ? 1 : gain);
    if (time > 0) {
        m_crossFade =
            StartSoundFade(m_bgmManager, m_previousMusicHandle, m_bgmManager->GetVolume(m_previousMusicHandle), 1, time,
                           kEaseOutSine, StopWhenDone(m_bgmManager, m_previousMusicHandle));
    } else {
        m_bgmManager->Stop(m_previousMusicHandle);
    }
    if (m_musicHandle == 0) {
        TraceSoundFile(block);
        return false;
    }
    if (time > 0) m_musicFade = StartSoundFade(m_bgmManager, m_musicHandle, 1, gain, time, kEaseOutSine, nullptr);
    if (!replay) GetSaveData().RecordMusic(block);
    return false;
}

bool CMainScript::TagSfade(CScriptBlock block, bool replay) {
    CancelFade(m_musicFade);
    const int32_t time = TagInt(block, "time", 0);
    const int32_t gain = TagInt(block, "gain", 0);
    if (time > 0) {
        m_musicFade = StartSoundFade(m_bgmManager, m_musicHandle, m_bgmManager->GetVolume(m_musicHandle), gain, time,
                                     kEaseInSine, nullptr);
    } else {
        m_bgmManager->SetVolume(m_musicHandle, gain);
    }
    if (!replay) GetSaveData().SetMusicGain(block.GetAttribute("gain"));
    return false;
}

}  // namespace kestrin
