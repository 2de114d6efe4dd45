// The interpreter's side of the sound tags (tags/CSoundTags.cpp holds them and their state):
// the family is made here, the handlers the tag table names forward to it, and the family
// reaches the interpreter through ISoundTagHost.
#include <utility>

#include "CORE/CGameWindow.h"
#include "CORE/COruPackFileFactory.h"
#include "GRAPHICS/CMainScreen.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/tags/CSoundTags.h"
#include "SOUND/CDxSoundFactory.h"

namespace kestrin {

void CMainScript::CreateSoundManagers() {
    // Sounds open through pack files as the screen's images do; a factory of our own, as
    // the screen goes before the interpreter at shutdown.
    CGameWindow* window = m_screen ? m_screen->GetGameWindow() : nullptr;
    ISoundTagHost& host = *this;
    m_sound = std::make_unique<CSoundTags>(host, std::make_shared<COruPackFileFactory>(),
                                           std::make_shared<CDxSoundFactory>(window ? window->GetHandle() : 0));
}

CSoundManager& CMainScript::GetMusicManager() { return m_sound->GetMusicManager(); }
CSoundManager& CMainScript::GetEffectsManager() { return m_sound->GetEffectsManager(); }
uint32_t CMainScript::GetMusicHandle() const { return m_sound->GetMusicHandle(); }
const std::map<std::string, uint32_t>& CMainScript::GetSoundChannels() const { return m_sound->GetChannels(); }

bool CMainScript::TagSplay(CScriptBlock block, bool replay) { return m_sound->TagSplay(std::move(block), replay); }
bool CMainScript::TagSfadeout(CScriptBlock block, bool replay) {
    return m_sound->TagSfadeout(std::move(block), replay);
}
bool CMainScript::TagSxfade(CScriptBlock block, bool replay) { return m_sound->TagSxfade(std::move(block), replay); }
bool CMainScript::TagSfade(CScriptBlock block, bool replay) { return m_sound->TagSfade(std::move(block), replay); }
bool CMainScript::TagSeplay(CScriptBlock block, bool replay) { return m_sound->TagSeplay(std::move(block), replay); }
bool CMainScript::TagSefadeout(CScriptBlock block, bool replay) {
    return m_sound->TagSefadeout(std::move(block), replay);
}
bool CMainScript::TagVoice(CScriptBlock block, bool replay) { return m_sound->TagVoice(std::move(block), replay); }
bool CMainScript::TagVoiceEnd(CScriptBlock block, bool replay) {
    return m_sound->TagVoiceEnd(std::move(block), replay);
}

COruVariables& CMainScript::GetSoundVariables() { return *m_variables; }
bool CMainScript::IsSkippingSounds() const { return IsSkipping(); }
CSaveData& CMainScript::GetSoundSaveData() { return GetSaveData(); }
void CMainScript::RecordVoiceBlock(const CScriptBlock& block) { RecordPageBlock(block); }
void CMainScript::TraceSoundTag(int level, const CScriptBlock& block, const char* format, va_list args) {
    ReportAt(REPORT_TRACE, level, m_state.caret.file, block.GetLine(), format, args);
}

}  // namespace kestrin
