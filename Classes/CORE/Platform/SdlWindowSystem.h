#pragma once
// The window system over SDL2's video subsystem and event queue.
#include <deque>
#include <string>
#include <vector>

#include "CORE/Platform/IWindowSystem.h"
#include "CORE/Platform/InputMethodSession.h"

struct SDL_SysWMmsg;

namespace kestrin {

class SdlWindowSystem : public IWindowSystem {
public:
    SdlWindowSystem();
    ~SdlWindowSystem() override;

    bool Init() override;
    bool HasDisplay() override;
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
    bool HasCloseEvent(WindowHandle window) override;
    bool WaitEvent(uint32_t ms) override;

    bool IsKeyDown(int virtualKey) override;
    void GetKeysDown(bool (&down)[256]) override;
    // Presses are taken from the key and button events as PollEvent passes them on; the loop
    // takes every pending event before each frame's poll.
    void TakeKeyPresses(std::vector<SKeyPress>& presses) override;
    void GetClientMousePoint(WindowHandle window, int& x, int& y) override;
    bool HasKeyboardFocus(WindowHandle window) override;

    void PresentPixels(WindowHandle window, const uint32_t* pixels, int width, int height, int pitchBytes) override;
    void* GetNativeWindow(WindowHandle window) override;
    void StartTextInput() override;
    // On X11 with IBus or fcitx5 running, our own input context takes the keys (read from the
    // X events, so the input method sees the real key codes) while SDL's text input is off.
    void StartCandidateTextInput() override;
    void StopTextInput() override;
    void SetTextInputRect(int x, int y, int width, int height) override;

    // Windows virtual-key number of an SDL scancode; 0 when it has none.
    static int VirtualKeyFromScancode(int scancode);

private:
    void NotePress(int scancode, WindowHandle window);
    void NotePress(const SKeyPress& press);
    // Asks the input method about an X key event that SDL passes on (the verdict applies to
    // the key event SDL makes of it, which comes next); takes the focus back after SDL's
    // context took it on an X focus event.
    void OfferKeyToInputMethod(const SDL_SysWMmsg* message);
    void ReturnToSdlTextInput();

    bool m_started = false;
    bool m_failed = false;
    int m_hasDisplay = -1;             // unknown until the video layer started
    int m_canWait = -1;                // likewise
    std::vector<SKeyPress> m_presses;  // since the last TakeKeyPresses, oldest first
    InputMethodSession m_inputMethod;
    bool m_textInput = false;
    // The input method's verdict on the X key event just read.
    bool m_keyOffered = false;
    bool m_keyTaken = false;
    std::string m_keyText;
    std::deque<SWindowEvent> m_queued;  // events made here, given out before SDL's
};

}  // namespace kestrin
