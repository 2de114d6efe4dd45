// The interpreter's calls into its neighbours: the screen and its layers, the message
// layer, sound, network, Lua, save data and the backlog. Each neighbour that is absent
// (no screen in tests, or a subsystem not built yet) takes its "nothing there" path here,
// so the interpreter loop itself never tests for them.
#include "CORE/CLogWindow.h"
#include "CORE/Platform/IMessageBox.h"
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"

namespace kestrin {

// --- Screen, layers and the message layer ---

CLinkableTextRenderer* CMainScript::GetMessageLayer() const { return nullptr; }

void CMainScript::SetScreenEncoding() {}

void CMainScript::ResetScreen() {}

void CMainScript::FlipScreen() {}

void CMainScript::SetRootDraggable(bool draggable) { (void)draggable; }

void CMainScript::SetLayerVisible(const std::string& id, bool visible) {
    (void)id;
    (void)visible;
}

void CMainScript::ShowGlyphLayer(const std::string& id, const CPoint& position, bool homing) {
    (void)id;
    (void)position;
    (void)homing;
}

void CMainScript::HideGlyphLayer(const std::string& id) { (void)id; }

void CMainScript::FadeInLayer(const std::string& id) { (void)id; }

void CMainScript::FadeOutLayer(const std::string& id) { (void)id; }

// Without a message layer there is nothing still appearing: text counts as shown.
bool CMainScript::IsTextShown() const { return true; }

bool CMainScript::IsClearShown() const { return true; }

void CMainScript::FinishMessageTweens() {}

void CMainScript::StartMessageTweens() {}

void CMainScript::ShowMessageLayer(bool show) { (void)show; }

// Without a message layer the text is taken as placed whole (it shows in the trace only).
int CMainScript::AddMessageText(const std::string& text, std::string& rest) {
    (void)text;
    rest.clear();
    return 0;
}

void CMainScript::RecordPageBlock(const CScriptBlock& block) { (void)block; }

bool CMainScript::IsVideoPlaying() const { return false; }

void CMainScript::StopVideo() {}

void CMainScript::ShowMessage(const std::string& text, const std::string& caption) {
    ShowMessageBox(text, caption, kMessageBoxOk);
}

// --- Window ---

void CMainScript::ToggleFullScreen() {}

// No text field exists before the ime tag is built.
void CMainScript::UpdateTextFieldRect() {}

// --- Tweens ---

void CMainScript::FinishTransitionTween() {
    int32_t id = m_transitionTween;
    m_transitionTween = 0;
    FinishTweenById(id);
}

void CMainScript::FinishTweenById(int32_t id) {
    if (id != 0) FinishTween(id);
}

void CMainScript::StopNamedTweens() {}

// --- Sound ---

void CMainScript::CreateSoundManagers() {}

void CMainScript::ResetSounds() {
    for (auto& value : m_bgmState) value = 0;
    m_seChannels.clear();
    m_seFades.clear();
}

void CMainScript::UpdateSoundStreams() {}

void CMainScript::UpdateVolumes() {}

bool CMainScript::IsSoundChannelPlaying(const std::string& channel) const {
    (void)channel;
    return false;
}

// --- Network and debug links ---

void CMainScript::UpdateDebugLinks() {}

void CMainScript::SendDebugChannel(const char* data, size_t size) {
    (void)data;
    (void)size;
}

// Without a request there is nothing to wait for: the wait ends at once.
bool CMainScript::UpdateHttp() { return true; }

void CMainScript::ReleaseServices() {}

// --- Lua ---

void CMainScript::CallEnterFrameHandler() {
    if (m_luaEnterFrame.empty()) return;
    std::string error;
    if (CallLuaFunction(m_luaEnterFrame, error)) {
        Trace(1, "[Lua] OnEnterFrame -> %s(): %s", m_luaEnterFrame.c_str(), error.c_str());
        m_luaEnterFrame.clear();
    }
}


// --- Save data and backlog ---


void CMainScript::SaveAutoSave(bool withBacklog) { (void)withBacklog; }

bool CMainScript::OpenBacklog() { return true; }

void CMainScript::CloseBacklog() {}

bool CMainScript::ScrollBacklog(bool older, bool newer) {
    (void)older;
    (void)newer;
    return true;
}

}  // namespace kestrin
