// Sound-effect and voice tags on the named channels of the effects manager: "seplay" and
// "sefadein" start a sound on a channel (cutting off what it played), "sefadeout" and
// "sestop" end it, "voice" is "seplay" whose block also goes to the message page, "/voice"
// only goes to the page. A channel's level is the variable "s.segain." + its id. Looping
// starts are kept in the save data's sound record so that a loaded game restarts them.
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SOUND/CSoundManager.h"

namespace kestrin {

namespace {

constexpr int32_t kEaseInSine = 19;

}  // namespace

// "seplay" and "sefadein".
bool CMainScript::TagSeplay(CScriptBlock block, bool replay) {
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
    if (TagInt(block, "skippable", 0) != 0 && IsSkipping()) return false;
    const bool loop = TagFlag(block, "loop");
    const int32_t time = TagInt(block, "time", 0);
    const std::string gainName = "s.segain." + id;
    const int gain = m_variables->Find(gainName) ? m_variables->GetInt(gainName) : 1000;
    const uint32_t handle = m_seManager->Play(block.GetAttribute("file"), true, loop, time > 0 ? 1 : gain);
    if (handle == 0) {
        TraceSoundFile(block);
        return false;
    }
    m_seChannels[id] = handle;
    if (time > 0) m_seFades[id] = StartSoundFade(m_seManager, handle, 1, gain, time, kEaseInSine, nullptr);
    if (loop && !replay) GetSaveData().GetSoundRecord()[id] = block;
    return false;
}

// "sefadeout" and "sestop".
bool CMainScript::TagSefadeout(CScriptBlock block, bool replay) {
    const std::string id = block.GetAttribute("id");
    const int32_t time = TagInt(block, "time", 0);
    if (time > 0) {
        auto channel = m_seChannels.find(id);
        if (channel == m_seChannels.end()) return false;
        auto fade = m_seFades.find(id);
        if (fade != m_seFades.end()) StopTween(fade->second);
        std::weak_ptr<CMainScript*> self = m_self;
        m_seFades[id] = StartSoundFade(m_seManager, channel->second, m_seManager->GetVolume(channel->second), 1, time,
                                       kEaseInSine, [self, id]() {
                                           if (auto script = self.lock()) (*script)->StopNamedSound(id);
                                       });
    } else {
        auto fade = m_seFades.find(id);
        if (fade != m_seFades.end()) {
            StopTween(fade->second);
            m_seFades.erase(fade);
        }
        StopNamedSound(id);
    }
    if (!replay) GetSaveData().GetSoundRecord().erase(id);
    return false;
}

// The page record keeps the block, so that the backlog can play the voice again.
bool CMainScript::TagVoice(CScriptBlock block, bool replay) {
    if (!replay) RecordPageBlock(block);
    return TagSeplay(std::move(block), replay);
}

bool CMainScript::TagVoiceEnd(CScriptBlock block, bool replay) {
    if (!replay) RecordPageBlock(block);
    return false;
}

}  // namespace kestrin
