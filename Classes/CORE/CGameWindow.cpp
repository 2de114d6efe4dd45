#include "CORE/CGameWindow.h"

#include <cmath>

namespace kestrin {

CGameWindow::CGameWindow() : m_fullScreen(false), m_fixedAspectRatio(false), m_heightLed(false) {}

CGameWindow::~CGameWindow() = default;

int CGameWindow::GetX() const { return m_fullScreen ? 0 : CWindow::GetX(); }

int CGameWindow::GetY() const { return m_fullScreen ? 0 : CWindow::GetY(); }

void CGameWindow::CorrectSizingRect(SWindowRect& rect, const SWindowRect& current, int edge, float aspect, int ew,
                                    int eh, bool& heightLed) {
    if (!(aspect > 0.0f) || !std::isfinite(aspect)) return;
    bool widthLeads;
    if (heightLed) {
        widthLeads = rect.top == current.top && rect.bottom == current.bottom;
    } else {
        widthLeads = rect.left != current.left || rect.right != current.right;
    }
    if (widthLeads) {
        const int clientHeight = static_cast<int>(static_cast<float>(rect.right - rect.left - ew + 1) / aspect);
        switch (edge) {
            case kWmszLeft:
            case kWmszRight:
            case kWmszBottomLeft:
            case kWmszBottomRight: rect.bottom = rect.top + clientHeight + eh - 1; break;
            case kWmszTopLeft:
            case kWmszTopRight: rect.top = rect.bottom - clientHeight - eh + 1; break;
            default: break;
        }
        heightLed = false;
    } else {
        const int clientWidth = static_cast<int>(static_cast<float>(rect.bottom - rect.top - eh + 1) * aspect);
        switch (edge) {
            case kWmszTopLeft:
            case kWmszBottomLeft: rect.left = rect.right - clientWidth - ew + 1; break;
            case kWmszTop:
            case kWmszTopRight:
            case kWmszBottom:
            case kWmszBottomRight: rect.right = rect.left + clientWidth + ew - 1; break;
            default: break;
        }
        heightLed = true;
    }
}

bool CGameWindow::OnMessage(WindowHandle, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t*) {
    if (message == kWmSizing && m_fixedAspectRatio && !m_fullScreen && lParam != 0) {
        auto* rect = reinterpret_cast<SWindowRect*>(lParam);
        CorrectSizingRect(*rect, GetWindowRect(), static_cast<int>(wParam), GetAspectRatio(), GetFrameExtraWidth() + 1,
                          GetFrameExtraHeight() + 1, m_heightLed);
    }
    return true;
}

bool CGameWindow::CreateFitted(int x, int y, int width, int height, const char* className, const char* title,
                               uint32_t style, int showCommand, WindowHandle parent) {
    if (!CWindow::Create(x, y, width, height, className, title, style, showCommand, parent)) return false;
    // Nothing to fit without a size (or when the window system itself failed).
    if (width <= 0 || height <= 0 || GetDesktopWidth() <= 0 || GetDesktopHeight() <= 0) return true;
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    const bool framed = !IsFramelessStyle(style | kWsClipChildren);
    const int availableWidth = GetDesktopWidth() - (framed ? GetFrameExtraWidth() : 0);
    const int availableHeight = GetDesktopHeight() - (framed ? GetFrameExtraHeight() : 0);
    if (availableWidth <= 0 || availableHeight <= 0) return true;
    int newWidth, newHeight;
    if (aspect < static_cast<float>(availableWidth) / static_cast<float>(availableHeight)) {
        newHeight = availableHeight;
        newWidth = static_cast<int>(std::floor(aspect * static_cast<float>(availableHeight) + 0.5f));
        x = (GetDesktopWidth() - newWidth) / 2;
        y = 0;
    } else {
        newWidth = availableWidth;
        newHeight = static_cast<int>(std::floor(static_cast<float>(availableWidth) / aspect + 0.5f));
        x = 0;
        y = (GetDesktopHeight() - newHeight) / 2;
    }
    return CWindow::Create(x, y, newWidth, newHeight, className, title, style, showCommand, parent);
}

void CGameWindow::ToggleFullScreen() {
    const WindowHandle h = GetHandle();
    if (h == 0) return;
    IWindowSystem& ws = GetWindowSystem();
    if (!m_fullScreen) {
        m_fullScreen = true;
        ws.SetFullScreen(h, true);
    } else {
        m_fullScreen = false;
        ws.SetFullScreen(h, false);
        ws.SetStyle(h, IsFramelessStyle(GetStyle()), IsResizableStyle(GetStyle()));
        ws.SetGeometry(h, CWindow::GetX(), CWindow::GetY(), GetWidth(), GetHeight());
        ws.Show(h, true, true);
    }
}

}  // namespace kestrin
