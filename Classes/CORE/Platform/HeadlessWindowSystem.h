#pragma once
// A headless window system for tests: windows are records, events come from a queue
// the test fills, and the keyboard and mouse are whatever the test sets.
#include <deque>
#include <map>
#include <vector>

#include "CORE/Platform/IWindowSystem.h"
#include "CORE/Platform/InputMethodSession.h"

namespace kestrin {

class HeadlessWindowSystem : public IWindowSystem {
public:
    struct SWindow {
        SWindowDesc desc;
        int x = 0, y = 0, width = 0, height = 0;
        bool frameless = false, resizable = false;
        bool fullScreen = false, shown = false, onTop = false;
        int presents = 0;
        std::vector<uint32_t> lastPicture;
        int pictureWidth = 0, pictureHeight = 0;
    };

    bool Init() override { return m_initFails; }
    bool HasDisplay() override { return m_hasDisplay; }
    void GetDesktopSize(int& width, int& height) override;

    WindowHandle CreateWindow(const SWindowDesc& desc) override;
    void DestroyWindow(WindowHandle window) override;
    void SetTitle(WindowHandle window, const std::string& utf8) override;
    void SetStyle(WindowHandle window, bool frameless, bool resizable) override;
    void SetGeometry(WindowHandle window, int x, int y, int width, int height) override;
    void SetClientSize(WindowHandle window, int width, int height) override;
    void SetFullScreen(WindowHandle window, bool fullScreen) override;
    void SetAlwaysOnTop(WindowHandle window, bool onTop) override;
    void Show(WindowHandle window, bool show, bool activate) override;
    void GetClientSize(WindowHandle window, int& width, int& height) override;
    void GetPosition(WindowHandle window, int& x, int& y) override;
    void GetFrameExtents(WindowHandle window, int& extraWidth, int& extraHeight) override;

    bool PollEvent(SWindowEvent& out) override;
    bool HasCloseEvent(WindowHandle window) override {
        for (const SWindowEvent& e : m_events) {
            if (e.type == EWindowEvent::Quit || (e.type == EWindowEvent::Close && e.window == window)) return true;
        }
        return false;
    }
    // Returns at once; records the wait when waiting is on (SetCanWait).
    bool WaitEvent(uint32_t ms) override {
        if (!m_canWait) return false;
        m_waits.push_back(ms);
        return true;
    }

    bool IsKeyDown(int virtualKey) override;
    void TakeKeyPresses(std::vector<SKeyPress>& presses) override;
    void GetClientMousePoint(WindowHandle window, int& x, int& y) override;
    bool HasKeyboardFocus(WindowHandle window) override { return window != 0 && window == m_focus; }

    void PresentPixels(WindowHandle window, const uint32_t* pixels, int width, int height, int pitchBytes) override;
    void* GetNativeWindow(WindowHandle) override { return nullptr; }
    HeadlessWindowSystem();
    void StartTextInput() override { m_textInput = true; }
    // With an input-method client set, it owns the keys while it answers (PushKey).
    void StartCandidateTextInput() override;
    void StopTextInput() override;
    void SetTextInputRect(int x, int y, int width, int height) override;

    // Test controls.
    void SetDesktopSize(int width, int height) {
        m_desktopWidth = width;
        m_desktopHeight = height;
    }
    void SetFrameExtents(int extraWidth, int extraHeight) {
        m_frameWidth = extraWidth;
        m_frameHeight = extraHeight;
    }
    void SetHasDisplay(bool hasDisplay) { m_hasDisplay = hasDisplay; }
    void SetInitFails(bool fails) { m_initFails = fails; }
    void SetCreateFails(bool fails) { m_createFails = fails; }
    void SetCanWait(bool canWait) { m_canWait = canWait; }
    // The length of every WaitEvent call, in order.
    const std::vector<uint32_t>& GetWaits() const { return m_waits; }
    void PushEvent(const SWindowEvent& event) { m_events.push_back(event); }
    // A key going down is also remembered as a press until TakeKeyPresses, as the real
    // window system remembers its key events: down and up again at once is a quick tap. The
    // press goes to the focused window; a button's with the mouse point in that window.
    void SetKeyDown(int virtualKey, bool down);
    // Screen coordinates of the mouse; client points are relative to each window.
    void SetMouseScreenPoint(int x, int y) {
        m_mouseX = x;
        m_mouseY = y;
    }
    void SetFocus(WindowHandle window);
    // Applies a user resize the way a window manager would: new size, then the event.
    void UserResize(WindowHandle window, int width, int height);

    const SWindow* Find(WindowHandle window) const;
    SWindow* Find(WindowHandle window);
    size_t WindowCount() const { return m_windows.size(); }
    size_t PendingEvents() const { return m_events.size(); }
    bool IsTextInputOn() const { return m_textInput; }
    // x, y, width, height of the last text-input rectangle.
    const std::vector<int>& GetTextInputRect() const { return m_textRect; }
    // Typed text, a composition and an input method's candidate list, as events of the window.
    void PushText(WindowHandle window, const std::string& utf8);
    void PushComposition(WindowHandle window, const std::string& utf8);
    void PushCandidates(WindowHandle window, const std::vector<std::string>& utf8, int selected);
    // The input-method client the candidate text input opens on first use (as the real window
    // system's would be); a client whose Open fails leaves the plain text input.
    void SetInputMethodClient(std::unique_ptr<IInputMethodClient> client) { m_client = std::move(client); }
    bool InputMethodOwnsKeys() const { return m_inputMethod.Owns(); }
    // A key as the X server reports it: to the input method first while it owns the keys; a key
    // it does not take arrives as KeyDown/KeyUp, and a press also as the text it types while
    // text input is on.
    void PushKey(WindowHandle window, const SInputMethodKey& key);

private:
    std::map<WindowHandle, SWindow> m_windows;
    std::deque<SWindowEvent> m_events;
    bool m_canWait = false;
    std::vector<uint32_t> m_waits;
    bool m_keys[256] = {};
    std::vector<SKeyPress> m_presses;
    WindowHandle m_next = 1;
    WindowHandle m_focus = 0;
    int m_desktopWidth = 1920, m_desktopHeight = 1080;
    int m_frameWidth = 0, m_frameHeight = 0;
    int m_mouseX = 0, m_mouseY = 0;
    bool m_hasDisplay = false;
    bool m_initFails = false;
    bool m_createFails = false;
    bool m_textInput = false;
    bool m_candidateInput = false;
    std::vector<int> m_textRect;
    std::unique_ptr<IInputMethodClient> m_client;
    InputMethodSession m_inputMethod;
};

}  // namespace kestrin
