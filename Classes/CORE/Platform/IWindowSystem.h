#pragma once
// The windowing service: top-level windows, their events, the keyboard and mouse
// state, and a way to show a software-drawn picture in a window.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrin {

// Identifies a window of the window system; 0 is no window.
using WindowHandle = uintptr_t;

enum class EWindowEvent {
    Quit,     // the user or a signal asked the program to end
    Close,    // the close box of a window
    Resized,  // x, y: new client size
    Moved,    // x, y: new client position
    Maximized,
    Minimized,
    Restored,
    Exposed,  // contents must be redrawn
    FocusGained,
    FocusLost,
    KeyDown,  // key: virtual-key code; alt, repeat
    KeyUp,
    MouseMove,        // x, y: client point
    MouseButtonDown,  // key: 1 left, 2 right, 4 middle, 5 and 6 extra buttons; x, y
    MouseButtonUp,
    MouseWheel,      // wheel: notches, positive forward
    TextInput,       // text: committed text (UTF-8)
    TextEditing,     // text: the composition being typed (UTF-8), empty when it ends
    TextCandidates,  // candidates: the input method's list, key: the selected one (-1 none)
};

struct SWindowEvent {
    EWindowEvent type = EWindowEvent::Quit;
    WindowHandle window = 0;
    int x = 0;
    int y = 0;
    int key = 0;
    int wheel = 0;
    bool alt = false;
    bool repeat = false;
    std::string text;
    std::vector<std::string> candidates;
};

// A key or mouse button going down.
struct SKeyPress {
    int key = 0;              // virtual-key code
    WindowHandle window = 0;  // the window it went to; 0 when not known
    bool hasPoint = false;    // buttons: the pointer then, in that window's client pixels
    int x = 0;
    int y = 0;
};

struct SWindowDesc {
    std::string title;  // UTF-8
    int x = 0;          // client position
    int y = 0;
    int width = 0;  // client size
    int height = 0;
    bool frameless = false;
    bool resizable = false;
    bool hidden = false;
    bool noActivate = false;  // shown without taking the keyboard focus
    bool alwaysOnTop = false;
    bool utility = false;  // a tool window (no task-bar entry)
};

class IWindowSystem {
public:
    virtual ~IWindowSystem() = default;

    // Starts the video layer on first use; true on failure.
    virtual bool Init() = 0;
    // True when windows are seen by someone (not a dummy or off-screen driver).
    virtual bool HasDisplay() = 0;
    virtual void GetDesktopSize(int& width, int& height) = 0;

    // 0 on failure.
    virtual WindowHandle CreateWindow(const SWindowDesc& desc) = 0;
    virtual void DestroyWindow(WindowHandle window) = 0;
    virtual void SetTitle(WindowHandle window, const std::string& utf8) = 0;
    virtual void SetStyle(WindowHandle window, bool frameless, bool resizable) = 0;
    // Client position and size.
    virtual void SetGeometry(WindowHandle window, int x, int y, int width, int height) = 0;
    virtual void SetClientSize(WindowHandle window, int width, int height) = 0;
    // Desktop full screen (the display mode is not changed).
    virtual void SetFullScreen(WindowHandle window, bool fullScreen) = 0;
    virtual void SetAlwaysOnTop(WindowHandle window, bool onTop) = 0;
    // Shows or hides the window. Shown without activate, it leaves the keyboard focus where it
    // was, with or without a window manager.
    virtual void Show(WindowHandle window, bool show, bool activate) = 0;
    virtual void GetClientSize(WindowHandle window, int& width, int& height) = 0;
    virtual void GetPosition(WindowHandle window, int& x, int& y) = 0;
    // Outer size minus client size (window decorations); 0 when unknown.
    virtual void GetFrameExtents(WindowHandle window, int& extraWidth, int& extraHeight) = 0;

    // Takes the next event; false when none is pending.
    virtual bool PollEvent(SWindowEvent& out) = 0;
    // True when a quit event or a close of the window is pending. Nothing is taken, so the
    // other events keep their place and order. False when this system cannot look ahead.
    virtual bool HasCloseEvent(WindowHandle window) {
        (void)window;
        return false;
    }
    // Sleeps until an event is pending or ms milliseconds passed, without taking the event.
    // False (at once) when this window system cannot wait for its events.
    virtual bool WaitEvent(uint32_t ms) {
        (void)ms;
        return false;
    }

    // Input state by Windows virtual-key number (1, 2, 4, 5, 6 are mouse buttons).
    virtual bool IsKeyDown(int virtualKey) = 0;
    // Every virtual key's IsKeyDown at once, as the input reads them each frame.
    virtual void GetKeysDown(bool (&down)[256]) {
        for (int key = 0; key < 256; ++key) down[key] = IsKeyDown(key);
    }
    // Every key and button press since the last call, oldest first, also those up again by now:
    // presses and releases quicker than the frames leave no trace in the state. Key repeats
    // are no presses. The record starts again empty; a system may keep a bounded number.
    virtual void TakeKeyPresses(std::vector<SKeyPress>& presses) { presses.clear(); }
    // The mouse in the window's client coordinates (may lie outside the client area).
    virtual void GetClientMousePoint(WindowHandle window, int& x, int& y) = 0;
    virtual bool HasKeyboardFocus(WindowHandle window) = 0;

    // Shows a picture of 32-bit pixels (blue, green, red, spare in memory) in the window.
    virtual void PresentPixels(WindowHandle window, const uint32_t* pixels, int width, int height, int pitchBytes) = 0;
    // The platform's own window object (SDL_Window*) for other platform code; null when none.
    virtual void* GetNativeWindow(WindowHandle window) = 0;

    // Text input through the keyboard and the input method: while on, typed text arrives as
    // TextInput and compositions as TextEditing events. The rectangle (client pixels) is where
    // the input method places its own windows.
    virtual void StartTextInput() {}
    // Text input for text the game draws itself, composition and candidate list included:
    // where the platform can, the input method's own windows stay closed and its list comes as
    // TextCandidates events; a key the input method takes never arrives as a KeyDown event.
    // Elsewhere the same as StartTextInput.
    virtual void StartCandidateTextInput() { StartTextInput(); }
    // Ends either kind of text input.
    virtual void StopTextInput() {}
    virtual void SetTextInputRect(int x, int y, int width, int height) { (void)x, (void)y, (void)width, (void)height; }
};

// The window system of the machine the engine runs on.
std::shared_ptr<IWindowSystem> CreateSystemWindowSystem();

}  // namespace kestrin
