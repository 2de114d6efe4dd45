#include "CORE/Platform/HeadlessWindowSystem.h"

#include <cstring>

namespace kestrin {

HeadlessWindowSystem::HeadlessWindowSystem()
    : m_inputMethod([this] {
          std::unique_ptr<IInputMethodClient> client = std::move(m_client);
          if (client && client->Open()) client.reset();
          return client;
      }) {}

void HeadlessWindowSystem::StartCandidateTextInput() {
    m_candidateInput = true;
    m_textInput = !m_inputMethod.Start(m_focus != 0);
}

void HeadlessWindowSystem::StopTextInput() {
    m_inputMethod.Stop();
    m_textInput = false;
    m_candidateInput = false;
}

void HeadlessWindowSystem::SetTextInputRect(int x, int y, int width, int height) {
    m_textRect = {x, y, width, height};
    m_inputMethod.SetCursorRect(x, y, width, height);
}

void HeadlessWindowSystem::SetFocus(WindowHandle window) {
    if ((window != 0) != (m_focus != 0)) m_inputMethod.FocusChanged(window != 0);
    m_focus = window;
}

void HeadlessWindowSystem::PushKey(WindowHandle window, const SInputMethodKey& key) {
    const bool owned = m_inputMethod.Owns();
    if (owned && m_inputMethod.Key(key)) return;
    SWindowEvent e;
    e.type = key.release ? EWindowEvent::KeyUp : EWindowEvent::KeyDown;
    e.window = window;
    e.key = VirtualKeyOfKeysym(key.keysym);
    e.alt = (key.state & 8u) != 0;
    if (e.key != 0) m_events.push_back(e);
    if (key.release || (!owned && !m_textInput) || (key.state & (4u | 8u)) != 0) return;
    const std::string text = TextOfKeysym(key.keysym);
    if (!text.empty()) PushText(window, text);
}

void HeadlessWindowSystem::GetDesktopSize(int& width, int& height) {
    width = m_desktopWidth;
    height = m_desktopHeight;
}

WindowHandle HeadlessWindowSystem::CreateWindow(const SWindowDesc& desc) {
    if (m_createFails || m_initFails) return 0;
    WindowHandle h = m_next++;
    SWindow& w = m_windows[h];
    w.desc = desc;
    w.x = desc.x;
    w.y = desc.y;
    w.width = desc.width;
    w.height = desc.height;
    w.frameless = desc.frameless;
    w.resizable = desc.resizable;
    w.onTop = desc.alwaysOnTop;
    w.shown = !desc.hidden;
    if (w.shown && !desc.noActivate) m_focus = h;
    return h;
}

void HeadlessWindowSystem::DestroyWindow(WindowHandle window) {
    m_windows.erase(window);
    if (m_focus == window) m_focus = 0;
}

void HeadlessWindowSystem::SetTitle(WindowHandle window, const std::string& utf8) {
    if (SWindow* w = Find(window)) w->desc.title = utf8;
}

void HeadlessWindowSystem::SetStyle(WindowHandle window, bool frameless, bool resizable) {
    if (SWindow* w = Find(window)) {
        w->frameless = frameless;
        w->resizable = resizable;
    }
}

void HeadlessWindowSystem::SetGeometry(WindowHandle window, int x, int y, int width, int height) {
    if (SWindow* w = Find(window)) {
        w->x = x;
        w->y = y;
        w->width = width;
        w->height = height;
    }
}

void HeadlessWindowSystem::SetClientSize(WindowHandle window, int width, int height) {
    if (SWindow* w = Find(window)) {
        w->width = width;
        w->height = height;
    }
}

void HeadlessWindowSystem::SetFullScreen(WindowHandle window, bool fullScreen) {
    SWindow* w = Find(window);
    if (!w || w->fullScreen == fullScreen) return;
    w->fullScreen = fullScreen;
    if (fullScreen) {
        w->x = 0;
        w->y = 0;
        w->width = m_desktopWidth;
        w->height = m_desktopHeight;
    }
}

void HeadlessWindowSystem::SetAlwaysOnTop(WindowHandle window, bool onTop) {
    if (SWindow* w = Find(window)) w->onTop = onTop;
}

void HeadlessWindowSystem::Show(WindowHandle window, bool show, bool activate) {
    if (SWindow* w = Find(window)) {
        w->shown = show;
        if (show && activate) m_focus = window;
        if (!show && m_focus == window) m_focus = 0;
    }
}

void HeadlessWindowSystem::GetClientSize(WindowHandle window, int& width, int& height) {
    width = height = 0;
    if (const SWindow* w = Find(window)) {
        width = w->width;
        height = w->height;
    }
}

void HeadlessWindowSystem::GetPosition(WindowHandle window, int& x, int& y) {
    x = y = 0;
    if (const SWindow* w = Find(window)) {
        x = w->x;
        y = w->y;
    }
}

void HeadlessWindowSystem::GetFrameExtents(WindowHandle window, int& extraWidth, int& extraHeight) {
    const SWindow* w = Find(window);
    bool framed = !w || !w->frameless;
    extraWidth = framed ? m_frameWidth : 0;
    extraHeight = framed ? m_frameHeight : 0;
}

bool HeadlessWindowSystem::PollEvent(SWindowEvent& out) {
    if (m_inputMethod.Owns()) {
        std::vector<SWindowEvent> said;
        // A client that gives up hands the keys back to the plain text input.
        if (!m_inputMethod.Poll(said)) m_textInput = m_candidateInput;
        m_events.insert(m_events.end(), said.begin(), said.end());
    }
    if (m_events.empty()) return false;
    out = m_events.front();
    m_events.pop_front();
    return true;
}

bool HeadlessWindowSystem::IsKeyDown(int virtualKey) {
    return virtualKey >= 0 && virtualKey < 256 && m_keys[virtualKey];
}

void HeadlessWindowSystem::SetKeyDown(int virtualKey, bool down) {
    if (virtualKey < 0 || virtualKey > 255) return;
    if (down && !m_keys[virtualKey]) {
        SKeyPress press;
        press.key = virtualKey;
        press.window = m_focus;
        const bool button = virtualKey == 1 || virtualKey == 2 || (virtualKey >= 4 && virtualKey <= 6);
        if (button && m_focus != 0) {
            press.hasPoint = true;
            GetClientMousePoint(m_focus, press.x, press.y);
        }
        m_presses.push_back(press);
    }
    m_keys[virtualKey] = down;
}

void HeadlessWindowSystem::TakeKeyPresses(std::vector<SKeyPress>& presses) {
    presses.swap(m_presses);
    m_presses.clear();
}

void HeadlessWindowSystem::GetClientMousePoint(WindowHandle window, int& x, int& y) {
    int wx = 0, wy = 0;
    GetPosition(window, wx, wy);
    x = m_mouseX - wx;
    y = m_mouseY - wy;
}

void HeadlessWindowSystem::UserResize(WindowHandle window, int width, int height) {
    SetClientSize(window, width, height);
    SWindowEvent e;
    e.type = EWindowEvent::Resized;
    e.window = window;
    e.x = width;
    e.y = height;
    PushEvent(e);
}

void HeadlessWindowSystem::PresentPixels(WindowHandle window, const uint32_t* pixels, int width, int height,
                                         int pitchBytes) {
    SWindow* w = Find(window);
    if (!w || !pixels || width <= 0 || height <= 0) return;
    ++w->presents;
    w->pictureWidth = width;
    w->pictureHeight = height;
    w->lastPicture.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (int row = 0; row < height; ++row) {
        const auto* src = reinterpret_cast<const unsigned char*>(pixels) + static_cast<size_t>(row) * pitchBytes;
        std::memcpy(&w->lastPicture[static_cast<size_t>(row) * width], src, static_cast<size_t>(width) * 4);
    }
}

const HeadlessWindowSystem::SWindow* HeadlessWindowSystem::Find(WindowHandle window) const {
    auto it = m_windows.find(window);
    return it == m_windows.end() ? nullptr : &it->second;
}

HeadlessWindowSystem::SWindow* HeadlessWindowSystem::Find(WindowHandle window) {
    auto it = m_windows.find(window);
    return it == m_windows.end() ? nullptr : &it->second;
}

void HeadlessWindowSystem::PushText(WindowHandle window, const std::string& utf8) {
    SWindowEvent e;
    e.type = EWindowEvent::TextInput;
    e.window = window;
    e.text = utf8;
    m_events.push_back(e);
}

void HeadlessWindowSystem::PushComposition(WindowHandle window, const std::string& utf8) {
    SWindowEvent e;
    e.type = EWindowEvent::TextEditing;
    e.window = window;
    e.text = utf8;
    m_events.push_back(e);
}

void HeadlessWindowSystem::PushCandidates(WindowHandle window, const std::vector<std::string>& utf8, int selected) {
    SWindowEvent e;
    e.type = EWindowEvent::TextCandidates;
    e.window = window;
    e.candidates = utf8;
    e.key = selected;
    m_events.push_back(e);
}

}  // namespace kestrin
