#include "TEXT/CIme.h"

#include "CORE/CImeContext.h"
#include "CORE/CWindow.h"
#include "CORE/DisplayText.h"
#include "CORE/WindowMessages.h"
#include "TEXT/CTextRenderer.h"

namespace kestrin {

namespace {
int NextHookId() {
    static int next = 0x20000;
    return ++next;
}
}  // namespace

CIme::~CIme() { Close(); }

bool CIme::Open(CTextRenderer* target, int32_t, int32_t, const std::string& text) {
    Close();
    if (CWindow* front = GetFrontWindow()) {
        m_host = front->GetHandle();
        m_hookId = NextHookId();
        front->AddMessageHook(m_hookId, [this](WindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp, intptr_t* r) {
            return OnMessage(w, m, wp, lp, r);
        });
        GetWindowSystem().StartCandidateTextInput();
    }
    m_target = target;
    m_text = text;
    Redraw();
    return false;
}

void CIme::Close() {
    m_target = nullptr;
    m_finished = false;
    m_imeOpen = false;
    m_text.clear();
    m_composition.clear();
    m_candidates.clear();
    if (m_hookId != 0) {
        // The window may have gone first.
        if (CWindow* host = CWindow::FromHandle(m_host)) host->RemoveMessageHook(m_hookId);
        GetWindowSystem().StopTextInput();
        m_hookId = 0;
    }
}

void CIme::Redraw() {
    if (!m_target || m_finished) return;
    if (m_onChange) m_onChange(m_text);
    m_target->Clear();
    m_target->AddTextSimple(m_text.c_str());
    CTextRenderer::CProperty& property = m_target->GetProperty();
    const uint32_t style = property.style;
    property.style |= CTextRenderer::kStyleUnderline;
    m_target->AddTextSimple(m_composition.c_str());
    property.style = style;
    if (m_candidates.empty()) {
        m_target->AddTextSimple("_");
    } else {
        m_target->NewLine();
        for (const std::string& candidate : m_candidates) {
            const std::string shown = candidate == m_composition ? "[" + candidate + "] " : candidate + " ";
            m_target->AddTextSimple(shown.c_str());
        }
    }
    // Typed text shows at once, without the appearing tweens.
    m_target->StartTweens({}, true);
}

bool CIme::OnMessage(WindowHandle, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result) {
    if (!m_target || m_finished) return true;
    if (result) *result = 0;
    const int32_t charset = m_target->GetCharset();
    CImeContext& ime = CImeContext::GetInstance();
    switch (message) {
        case kWmImeSetContext:
            // The platform's own composition and candidate windows are not asked for.
            return false;
        case kWmImeNotify:
            if (wParam == kImnChangeCandidate || wParam == kImnOpenCandidate) {
                const std::vector<std::string>& list = ime.GetCandidates();
                if (list.empty()) return false;
                m_composition.clear();
                m_candidates.clear();
                for (size_t i = 0; i < list.size(); ++i) {
                    m_candidates.push_back(Utf8ToGameText(list[i], charset));
                    if (static_cast<int>(i) == ime.GetSelection()) m_composition = m_candidates.back();
                }
                Redraw();
            } else if (wParam == kImnCloseCandidate) {
                m_candidates.clear();
            } else if (wParam == kImnSetOpenStatus) {
                m_imeOpen = !m_imeOpen;
            }
            return false;
        case kWmImeComposition:
            if (lParam & kGcsResultStr) {
                m_text += Utf8ToGameText(ime.GetResult(static_cast<uint32_t>(wParam)), charset);
                m_composition.clear();
                m_candidates.clear();
                Redraw();
            }
            if (lParam & kGcsCompStr) {
                m_composition = Utf8ToGameText(ime.GetComposition(), charset);
                Redraw();
            }
            return false;
        case kWmImeStartComposition:
            m_composition.clear();
            m_candidates.clear();
            return false;
        case kWmImeEndComposition:
            m_composition.clear();
            m_candidates.clear();
            Redraw();
            return false;
        case kWmChar: {
            const signed char c = static_cast<signed char>(wParam & 0xFF);
            if (c == 8) {
                // A multibyte character goes whole: characters are counted from the start.
                size_t last = 0;
                for (size_t i = 0; i < m_text.size();) {
                    last = i;
                    const size_t n = CTextRenderer::CharLength(m_text.c_str() + i, charset);
                    i += n ? n : 1;
                }
                m_text.erase(last);
                Redraw();
                return false;
            }
            if (c == 13) {
                if (m_onChange) m_onChange(m_text);
                if (m_onEnter) m_onEnter();
                m_finished = true;
                return false;
            }
            if (c >= 1 && c <= 29) return false;
            if (m_imeOpen) return true;
            m_text += static_cast<char>(c);
            Redraw();
            return false;
        }
        default: return true;
    }
}

}  // namespace kestrin
