#include "TEXT/CTextField.h"

#include <algorithm>

#include "CORE/CFrameDemand.h"
#include "CORE/CImeContext.h"
#include "CORE/CTimer.h"
#include "CORE/CWindow.h"
#include "CORE/DisplayText.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "TEXT/CFontRenderer.h"
#include "TEXT/CTextRenderer.h"
#include "babel/babel.h"

namespace kestrin {

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;

// Each field and input hooks the game window under its own id, after the window's own handling.
int NextHookId() {
    static int next = 0x10000;
    return ++next;
}

uint32_t Now() { return CTimer::GetInstance()->GetTime(); }

std::shared_ptr<ILayer> MakeBox(ILayerFactory* layers, ISurfaceFactory* surfaces, int32_t width, int32_t height,
                                uint32_t colour) {
    if (!layers || !surfaces || width <= 0 || height <= 0) return nullptr;
    std::shared_ptr<ISurface> surface = surfaces->Create();
    std::shared_ptr<ILayer> layer = layers->Create();
    if (!surface || !layer || surface->Init(width, height, ISurface::kPixel32Alpha, 0)) return nullptr;
    surface->Fill(colour);
    layer->SetSurface(surface);
    return layer;
}

}  // namespace

CTextField::CTextField(ILayerFactory* layers, ISurfaceFactory* surfaces, std::shared_ptr<CFontRenderer> font,
                       int32_t charset)
    : m_charset(charset), m_layers(layers), m_surfaces(surfaces), m_font(std::move(font)) {}

CTextField::~CTextField() {
    Hook(false);
    m_onChange = nullptr;
    m_onEnter = nullptr;
}

void CTextField::Hook(bool on) {
    if (on) {
        CWindow* front = GetFrontWindow();
        if (!front) return;
        m_host = front->GetHandle();
        m_hookId = NextHookId();
        front->AddMessageHook(m_hookId, [this](WindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp, intptr_t* r) {
            return OnMessage(w, m, wp, lp, r);
        });
        GetWindowSystem().StartTextInput();
        return;
    }
    if (m_hookId == 0) return;
    // The window may have gone first.
    if (CWindow* host = CWindow::FromHandle(m_host)) host->RemoveMessageHook(m_hookId);
    GetWindowSystem().StopTextInput();
    m_hookId = 0;
}

bool CTextField::Open(int32_t left, int32_t top, int32_t width, int32_t height, const std::string& text) {
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    if (!m_open) {
        // The field takes the game window's keyboard from now on.
        if (!GetFrontWindow()) return true;
        m_creationTime = Now();
        Hook(true);
        m_open = true;
    }
    SetX(left);
    SetY(top);
    GetWindowSystem().SetTextInputRect(left, top, width, height);
    if (!text.empty()) {
        m_text.clear();
        m_cursor = 0;
        Insert(text);
        m_cursor = m_text.size();
    }
    m_blinkStart = Now();
    Redraw();
    return false;
}

size_t CTextField::NextChar(const std::string& text, size_t at) const {
    if (at >= text.size()) return text.size();
    const size_t n = CTextRenderer::CharLength(text.c_str() + at, m_charset);
    // A lead byte without its trail bytes counts as one character.
    return std::min(text.size(), at + std::max<size_t>(n, 1));
}

// Trail bytes may look like lead bytes: characters are counted from the start.
size_t CTextField::PreviousChar(const std::string& text, size_t at) const {
    size_t previous = 0;
    for (size_t i = 0; i < at;) {
        previous = i;
        i = NextChar(text, i);
    }
    return previous;
}

void CTextField::Insert(const std::string& text) {
    std::string whole;
    for (size_t i = 0; i < text.size();) {
        const size_t next = NextChar(text, i);
        const size_t n = CTextRenderer::CharLength(text.c_str() + i, m_charset);
        // Zero bytes and characters cut short are not kept.
        if (n == 0 || next - i != n) break;
        if (m_text.size() + whole.size() + n > kMaxTextBytes) break;
        whole.append(text, i, n);
        i = next;
    }
    m_text.insert(m_cursor, whole);
    m_cursor += whole.size();
}

bool CTextField::OnMessage(WindowHandle, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result) {
    if (result) *result = 0;
    switch (message) {
        case kWmChar: {
            const unsigned char c = static_cast<unsigned char>(wParam & 0xFF);
            // The handler sees the text as it was before this character.
            if (m_onChange) m_onChange(m_text);
            if (c == kVkReturn) {
                if (Now() - m_creationTime > kEnterDelayMs && m_onEnter) m_onEnter();
                return false;
            }
            if (c == kVkBack) {
                if (m_cursor > 0) {
                    const size_t from = PreviousChar(m_text, m_cursor);
                    m_text.erase(from, m_cursor - from);
                    m_cursor = from;
                }
            } else if (c >= 0x20 && c < 0x7F) {
                Insert(std::string(1, static_cast<char>(c)));
            } else {
                return false;
            }
            Changed();
            return false;
        }
        case kWmKeyDown: {
            if (!m_composition.empty()) return true;
            const int key = static_cast<int>(wParam);
            if (key == kVkLeft) {
                m_cursor = PreviousChar(m_text, m_cursor);
            } else if (key == kVkRight) {
                m_cursor = NextChar(m_text, m_cursor);
            } else if (key == kVkHome) {
                m_cursor = 0;
            } else if (key == kVkEnd) {
                m_cursor = m_text.size();
            } else if (key == kVkDelete) {
                m_text.erase(m_cursor, NextChar(m_text, m_cursor) - m_cursor);
            } else {
                return true;
            }
            Changed();
            return false;
        }
        case kWmImeStartComposition: return false;
        case kWmImeComposition: {
            CImeContext& ime = CImeContext::GetInstance();
            if (lParam & kGcsResultStr) {
                if (m_onChange) m_onChange(m_text);
                m_composition.clear();
                Insert(Utf8ToGameText(ime.GetResult(static_cast<uint32_t>(wParam)), m_charset));
            }
            if (lParam & kGcsCompStr) m_composition = Utf8ToGameText(ime.GetComposition(), m_charset);
            Changed();
            return false;
        }
        case kWmImeEndComposition:
            m_composition.clear();
            Changed();
            return false;
        default:
            // The input method's own window shows the candidates.
            return true;
    }
}

void CTextField::Changed() {
    m_blinkStart = Now();
    Redraw();
}

// The picture: the white box, the text scrolled so that the cursor shows, the composition
// underlined at the cursor, and the cursor bar after it.
void CTextField::Redraw() {
    AddDirtyFlags(kDirtyContent);
    m_cursorShown = true;
    if (!m_layers || !m_surfaces || !m_font) return;
    m_background = MakeBox(m_layers, m_surfaces, m_width, m_height, kWhite);
    if (!m_renderer) {
        m_renderer = std::make_unique<CTextRenderer>(m_font, m_layers);
        m_renderer->SetCharset(m_charset);
    }
    CTextRenderer::CProperty& p = m_renderer->GetProperty();
    p.face = m_charset == 2 ? babel::sjis_to_utf8(kFace) : m_charset == 1 ? babel::sjis_to_euc(kFace) : kFace;
    p.size = static_cast<uint8_t>(std::clamp<int32_t>(m_height, 1, 255));
    p.color = 0x000000;
    p.left = 0;
    p.top = 0;
    p.width = 0x7FFF;
    p.height = 0x7FFF;
    p.anchorCenter = false;
    p.rubySize = 0;
    p.style = 0;

    const std::string before = m_text.substr(0, m_cursor);
    const std::string after = m_text.substr(m_cursor);
    auto width = [this](const std::string& text) {
        m_renderer->Clear();
        m_renderer->AddTextSimple(text.c_str());
        return m_renderer->GetTextWidth();
    };
    // Scrolled just far enough that the text before the cursor and the composition fit.
    const size_t limit = std::min(m_firstShown, before.size());
    size_t start = 0;
    while (start < limit && NextChar(before, start) <= limit) start = NextChar(before, start);
    m_firstShown = start;
    const int32_t room = std::max(0, m_width - 2);
    while (m_firstShown > 0 && width(before.substr(PreviousChar(before, m_firstShown)) + m_composition) <= room) {
        m_firstShown = PreviousChar(before, m_firstShown);
    }
    while (m_firstShown < before.size() && width(before.substr(m_firstShown) + m_composition) > room) {
        m_firstShown = NextChar(before, m_firstShown);
    }
    m_renderer->Clear();
    m_renderer->AddTextSimple(before.c_str() + m_firstShown);
    const int32_t beforeWidth = m_renderer->GetTextWidth();
    m_renderer->AddTextSimple(m_composition.c_str());
    const int32_t caretX = m_renderer->GetTextWidth();
    // The rest shows as far as the box goes.
    for (size_t i = 0; i < after.size();) {
        const size_t next = NextChar(after, i);
        m_renderer->AddTextSimple(after.substr(i, next - i).c_str());
        if (m_renderer->GetTextWidth() > room) break;
        i = next;
    }
    m_renderer->StartTweens({}, true);

    m_underline = MakeBox(m_layers, m_surfaces, caretX - beforeWidth, std::max(1, m_height / 16), kBlack);
    if (m_underline) {
        m_underline->SetX(1 + beforeWidth);
        m_underline->SetY(m_height - std::max(1, m_height / 16) - 1);
    }
    m_caret = MakeBox(m_layers, m_surfaces, std::max(1, m_height / 16), m_height - 2, kBlack);
    if (m_caret) {
        m_caret->SetX(1 + caretX);
        m_caret->SetY(1);
    }
    m_renderer->SetX(1);
    m_renderer->SetY(0);
}

void CTextField::OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    // The cursor blinks while nothing is typed.
    const uint32_t elapsed = Now() - m_blinkStart;
    const bool shown = (elapsed / kBlinkMs) % 2 == 0;
    CFrameDemand::Within(kBlinkMs - elapsed % kBlinkMs);
    if (shown != m_cursorShown) {
        m_cursorShown = shown;
        if (m_caret) m_caret->SetVisible(shown);
        AddDirtyFlags(kDirtyContent);
    }
    if (m_background) m_background->Update(worldMatrix, alpha);
    if (m_renderer) m_renderer->Update(worldMatrix, alpha);
    if (m_underline) m_underline->Update(worldMatrix, alpha);
    if (m_caret) m_caret->Update(worldMatrix, alpha);
}

void CTextField::OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    if (m_background) m_background->Draw(worldMatrix, alpha);
    if (m_renderer) m_renderer->Draw(worldMatrix, alpha);
    if (m_underline) m_underline->Draw(worldMatrix, alpha);
    if (m_caret) m_caret->Draw(worldMatrix, alpha);
}

}  // namespace kestrin
