// The interpreter's calls into its neighbours: the screen and its layers, the message
// layer, the backlog and the release of the links (sound: CMainScriptSound.cpp; HTTP and
// debug: CMainScriptHostLinks.cpp). Each neighbour that is absent
// (no screen in tests, or a subsystem not built yet) takes its "nothing there" path here,
// so the interpreter loop itself never tests for them.
#include "CORE/CGameWindow.h"
#include "CORE/CLogWindow.h"
#include "CORE/Platform/IMessageBox.h"
#include "GRAPHICS/CDsVideo.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/TTween.h"
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/CBackLog.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/tags/CDebugTags.h"
#include "SCRIPT/tags/CHttpTags.h"
#include "SCRIPT/tags/CSoundTags.h"
#include "TEXT/CLinkableTextRenderer.h"
#include "TEXT/IIme.h"
#include "TEXT/ITextField.h"

#include <cmath>
#include <limits>

namespace kestrin {

// --- Screen, layers and the message layer ---

namespace {

// The node at a dotted id under the screen's root layer, or null.
std::shared_ptr<COruLayer> FindRootChild(CMainScreen* screen, const std::string& id) {
    std::shared_ptr<COruLayer> node;
    if (!screen || !screen->GetRootLayer() || id.empty()) return node;
    if (screen->GetRootLayer()->FindLayer(id, node)) node.reset();
    return node;
}

// A linear 1000 ms alpha tween on a node; it stops writing once the node is gone.
void StartAlphaTween(const std::shared_ptr<COruLayer>& node, int32_t from, int32_t to) {
    std::weak_ptr<COruLayer> weak = node;
    auto* tween = new TTween<int>(
        [weak](int alpha) {
            if (auto layer = weak.lock()) layer->SetAlpha(alpha);
        },
        from, to, 1000, 0);
    node->AddTween(RegisterTween(tween));
}

}  // namespace

CLinkableTextRenderer* CMainScript::GetMessageLayer() const {
    return m_screen ? CLinkableTextRenderer::Of(m_screen->GetCurrentMessageLayer()) : nullptr;
}

void CMainScript::SetScreenEncoding() {
    if (m_screen) m_screen->SetTextEncoding(static_cast<uint32_t>(m_textEncoding));
}

// A fresh layer tree, no message layers but the backlog one and the unnamed current one,
// and no UI controls.
void CMainScript::ResetScreen() {
    if (!m_screen) return;
    if (COruLayer* root = m_screen->GetRootLayer()) {
        root->StopTweens();
        std::vector<std::string> names;
        for (const auto& child : root->GetChildren()) names.push_back(child.first);
        for (const auto& child : root->GetNextChildren()) names.push_back(child.first);
        for (const auto& name : names) root->AddChild(name, nullptr);
        root->Commit();
    }
    for (auto& layer : m_screen->GetMessageLayers()) {
        auto tweens = m_screen->GetMessageLayerTweens().find(layer.first);
        if (tweens == m_screen->GetMessageLayerTweens().end()) continue;
        for (int32_t id : tweens->second) StopTween(id);
    }
    m_screen->GetMessageLayers().clear();
    m_screen->GetMessageLayerTweens().clear();
    m_screen->ChangeMessageLayer("backlog", 0);
    m_screen->ChangeMessageLayer("", 0);
    m_screen->GetUIControls().clear();
}

void CMainScript::FlipScreen() {
    if (m_screen) m_screen->Flip();
}

void CMainScript::SetRootDraggable(bool draggable) {
    if (m_screen && m_screen->GetRootLayer()) m_screen->GetRootLayer()->SetDraggable(draggable);
}

void CMainScript::SetLayerVisible(const std::string& id, bool visible) {
    if (auto node = FindRootChild(m_screen, id)) node->SetVisible(visible);
}

void CMainScript::FadeInLayer(const std::string& id) {
    auto node = FindRootChild(m_screen, id);
    if (!node || !node->IsVisible()) return;
    node->FinishTweens();
    node->SetAlpha(0);
    StartAlphaTween(node, 0, node->GetOwnAlpha());
}

void CMainScript::FadeOutLayer(const std::string& id) {
    auto node = FindRootChild(m_screen, id);
    if (!node || !node->IsVisible()) return;
    node->FinishTweens();
    StartAlphaTween(node, node->GetAlpha(), 0);
}

// Without a message layer there is nothing still appearing: text counts as shown.
bool CMainScript::IsTextShown() const {
    CLinkableTextRenderer* layer = GetMessageLayer();
    return !layer || layer->IsTweenDone();
}

bool CMainScript::IsClearShown() const {
    CLinkableTextRenderer* layer = GetMessageLayer();
    return !layer || layer->IsClearTweenDone();
}

void CMainScript::FinishMessageTweens() {
    if (CLinkableTextRenderer* layer = GetMessageLayer()) layer->CompleteTweens();
}

void CMainScript::StartMessageTweens(bool skippable) {
    CLinkableTextRenderer* layer = GetMessageLayer();
    if (!layer) return;
    if (skippable && IsSkipping()) {
        layer->StartTweens({}, true);
        return;
    }
    layer->StartTweens(m_state.textTweens[TEXT_TWEEN_IN][m_state.messageLayerName], true);
}

// The hide action and the backlog take the text away with the "hide" presets and bring it
// back with the "show" ones; links answer only while the text shows.
void CMainScript::ShowMessageLayer(bool show) {
    CLinkableTextRenderer* layer = GetMessageLayer();
    if (!layer) return;
    if (show)
        layer->EnableLinks();
    else
        layer->DisableLinks();
    layer->CompleteTweens();
    layer->StartTweens(m_state.textTweens[show ? TEXT_TWEEN_SHOW : TEXT_TWEEN_HIDE][m_state.messageLayerName], false);
}

bool CMainScript::IsMessagePageEmpty() const {
    CLinkableTextRenderer* layer = GetMessageLayer();
    return !layer || (layer->GetCharCount() == 0 && layer->GetCurrentLineIndex() == 0);
}

// Without a message layer the text is taken as placed whole (it shows in the trace only).
int CMainScript::AddMessageText(const std::string& text, std::string& rest) {
    rest.clear();
    CLinkableTextRenderer* layer = GetMessageLayer();
    if (!layer) return 0;
    const char* left = nullptr;
    const int result = layer->AddText(text.c_str(), &left);
    if ((result == CTextRenderer::kTooWide || result == CTextRenderer::kPageFull) && left) rest = left;
    return result;
}

void CMainScript::RecordPageBlock(const CScriptBlock& block) {
    GetSaveData().GetPageRecords()[m_state.messageLayerName].push_back(block);
}

bool CMainScript::IsVideoPlaying() const {
    return m_screen && m_screen->GetVideo() && m_screen->GetVideo()->IsPlaying();
}

void CMainScript::StopVideo() {
    if (m_screen && m_screen->GetVideo()) m_screen->GetVideo()->Stop();
}

void CMainScript::ShowMessage(const std::string& text, const std::string& caption) {
    ShowMessageBox(text, caption, kMessageBoxOk);
}

// --- Window ---

void CMainScript::ToggleFullScreen() {
    if (!m_screen || m_screen->IsSoftware() || !m_screen->GetGameWindow()) return;
    m_screen->GetGameWindow()->ToggleFullScreen();
    UpdateTextFieldRect();
}

namespace {
// Truncated like a cast, but a product beyond the int range (or not a number) is kept in it.
int32_t ClampToInt(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}
}  // namespace

void CMainScript::TextFieldWindowRect(int32_t out[4]) const {
    const float scale = m_screen ? m_screen->GetScreenScale() : 1.0f;
    const float x = m_screen ? m_screen->GetXOffset() : 0.0f;
    const float y = m_screen ? m_screen->GetYOffset() : 0.0f;
    out[0] = ClampToInt(static_cast<float>(m_textFieldRect[0]) * scale + x);
    out[1] = ClampToInt(static_cast<float>(m_textFieldRect[1]) * scale + y);
    out[2] = ClampToInt(static_cast<float>(m_textFieldRect[2]) * scale);
    out[3] = ClampToInt(static_cast<float>(m_textFieldRect[3]) * scale);
}

// Opening again with no text moves the field and keeps what was typed.
void CMainScript::UpdateTextFieldRect() {
    if (!m_screen || m_screen->IsSoftware()) return;
    m_screen->OnResize();
    if (!m_textField) return;
    int32_t rect[4];
    TextFieldWindowRect(rect);
    m_textField->Open(rect[0], rect[1], rect[2], rect[3], std::string());
}

void CMainScript::OnInputEnter() {
    // Neither object may go inside its own callback.
    QueueDeferredCall([this]() { m_ime.reset(); });
    QueueDeferredCall([this]() {
        if (m_screen) m_screen->SetOverlay(nullptr);
        m_textField.reset();
    });
    EndClickWait();
}

void CMainScript::ReleaseTextInputs() {
    m_ime.reset();
    if (m_screen) m_screen->SetOverlay(nullptr);
    m_textField.reset();
}

// --- Shutdown ---

// The channel goes first, then the Lua host (its finalizers may still use the interpreter,
// whose other links are then all there), the server and its factory, the HTTP request, then
// sound. Messages still queued on the channel ("EXIT" last) are handed over while the
// debugger keeps answering.
void CMainScript::ReleaseServices() {
    // The text inputs unhook themselves from the game window before anything else goes (the
    // screen may be gone already: it is not touched).
    m_ime.reset();
    m_textField.reset();
    const size_t unsent = m_debug->ReleaseChannel();
    if (unsent > 0) LogMessage("debug channel: the debugger did not answer; %zu messages were not sent", unsent);
    m_lua.reset();
    m_debug.reset();
    m_http.reset();
    m_sound.reset();
}

// --- Backlog ---

CBackLog& CMainScript::GetBackLog() {
    if (!m_backlog) m_backlog = std::make_unique<CBackLog>(*this);
    return *m_backlog;
}

void CMainScript::ResetBackLog() {
    if (m_backlog) m_backlog->Close();
    m_backlog = std::make_unique<CBackLog>(*this);
}

bool CMainScript::OpenBacklog() {
    if (!m_screen) return true;
    auto& layers = m_screen->GetMessageLayers();
    auto it = layers.find(m_state.backlogMessageLayer);
    if (it == layers.end()) return true;
    return GetBackLog().Open(CLinkableTextRenderer::Of(it->second.renderer.get()));
}

void CMainScript::CloseBacklog() { GetBackLog().Close(); }

bool CMainScript::ScrollBacklog(bool older, bool newer) { return GetBackLog().Scroll(older, newer); }

}  // namespace kestrin
