#include "CORE/CWindow.h"

#include <algorithm>

#include "CORE/DisplayText.h"

namespace kestrin {

namespace {
std::deque<CWindow*>& TopLevel() {
    static std::deque<CWindow*> windows;
    return windows;
}
std::map<WindowHandle, CWindow*>& ByHandle() {
    static std::map<WindowHandle, CWindow*> windows;
    return windows;
}
}  // namespace

bool IsFramelessStyle(uint32_t style) { return (style & kWsPopup) != 0 && (style & kWsCaption) != kWsCaption; }
bool IsResizableStyle(uint32_t style) { return (style & kWsThickFrame) != 0; }

CWindow::CWindow() = default;

CWindow::~CWindow() {
    CWindow::Destroy();
    auto& list = TopLevel();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

bool CWindow::Create(int x, int y, int width, int height, const char* className, const char* title, uint32_t style,
                     int showCommand, WindowHandle parent) {
    Destroy();
    IWindowSystem& ws = GetWindowSystem();
    m_className = className ? className : "";
    m_style = style | kWsClipChildren;
    m_showCommand = showCommand;
    m_parent = parent;
    if (ws.Init()) {
        m_className.clear();
        return true;
    }
    ws.GetDesktopSize(m_desktopWidth, m_desktopHeight);

    // Decorations are known only once a window exists; until then the client size is the outer size.
    int outerWidth = m_desktopWidth;
    int outerHeight = m_desktopHeight;
    if (width != 0 && height != 0) {
        const bool framed = !IsFramelessStyle(m_style);
        outerWidth = width + (framed ? m_frameExtraWidth : 0);
        outerHeight = height + (framed ? m_frameExtraHeight : 0);
    }
    if (outerWidth > m_desktopWidth || outerHeight > m_desktopHeight) {
        m_className.clear();
        return true;
    }
    if (x == kCentred) x = (m_desktopWidth - outerWidth) / 2;
    if (y == kCentred) y = (m_desktopHeight - outerHeight) / 2;
    m_x = x;
    m_y = y;
    m_width = width;
    m_height = height;
    // A zero height would make the ratio infinite.
    m_aspectRatio = (width > 0 && height > 0) ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;

    SWindowDesc desc;
    desc.title = GameTextToUtf8(title ? title : "");
    desc.x = x;
    desc.y = y;
    desc.width = width != 0 && height != 0 ? width : m_desktopWidth;
    desc.height = width != 0 && height != 0 ? height : m_desktopHeight;
    desc.frameless = IsFramelessStyle(m_style);
    desc.resizable = IsResizableStyle(m_style);
    desc.hidden = showCommand == kSwHide;
    desc.noActivate = showCommand == kSwShowNoActivate || showCommand == kSwShowNa;
    WindowHandle handle = ws.CreateWindow(desc);
    if (handle == 0) {
        m_className.clear();
        return true;
    }
    m_handle = handle;
    ByHandle()[handle] = this;

    ws.GetFrameExtents(handle, m_frameExtraWidth, m_frameExtraHeight);
    int cw = 0, ch = 0, px = 0, py = 0;
    ws.GetClientSize(handle, cw, ch);
    ws.GetPosition(handle, px, py);
    NoteClientSize(cw, ch);
    m_windowRect = SWindowRect{px, py, px + cw + m_frameExtraWidth, py + ch + m_frameExtraHeight};

    if (parent == 0) TopLevel().push_back(this);
    return false;
}

void CWindow::Reposition(int x, int y, int width, int height, uint32_t style) {
    if (m_handle == 0) return;
    IWindowSystem& ws = GetWindowSystem();
    ws.SetStyle(m_handle, IsFramelessStyle(style), IsResizableStyle(style));
    ws.GetFrameExtents(m_handle, m_frameExtraWidth, m_frameExtraHeight);
    const int outerWidth = width + m_frameExtraWidth;
    const int outerHeight = height + m_frameExtraHeight;
    if (x == kCentred) x = (m_desktopWidth - outerWidth) / 2;
    if (y == kCentred) y = (m_desktopHeight - outerHeight) / 2;
    ws.SetGeometry(m_handle, x, y, width, height);
    ws.Show(m_handle, true, false);
}

void CWindow::Destroy() {
    if (m_handle != 0) {
        // Forget the object first: the last messages of a dying window reach nobody.
        ByHandle().erase(m_handle);
        GetWindowSystem().DestroyWindow(m_handle);
        m_handle = 0;
        auto& list = TopLevel();
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    m_className.clear();
}

void CWindow::LeaveTopLevelList() {
    auto& list = TopLevel();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void CWindow::AddMessageHook(int id, MessageHook hook) { m_hooks[id] = std::move(hook); }

int CWindow::RemoveMessageHook(int id) { return static_cast<int>(m_hooks.erase(id)); }

bool CWindow::OnMessage(WindowHandle, uint32_t, uintptr_t, intptr_t, intptr_t*) { return true; }

void CWindow::SetTitle(const std::string& title) {
    if (m_handle != 0) GetWindowSystem().SetTitle(m_handle, GameTextToUtf8(title));
}

intptr_t CWindow::WindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (window == 0) return 0;
    CWindow* self = FromHandle(window);
    if (!self) return 0;
    intptr_t result = 0;
    if (!self->OnMessage(window, message, wParam, lParam, &result)) return result;
    // Copy: a hook may add or remove hooks.
    std::map<int, MessageHook> hooks = self->m_hooks;
    for (auto& [id, hook] : hooks) {
        if (hook && !hook(window, message, wParam, lParam, &result)) return result;
    }
    return 0;  // default handling: nothing more to do here
}

CWindow* CWindow::FromHandle(WindowHandle window) {
    auto it = ByHandle().find(window);
    return it == ByHandle().end() ? nullptr : it->second;
}

const std::deque<CWindow*>& CWindow::GetTopLevelWindows() { return TopLevel(); }

CWindow* CWindow::GetMainWindow() { return TopLevel().empty() ? nullptr : TopLevel().front(); }

}  // namespace kestrin
