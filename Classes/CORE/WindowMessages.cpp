#include "CORE/WindowMessages.h"

#include <cstdlib>
#include <deque>

#include "CORE/CImeContext.h"
#include "CORE/CWindow.h"
#include "CORE/Platform/ICloseSignals.h"
#include "CORE/Platform/IWindowSystem.h"

namespace kestrin {

namespace {
std::shared_ptr<IWindowSystem>& System() {
    static std::shared_ptr<IWindowSystem> system;
    return system;
}
// The desktop's, made on first use while none is set. Kept apart from the one set, so that it
// lives on (with its windows) while a set installed later refers to it.
std::shared_ptr<IWindowSystem>& Desktop() {
    static std::shared_ptr<IWindowSystem> desktop;
    return desktop;
}
// The window system in use; null while none was set or made.
IWindowSystem* Current() { return System() ? System().get() : Desktop().get(); }
struct SQueue {
    std::deque<SMessage> posted;
    bool quit = false;
    int exitCode = 0;
};
SQueue& Queue() {
    static SQueue queue;
    return queue;
}

// Which edge a window-manager resize moved, from the rectangles before and after.
int SizingEdge(const SWindowRect& before, const SWindowRect& after) {
    const bool left = after.left != before.left;
    const bool top = after.top != before.top;
    const bool widthChanged = (after.right - after.left) != (before.right - before.left);
    const bool heightChanged = (after.bottom - after.top) != (before.bottom - before.top);
    if (widthChanged && heightChanged) {
        if (top) return left ? kWmszTopLeft : kWmszTopRight;
        return left ? kWmszBottomLeft : kWmszBottomRight;
    }
    if (heightChanged) return top ? kWmszTop : kWmszBottom;
    return left ? kWmszLeft : kWmszRight;
}

void HandleResize(CWindow* window, int width, int height) {
    IWindowSystem& ws = GetWindowSystem();
    const WindowHandle h = window->GetHandle();
    if (width == window->GetClientWidth() && height == window->GetClientHeight()) return;
    int x = 0, y = 0;
    ws.GetPosition(h, x, y);
    const int ew = window->GetFrameExtraWidth();
    const int eh = window->GetFrameExtraHeight();
    const SWindowRect before = window->GetWindowRect();
    SWindowRect rect{x, y, x + width + ew, y + height + eh};
    // The window system has no sizing drag of its own: the finished resize is offered
    // as one sizing step, and a corrected rectangle is applied back.
    SendWindowMessage(h, kWmSizing, static_cast<uintptr_t>(SizingEdge(before, rect)),
                      reinterpret_cast<intptr_t>(&rect));
    const int newWidth = rect.right - rect.left - ew;
    const int newHeight = rect.bottom - rect.top - eh;
    if (newWidth > 0 && newHeight > 0 &&
        (newWidth != width || newHeight != height || rect.left != x || rect.top != y)) {
        ws.SetGeometry(h, rect.left, rect.top, newWidth, newHeight);
        width = newWidth;
        height = newHeight;
    }
    window->NoteWindowRect(SWindowRect{rect.left, rect.top, rect.left + width + ew, rect.top + height + eh});
    window->NoteClientSize(width, height);
    PostWindowMessage(h, kWmSize, kSizeRestored, MakeLParam(width, height));
}

void TranslateEvent(const SWindowEvent& e) {
    IWindowSystem& ws = GetWindowSystem();
    CWindow* window = CWindow::FromHandle(e.window);
    const WindowHandle h = e.window;
    switch (e.type) {
        case EWindowEvent::Quit:
            // SDL_QUIT, SIGINT and SIGTERM close the main window, so that its leave path runs.
            if (CWindow* main = CWindow::GetMainWindow()) {
                PostWindowMessage(main->GetHandle(), kWmClose, 0, 0);
            } else {
                PostQuitMessage(0);
            }
            break;
        case EWindowEvent::Close:
            if (window) PostWindowMessage(h, kWmClose, 0, 0);
            break;
        case EWindowEvent::Resized:
            if (window) HandleResize(window, e.x, e.y);
            break;
        case EWindowEvent::Moved:
            if (window) {
                SWindowRect r = window->GetWindowRect();
                const int w = r.right - r.left, hh = r.bottom - r.top;
                window->NoteWindowRect(SWindowRect{e.x, e.y, e.x + w, e.y + hh});
                PostWindowMessage(h, kWmMove, 0, MakeLParam(e.x, e.y));
            }
            break;
        case EWindowEvent::Maximized:
        case EWindowEvent::Restored:
            if (window) {
                int w = 0, hh = 0;
                ws.GetClientSize(h, w, hh);
                window->NoteClientSize(w, hh);
                PostWindowMessage(h, kWmSize, e.type == EWindowEvent::Maximized ? kSizeMaximized : kSizeRestored,
                                  MakeLParam(w, hh));
            }
            break;
        case EWindowEvent::Minimized:
            if (window) PostWindowMessage(h, kWmSize, kSizeMinimized, 0);
            break;
        case EWindowEvent::Exposed:
            if (window) PostWindowMessage(h, kWmPaint, 0, 0);
            break;
        case EWindowEvent::FocusGained:
            if (window) PostWindowMessage(h, kWmSetFocus, 0, 0);
            break;
        case EWindowEvent::FocusLost:
            if (window) PostWindowMessage(h, kWmKillFocus, 0, 0);
            break;
        case EWindowEvent::KeyDown:
        case EWindowEvent::KeyUp: {
            if (!window) break;
            const bool down = e.type == EWindowEvent::KeyDown;
            const uint32_t msg = e.alt ? (down ? kWmSysKeyDown : kWmSysKeyUp) : (down ? kWmKeyDown : kWmKeyUp);
            // Bit 29: Alt held; bit 30: the key was already down (auto-repeat).
            intptr_t lParam = 1;
            if (e.alt) lParam |= intptr_t(1) << 29;
            if (e.repeat || !down) lParam |= intptr_t(1) << 30;
            PostWindowMessage(h, msg, static_cast<uintptr_t>(e.key), lParam);
            // Backspace and Enter also come as characters, as the keyboard translation makes them.
            if (down && !e.alt && (e.key == kVkBack || e.key == kVkReturn)) {
                PostWindowMessage(h, kWmChar, static_cast<uintptr_t>(e.key), lParam);
            }
            break;
        }
        case EWindowEvent::TextInput:
        case EWindowEvent::TextEditing:
        case EWindowEvent::TextCandidates: {
            // Text goes to the window that has the keyboard, else to the main window.
            WindowHandle target = window ? h : 0;
            if (!target && CWindow::GetMainWindow()) target = CWindow::GetMainWindow()->GetHandle();
            if (!target) break;
            CImeContext& ime = CImeContext::GetInstance();
            if (e.type == EWindowEvent::TextInput) {
                if (e.text.empty()) break;
                const uint32_t serial = ime.AddResult(e.text);
                PostWindowMessage(target, kWmImeComposition, serial, kGcsResultStr);
            } else if (e.type == EWindowEvent::TextEditing) {
                const bool was = !ime.GetComposition().empty();
                ime.SetComposition(e.text);
                if (!was && !e.text.empty()) PostWindowMessage(target, kWmImeStartComposition, 0, 0);
                if (!e.text.empty()) PostWindowMessage(target, kWmImeComposition, 0, kGcsCompStr);
                if (was && e.text.empty()) PostWindowMessage(target, kWmImeEndComposition, 0, 0);
            } else {
                ime.SetCandidates(e.candidates, e.key);
                PostWindowMessage(target, kWmImeNotify, e.candidates.empty() ? kImnCloseCandidate : kImnOpenCandidate,
                                  0);
            }
            break;
        }
        case EWindowEvent::MouseMove:
            if (window) PostWindowMessage(h, kWmMouseMove, 0, MakeLParam(e.x, e.y));
            break;
        case EWindowEvent::MouseButtonDown:
        case EWindowEvent::MouseButtonUp: {
            if (!window) break;
            const bool down = e.type == EWindowEvent::MouseButtonDown;
            uint32_t msg = 0;
            if (e.key == 1) msg = down ? kWmLButtonDown : kWmLButtonUp;
            if (e.key == 2) msg = down ? kWmRButtonDown : kWmRButtonUp;
            if (e.key == 4) msg = down ? kWmMButtonDown : kWmMButtonUp;
            if (msg) PostWindowMessage(h, msg, 0, MakeLParam(e.x, e.y));
            break;
        }
        case EWindowEvent::MouseWheel: {
            if (!window) break;
            // One message per notch, as a wheel mouse sends them.
            const int count = std::abs(e.wheel);
            const int delta = e.wheel > 0 ? kWheelDelta : -kWheelDelta;
            for (int i = 0; i < count && i < 64; ++i) {
                const uintptr_t wParam = static_cast<uintptr_t>((static_cast<uint32_t>(delta) & 0xFFFFu) << 16);
                PostWindowMessage(h, kWmMouseWheel, wParam, 0);
            }
            break;
        }
    }
}
}  // namespace

IWindowSystem& GetWindowSystem() {
    if (System()) return *System();
    if (!Desktop()) Desktop() = CreateSystemWindowSystem();
    return *Desktop();
}

void SetWindowSystem(std::shared_ptr<IWindowSystem> system) { System() = std::move(system); }

void PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    Queue().posted.push_back(SMessage{window, message, wParam, lParam});
}

void PostQuitMessage(int exitCode) {
    Queue().quit = true;
    Queue().exitCode = exitCode;
}

intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return CWindow::WindowProc(window, message, wParam, lParam);
}

void PumpWindowEvents() {
    // A signal is a quit request like the window system's own, whenever it arrived.
    if (GetCloseSignals()->TakeRequest()) {
        SWindowEvent quit;
        quit.type = EWindowEvent::Quit;
        TranslateEvent(quit);
    }
    IWindowSystem* system = Current();
    if (!system) return;  // nothing was ever created
    SWindowEvent e;
    while (system->PollEvent(e)) TranslateEvent(e);
}

bool IsCloseRequested() {
    if (GetCloseSignals()->TakeRequest()) {
        SWindowEvent quit;
        quit.type = EWindowEvent::Quit;
        TranslateEvent(quit);
        return true;
    }
    const SQueue& q = Queue();
    if (q.quit) return true;
    const CWindow* main = CWindow::GetMainWindow();
    const WindowHandle mainHandle = main ? main->GetHandle() : 0;
    for (const SMessage& m : q.posted) {
        if (mainHandle != 0 && m.window == mainHandle && (m.message == kWmClose || m.message == kWmDestroy))
            return true;
    }
    IWindowSystem* system = Current();
    return system && system->HasCloseEvent(mainHandle);
}

bool WaitWindowEvents(uint32_t ms) {
    const SQueue& q = Queue();
    if (!q.posted.empty() || q.quit) return true;
    IWindowSystem* system = Current();
    return system && system->WaitEvent(ms);
}

bool PeekWindowMessage(SMessage& out) {
    SQueue& q = Queue();
    if (!q.posted.empty()) {
        out = q.posted.front();
        q.posted.pop_front();
        return true;
    }
    if (q.quit) {
        q.quit = false;
        out = SMessage{0, kWmQuit, static_cast<uintptr_t>(q.exitCode), 0};
        return true;
    }
    return false;
}

void DispatchWindowMessage(const SMessage& message) {
    if (message.window != 0) CWindow::WindowProc(message.window, message.message, message.wParam, message.lParam);
}

void ClearWindowMessages() {
    Queue().posted.clear();
    Queue().quit = false;
    Queue().exitCode = 0;
}

}  // namespace kestrin
