#include "CORE/Platform/SdlWindowSystem.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "CORE/CLogWindow.h"

namespace kestrin {

namespace {

SDL_Window* Win(WindowHandle window) { return window ? SDL_GetWindowFromID(static_cast<Uint32>(window)) : nullptr; }

struct SKeyMap {
    int vk;
    SDL_Scancode codes[2];
};

// Windows virtual-key numbers by physical key position (US layout), as scripts name them.
// clang-format off
const SKeyMap kKeyMap[] = {
    {8, {SDL_SCANCODE_BACKSPACE}}, {9, {SDL_SCANCODE_TAB}}, {12, {SDL_SCANCODE_CLEAR}},
    {13, {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER}}, {16, {SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RSHIFT}},
    {17, {SDL_SCANCODE_LCTRL, SDL_SCANCODE_RCTRL}}, {18, {SDL_SCANCODE_LALT, SDL_SCANCODE_RALT}},
    {19, {SDL_SCANCODE_PAUSE}}, {20, {SDL_SCANCODE_CAPSLOCK}}, {27, {SDL_SCANCODE_ESCAPE}},
    {32, {SDL_SCANCODE_SPACE}}, {33, {SDL_SCANCODE_PAGEUP}}, {34, {SDL_SCANCODE_PAGEDOWN}},
    {35, {SDL_SCANCODE_END}}, {36, {SDL_SCANCODE_HOME}}, {37, {SDL_SCANCODE_LEFT}}, {38, {SDL_SCANCODE_UP}},
    {39, {SDL_SCANCODE_RIGHT}}, {40, {SDL_SCANCODE_DOWN}}, {44, {SDL_SCANCODE_PRINTSCREEN}},
    {45, {SDL_SCANCODE_INSERT}}, {46, {SDL_SCANCODE_DELETE}}, {47, {SDL_SCANCODE_HELP}},
    {48, {SDL_SCANCODE_0}}, {49, {SDL_SCANCODE_1}}, {50, {SDL_SCANCODE_2}}, {51, {SDL_SCANCODE_3}},
    {52, {SDL_SCANCODE_4}}, {53, {SDL_SCANCODE_5}}, {54, {SDL_SCANCODE_6}}, {55, {SDL_SCANCODE_7}},
    {56, {SDL_SCANCODE_8}}, {57, {SDL_SCANCODE_9}},
    {91, {SDL_SCANCODE_LGUI}}, {92, {SDL_SCANCODE_RGUI}}, {93, {SDL_SCANCODE_APPLICATION}},
    {95, {SDL_SCANCODE_SLEEP}},
    {96, {SDL_SCANCODE_KP_0}}, {97, {SDL_SCANCODE_KP_1}}, {98, {SDL_SCANCODE_KP_2}}, {99, {SDL_SCANCODE_KP_3}},
    {100, {SDL_SCANCODE_KP_4}}, {101, {SDL_SCANCODE_KP_5}}, {102, {SDL_SCANCODE_KP_6}},
    {103, {SDL_SCANCODE_KP_7}}, {104, {SDL_SCANCODE_KP_8}}, {105, {SDL_SCANCODE_KP_9}},
    {106, {SDL_SCANCODE_KP_MULTIPLY}}, {107, {SDL_SCANCODE_KP_PLUS}}, {109, {SDL_SCANCODE_KP_MINUS}},
    {110, {SDL_SCANCODE_KP_PERIOD}}, {111, {SDL_SCANCODE_KP_DIVIDE}},
    {144, {SDL_SCANCODE_NUMLOCKCLEAR}}, {145, {SDL_SCANCODE_SCROLLLOCK}},
    {160, {SDL_SCANCODE_LSHIFT}}, {161, {SDL_SCANCODE_RSHIFT}}, {162, {SDL_SCANCODE_LCTRL}},
    {163, {SDL_SCANCODE_RCTRL}}, {164, {SDL_SCANCODE_LALT}}, {165, {SDL_SCANCODE_RALT}},
    {186, {SDL_SCANCODE_SEMICOLON}}, {187, {SDL_SCANCODE_EQUALS}}, {188, {SDL_SCANCODE_COMMA}},
    {189, {SDL_SCANCODE_MINUS}}, {190, {SDL_SCANCODE_PERIOD}}, {191, {SDL_SCANCODE_SLASH}},
    {192, {SDL_SCANCODE_GRAVE}}, {219, {SDL_SCANCODE_LEFTBRACKET}}, {220, {SDL_SCANCODE_BACKSLASH}},
    {221, {SDL_SCANCODE_RIGHTBRACKET}}, {222, {SDL_SCANCODE_APOSTROPHE}}, {226, {SDL_SCANCODE_NONUSBACKSLASH}},
};
// clang-format on

struct SKeyTables {
    std::vector<SDL_Scancode> byVk[256];
    int vkByScancode[SDL_NUM_SCANCODES] = {};
    // Every virtual key a scancode stands for (left Shift is 16 and 160).
    std::vector<int> vksByScancode[SDL_NUM_SCANCODES];
    SKeyTables() {
        for (int i = 0; i < 26; ++i) Add(65 + i, static_cast<SDL_Scancode>(SDL_SCANCODE_A + i));
        for (int i = 0; i < 12; ++i) Add(112 + i, static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + i));
        for (int i = 0; i < 12; ++i) Add(124 + i, static_cast<SDL_Scancode>(SDL_SCANCODE_F13 + i));
        for (const SKeyMap& k : kKeyMap) {
            for (SDL_Scancode c : k.codes) {
                if (c != SDL_SCANCODE_UNKNOWN) Add(k.vk, c);
            }
        }
    }
    void Add(int vk, SDL_Scancode code) {
        byVk[vk].push_back(code);
        vksByScancode[code].push_back(vk);
        // Key messages carry the generic code (16 Shift), not the left/right ones.
        if (vkByScancode[code] == 0) vkByScancode[code] = vk;
    }
};

const SKeyTables& KeyTables() {
    static const SKeyTables tables;
    return tables;
}

// The X11 side of a window; false for other video drivers.
bool X11Of(SDL_Window* w, Display*& display, Window& window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    display = info.info.x11.display;
    window = info.info.x11.window;
    return display != nullptr && window != 0;
}

// Shows a window and leaves the keyboard focus where it was. SDL's hint against activation
// works on Windows only. A window manager is asked not to focus the window when it maps it
// (a user time of 0); without one, SDL itself gives the window the X focus once it is mapped,
// and that is handed back.
void ShowWithoutFocus(SDL_Window* w) {
    Display* display = nullptr;
    Window window = 0;
    if (!X11Of(w, display, window)) {
        SDL_SetHint(SDL_HINT_WINDOW_NO_ACTIVATION_WHEN_SHOWN, "1");
        SDL_ShowWindow(w);
        SDL_SetHint(SDL_HINT_WINDOW_NO_ACTIVATION_WHEN_SHOWN, "0");
        return;
    }
    const long userTime = 0;
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_USER_TIME", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&userTime), 1);
    Window before = 0;
    int revert = 0;
    XGetInputFocus(display, &before, &revert);
    SDL_ShowWindow(w);
    Window after = 0;
    XGetInputFocus(display, &after, &revert);
    // PointerRoot (1) and None (0) are no windows to go back to.
    if (after == window && before != window && before > PointerRoot) {
        XSetInputFocus(display, before, RevertToParent, CurrentTime);
        // Done before the program goes on: input read from now on goes to the window it was for.
        XSync(display, False);
    }
}

int VirtualButton(Uint8 button) {
    switch (button) {
        case SDL_BUTTON_LEFT: return 1;
        case SDL_BUTTON_RIGHT: return 2;
        case SDL_BUTTON_MIDDLE: return 4;
        case SDL_BUTTON_X1: return 5;
        case SDL_BUTTON_X2: return 6;
        default: return 0;
    }
}

}  // namespace

SdlWindowSystem::SdlWindowSystem()
    : m_inputMethod([] {
          // Our client reads X key events; other drivers keep SDL's own text input.
          const char* driver = SDL_GetCurrentVideoDriver();
          if (!driver || std::strcmp(driver, "x11") != 0) return std::unique_ptr<IInputMethodClient>();
          return CreateSystemInputMethodClient();
      }) {}

SdlWindowSystem::~SdlWindowSystem() {
    if (m_started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool SdlWindowSystem::Init() {
    if (m_started) return false;
    if (m_failed) return true;
    // The pacer sleeps between frames; SDL must not throttle or grab anything itself.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // SIGINT and SIGTERM belong to the program's own close-signal service.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Compositions longer than one event's buffer come whole.
    SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
    // Without a session bus address, SDL's input-method support has libdbus autolaunch a bus:
    // a fork that runs "dbus-launch" on every start (tens of milliseconds) and finds no input
    // method anyway. While SDL starts, libdbus is told that there is no bus.
    const bool noBus = std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr;
    if (noBus) setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    const int started = SDL_InitSubSystem(SDL_INIT_VIDEO);
    if (noBus) unsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (started != 0) {
        m_failed = true;
        Log(ELogLevel::Error, "SDL", "video could not start: %s", SDL_GetError());
        return true;
    }
    m_started = true;
    // Text input is on only while a text field waits for it.
    SDL_StopTextInput();
    return false;
}

bool SdlWindowSystem::HasDisplay() {
    if (m_hasDisplay >= 0) return m_hasDisplay == 1;
    if (Init()) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver) return false;
    const bool real =
        std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "evdev") != 0;
    m_hasDisplay = real ? 1 : 0;
    return real;
}

void SdlWindowSystem::GetDesktopSize(int& width, int& height) {
    width = height = 0;
    if (Init()) return;
    SDL_Rect r;
    if (SDL_GetDisplayBounds(0, &r) == 0) {
        width = r.w;
        height = r.h;
    }
}

WindowHandle SdlWindowSystem::CreateWindow(const SWindowDesc& desc) {
    if (Init()) return 0;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (desc.frameless) flags |= SDL_WINDOW_BORDERLESS;
    if (desc.resizable) flags |= SDL_WINDOW_RESIZABLE;
    if (desc.alwaysOnTop) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    if (desc.utility) flags |= SDL_WINDOW_UTILITY | SDL_WINDOW_SKIP_TASKBAR;
    SDL_Window* w = SDL_CreateWindow(desc.title.c_str(), desc.x, desc.y, desc.width > 0 ? desc.width : 1,
                                     desc.height > 0 ? desc.height : 1, flags);
    if (!w) {
        Log(ELogLevel::Error, "SDL_CreateWindow", "%s", SDL_GetError());
        return 0;
    }
    WindowHandle h = SDL_GetWindowID(w);
    if (!desc.hidden) Show(h, true, !desc.noActivate);
    return h;
}

void SdlWindowSystem::DestroyWindow(WindowHandle window) {
    if (SDL_Window* w = Win(window)) SDL_DestroyWindow(w);
}

void SdlWindowSystem::SetTitle(WindowHandle window, const std::string& utf8) {
    if (SDL_Window* w = Win(window)) SDL_SetWindowTitle(w, utf8.c_str());
}

void SdlWindowSystem::SetStyle(WindowHandle window, bool frameless, bool resizable) {
    if (SDL_Window* w = Win(window)) {
        SDL_SetWindowBordered(w, frameless ? SDL_FALSE : SDL_TRUE);
        SDL_SetWindowResizable(w, resizable ? SDL_TRUE : SDL_FALSE);
    }
}

void SdlWindowSystem::SetGeometry(WindowHandle window, int x, int y, int width, int height) {
    if (SDL_Window* w = Win(window)) {
        if (width > 0 && height > 0) SDL_SetWindowSize(w, width, height);
        SDL_SetWindowPosition(w, x, y);
    }
}

void SdlWindowSystem::SetClientSize(WindowHandle window, int width, int height) {
    SDL_Window* w = Win(window);
    if (w && width > 0 && height > 0) SDL_SetWindowSize(w, width, height);
}

void SdlWindowSystem::SetFullScreen(WindowHandle window, bool fullScreen) {
    SDL_Window* w = Win(window);
    if (!w) return;
    if (fullScreen) {
        if (SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
            Log(ELogLevel::Error, "SDL_SetWindowFullscreen", "%s", SDL_GetError());
    } else {
        SDL_SetWindowFullscreen(w, 0);
        // Full screen may have been entered from the maximised state.
        if (SDL_GetWindowFlags(w) & SDL_WINDOW_MAXIMIZED) SDL_RestoreWindow(w);
    }
}

void SdlWindowSystem::SetAlwaysOnTop(WindowHandle window, bool onTop) {
    if (SDL_Window* w = Win(window)) SDL_SetWindowAlwaysOnTop(w, onTop ? SDL_TRUE : SDL_FALSE);
}

void SdlWindowSystem::Show(WindowHandle window, bool show, bool activate) {
    SDL_Window* w = Win(window);
    if (!w) return;
    if (!show) {
        SDL_HideWindow(w);
        return;
    }
    if (!activate) {
        ShowWithoutFocus(w);
        return;
    }
    SDL_ShowWindow(w);
    SDL_RaiseWindow(w);
}

void SdlWindowSystem::GetClientSize(WindowHandle window, int& width, int& height) {
    width = height = 0;
    if (SDL_Window* w = Win(window)) {
        if (SDL_GetWindowFlags(w) & SDL_WINDOW_MINIMIZED) return;
        SDL_GetWindowSize(w, &width, &height);
    }
}

void SdlWindowSystem::GetPosition(WindowHandle window, int& x, int& y) {
    x = y = 0;
    if (SDL_Window* w = Win(window)) SDL_GetWindowPosition(w, &x, &y);
}

void SdlWindowSystem::GetFrameExtents(WindowHandle window, int& extraWidth, int& extraHeight) {
    extraWidth = extraHeight = 0;
    SDL_Window* w = Win(window);
    if (!w) return;
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(w, &top, &left, &bottom, &right) == 0) {
        extraWidth = left + right;
        extraHeight = top + bottom;
    }
}

bool SdlWindowSystem::WaitEvent(uint32_t ms) {
    // The input method's answers come on a socket of their own that SDL does not watch.
    if (!m_started || m_inputMethod.Owns()) return false;
    if (m_canWait < 0) {
        // SDL sleeps on the display connection only with these drivers; elsewhere its wait
        // polls every millisecond, which costs more than the frames it would save.
        const char* driver = SDL_GetCurrentVideoDriver();
        m_canWait = driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0) ? 1 : 0;
    }
    // Open joysticks or sensors make SDL poll as well.
    if (m_canWait == 0 || SDL_WasInit(SDL_INIT_JOYSTICK | SDL_INIT_SENSOR) != 0) return false;
    SDL_WaitEventTimeout(nullptr, static_cast<int>(std::min<uint32_t>(ms, INT32_MAX)));
    return true;
}

bool SdlWindowSystem::HasCloseEvent(WindowHandle window) {
    if (!m_started) return false;
    SDL_PumpEvents();
    SDL_Event events[64];
    if (SDL_PeepEvents(events, 1, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT) > 0) return true;
    const int count = SDL_PeepEvents(events, 64, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
    for (int i = 0; i < count; ++i) {
        if (events[i].window.event == SDL_WINDOWEVENT_CLOSE && events[i].window.windowID == window) return true;
    }
    return false;
}

bool SdlWindowSystem::PollEvent(SWindowEvent& out) {
    if (!m_started) return false;
    if (m_queued.empty() && m_inputMethod.Owns()) {
        std::vector<SWindowEvent> said;
        if (!m_inputMethod.Poll(said)) ReturnToSdlTextInput();
        m_queued.insert(m_queued.end(), said.begin(), said.end());
    }
    if (!m_queued.empty()) {
        out = std::move(m_queued.front());
        m_queued.pop_front();
        return true;
    }
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        out = SWindowEvent();
        // A verdict holds for the key event made of the same X event, which comes right after.
        const bool keyOffered = m_keyOffered && (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP);
        m_keyOffered = false;
        switch (e.type) {
            case SDL_SYSWMEVENT: OfferKeyToInputMethod(e.syswm.msg); break;
            case SDL_QUIT: out.type = EWindowEvent::Quit; return true;
            case SDL_WINDOWEVENT:
                out.window = e.window.windowID;
                switch (e.window.event) {
                    case SDL_WINDOWEVENT_CLOSE: out.type = EWindowEvent::Close; return true;
                    case SDL_WINDOWEVENT_RESIZED:
                        out.type = EWindowEvent::Resized;
                        out.x = e.window.data1;
                        out.y = e.window.data2;
                        return true;
                    case SDL_WINDOWEVENT_MOVED:
                        out.type = EWindowEvent::Moved;
                        out.x = e.window.data1;
                        out.y = e.window.data2;
                        return true;
                    case SDL_WINDOWEVENT_MAXIMIZED: out.type = EWindowEvent::Maximized; return true;
                    case SDL_WINDOWEVENT_MINIMIZED: out.type = EWindowEvent::Minimized; return true;
                    case SDL_WINDOWEVENT_RESTORED: out.type = EWindowEvent::Restored; return true;
                    case SDL_WINDOWEVENT_EXPOSED: out.type = EWindowEvent::Exposed; return true;
                    case SDL_WINDOWEVENT_FOCUS_GAINED:
                        // SDL's own IBus context took the input method's focus just now, while
                        // SDL handled the X event: ours takes it back.
                        m_inputMethod.FocusChanged(true);
                        out.type = EWindowEvent::FocusGained;
                        return true;
                    case SDL_WINDOWEVENT_FOCUS_LOST:
                        m_inputMethod.FocusChanged(false);
                        out.type = EWindowEvent::FocusLost;
                        return true;
                    default: break;
                }
                break;
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                // A key the input method took is not the game's.
                if (keyOffered && m_keyTaken) break;
                if (keyOffered && !m_keyText.empty() && e.type == SDL_KEYDOWN) {
                    SWindowEvent typed;
                    typed.type = EWindowEvent::TextInput;
                    typed.window = e.key.windowID;
                    typed.text = m_keyText;
                    m_queued.push_back(typed);
                }
                // A repeat is no new press.
                if (e.type == SDL_KEYDOWN && !e.key.repeat) NotePress(e.key.keysym.scancode, e.key.windowID);
                int vk = VirtualKeyFromScancode(e.key.keysym.scancode);
                if (vk == 0) break;
                out.type = e.type == SDL_KEYDOWN ? EWindowEvent::KeyDown : EWindowEvent::KeyUp;
                out.window = e.key.windowID;
                out.key = vk;
                out.alt = (e.key.keysym.mod & KMOD_ALT) != 0;
                out.repeat = e.key.repeat != 0;
                return true;
            }
            case SDL_MOUSEMOTION:
                out.type = EWindowEvent::MouseMove;
                out.window = e.motion.windowID;
                out.x = e.motion.x;
                out.y = e.motion.y;
                return true;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                int vk = VirtualButton(e.button.button);
                if (vk == 0) break;
                if (e.type == SDL_MOUSEBUTTONDOWN) {
                    SKeyPress press;
                    press.key = vk;
                    press.window = e.button.windowID;
                    press.hasPoint = true;
                    press.x = e.button.x;
                    press.y = e.button.y;
                    NotePress(press);
                }
                out.type = e.type == SDL_MOUSEBUTTONDOWN ? EWindowEvent::MouseButtonDown : EWindowEvent::MouseButtonUp;
                out.window = e.button.windowID;
                out.key = vk;
                out.x = e.button.x;
                out.y = e.button.y;
                return true;
            }
            case SDL_TEXTINPUT:
                out.type = EWindowEvent::TextInput;
                out.window = e.text.windowID;
                out.text = e.text.text;
                return true;
            case SDL_TEXTEDITING:
                out.type = EWindowEvent::TextEditing;
                out.window = e.edit.windowID;
                out.text = e.edit.text;
                return true;
            case SDL_TEXTEDITING_EXT:
                // A long composition comes whole here; SDL owns the text until the next poll.
                out.type = EWindowEvent::TextEditing;
                out.window = e.editExt.windowID;
                if (e.editExt.text) {
                    out.text = e.editExt.text;
                    SDL_free(e.editExt.text);
                }
                return true;
            case SDL_MOUSEWHEEL: {
                int notches = e.wheel.y;
                if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
                if (notches == 0) break;
                out.type = EWindowEvent::MouseWheel;
                out.window = e.wheel.windowID;
                out.wheel = notches;
                return true;
            }
            default: break;
        }
    }
    return false;
}

int SdlWindowSystem::VirtualKeyFromScancode(int scancode) {
    if (scancode <= 0 || scancode >= SDL_NUM_SCANCODES) return 0;
    return KeyTables().vkByScancode[scancode];
}

bool SdlWindowSystem::IsKeyDown(int virtualKey) {
    if (!m_started || virtualKey <= 0 || virtualKey > 255) return false;
    switch (virtualKey) {
        case 1: return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0;
        case 2: return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_RMASK) != 0;
        case 4: return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_MMASK) != 0;
        case 5: return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_X1MASK) != 0;
        case 6: return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_X2MASK) != 0;
        default: break;
    }
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    for (SDL_Scancode code : KeyTables().byVk[virtualKey]) {
        if (code < count && state[code]) return true;
    }
    return false;
}

void SdlWindowSystem::GetKeysDown(bool (&down)[256]) {
    for (bool& key : down) key = false;
    if (!m_started) return;
    // One look at SDL's state for all keys: the loop of IsKeyDown asked it 256 times a frame.
    const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    down[1] = (buttons & SDL_BUTTON_LMASK) != 0;
    down[2] = (buttons & SDL_BUTTON_RMASK) != 0;
    down[4] = (buttons & SDL_BUTTON_MMASK) != 0;
    down[5] = (buttons & SDL_BUTTON_X1MASK) != 0;
    down[6] = (buttons & SDL_BUTTON_X2MASK) != 0;
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    const SKeyTables& tables = KeyTables();
    for (int key = 3; key < 256; ++key) {
        if (key >= 4 && key <= 6) continue;
        for (SDL_Scancode code : tables.byVk[key]) {
            if (code < count && state[code]) {
                down[key] = true;
                break;
            }
        }
    }
}

void SdlWindowSystem::TakeKeyPresses(std::vector<SKeyPress>& presses) {
    presses.swap(m_presses);
    m_presses.clear();
}

void SdlWindowSystem::NotePress(int scancode, WindowHandle window) {
    if (scancode <= 0 || scancode >= SDL_NUM_SCANCODES) return;
    for (int vk : KeyTables().vksByScancode[scancode]) {
        SKeyPress press;
        press.key = vk;
        press.window = window;
        NotePress(press);
    }
}

void SdlWindowSystem::NotePress(const SKeyPress& press) {
    // Bounded for a program that takes events but no presses.
    constexpr size_t kMaxKept = 1024;
    if (m_presses.size() < kMaxKept) m_presses.push_back(press);
}

void SdlWindowSystem::GetClientMousePoint(WindowHandle window, int& x, int& y) {
    x = y = 0;
    SDL_Window* w = Win(window);
    if (!w) return;
    if (SDL_GetMouseFocus() == w) {
        SDL_GetMouseState(&x, &y);
        return;
    }
    int gx = 0, gy = 0, wx = 0, wy = 0;
    SDL_GetGlobalMouseState(&gx, &gy);
    SDL_GetWindowPosition(w, &wx, &wy);
    x = gx - wx;
    y = gy - wy;
}

bool SdlWindowSystem::HasKeyboardFocus(WindowHandle window) {
    SDL_Window* w = Win(window);
    if (!w) return false;
    // Without a display no other application can be in front, and the dummy driver
    // never gives a window the focus.
    if (!HasDisplay()) return true;
    return SDL_GetKeyboardFocus() == w;
}

void SdlWindowSystem::PresentPixels(WindowHandle window, const uint32_t* pixels, int width, int height,
                                    int pitchBytes) {
    SDL_Window* w = Win(window);
    if (!w || !pixels || width <= 0 || height <= 0) return;
    SDL_Surface* target = SDL_GetWindowSurface(w);
    if (!target) return;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), width, height, 32,
                                                             pitchBytes, SDL_PIXELFORMAT_RGB888);
    if (!source) return;
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(w);
}

void* SdlWindowSystem::GetNativeWindow(WindowHandle window) { return Win(window); }

void SdlWindowSystem::StartTextInput() {
    if (!m_started) return;
    m_textInput = true;
    SDL_StartTextInput();
}

void SdlWindowSystem::StartCandidateTextInput() {
    if (!m_started) return;
    m_textInput = true;
    if (!m_inputMethod.Start(SDL_GetKeyboardFocus() != nullptr)) {
        SDL_StartTextInput();
        return;
    }
    // SDL's text input would hand the keys to SDL's own input context.
    SDL_StopTextInput();
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

void SdlWindowSystem::StopTextInput() {
    if (!m_started) return;
    m_textInput = false;
    if (m_inputMethod.Owns()) {
        m_inputMethod.Stop();
        SDL_EventState(SDL_SYSWMEVENT, SDL_DISABLE);
    }
    SDL_StopTextInput();
}

void SdlWindowSystem::ReturnToSdlTextInput() {
    SDL_EventState(SDL_SYSWMEVENT, SDL_DISABLE);
    if (m_textInput) SDL_StartTextInput();
}

void SdlWindowSystem::OfferKeyToInputMethod(const SDL_SysWMmsg* message) {
    if (!message || !m_inputMethod.Owns()) return;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (message->subsystem != SDL_SYSWM_X11) return;
    XEvent event = message->msg.x11.event;
    if (event.type == FocusIn && event.xfocus.mode != NotifyGrab && event.xfocus.mode != NotifyUngrab &&
        event.xfocus.detail != NotifyInferior) {
        // SDL hands its own context the input method's focus on every such event, also when the
        // window kept the keyboard and no focus event comes of it: ours asks after it.
        m_inputMethod.FocusChanged(true);
        return;
    }
    if (event.type != KeyPress && event.type != KeyRelease) return;
    KeySym keysym = NoSymbol;
    char latin1[32];
    XLookupString(&event.xkey, latin1, sizeof latin1, &keysym, nullptr);
    SInputMethodKey key;
    key.keysym = static_cast<uint32_t>(keysym);
    key.keycode = event.xkey.keycode;
    key.state = event.xkey.state;
    key.release = event.type == KeyRelease;
    m_keyOffered = true;
    m_keyTaken = m_inputMethod.Key(key);
    m_keyText.clear();
    // What SDL's text input would have typed: nothing with Control or Alt held.
    if (!m_keyTaken && !key.release && (key.state & (ControlMask | Mod1Mask)) == 0)
        m_keyText = TextOfKeysym(key.keysym);
#endif
}

void SdlWindowSystem::SetTextInputRect(int x, int y, int width, int height) {
    if (!m_started) return;
    SDL_Rect rect{x, y, width, height};
    SDL_SetTextInputRect(&rect);
    m_inputMethod.SetCursorRect(x, y, width, height);
}

std::shared_ptr<IWindowSystem> CreateSystemWindowSystem() { return std::make_shared<SdlWindowSystem>(); }

}  // namespace kestrin
