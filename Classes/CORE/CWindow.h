#pragma once
// One top-level window of the window system. Every message goes first to the
// object's OnMessage, then to its message hooks in id order, then to the default
// handling.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>

#include "CORE/WindowMessages.h"

namespace kestrin {

// Window style bits, as the configuration and the start-up code speak of them.
constexpr uint32_t kWsPopup = 0x80000000u;
constexpr uint32_t kWsClipChildren = 0x02000000u;
constexpr uint32_t kWsCaption = 0x00C00000u;
constexpr uint32_t kWsSysMenu = 0x00080000u;
constexpr uint32_t kWsThickFrame = 0x00040000u;
constexpr uint32_t kWsMinimizeBox = 0x00020000u;
constexpr uint32_t kWsMaximizeBox = 0x00010000u;
constexpr uint32_t kWsOverlappedWindow = 0x00CF0000u;
constexpr uint32_t kWsFixedFrame = 0x00CA0000u;  // caption, system menu, minimise box

// Show commands.
constexpr int kSwHide = 0;
constexpr int kSwShowNormal = 1;
constexpr int kSwShowNoActivate = 4;
constexpr int kSwShow = 5;
constexpr int kSwShowNa = 8;

// x or y of this value centres the window on the desktop.
constexpr int kCentred = 0x7FFFFFFF;

class CWindow {
public:
    // (window, message, wParam, lParam, result) -> true to go on.
    using MessageHook = std::function<bool(WindowHandle, uint32_t, uintptr_t, intptr_t, intptr_t*)>;

    CWindow();
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;
    virtual ~CWindow();

    // True on failure.
    virtual bool Create(int x, int y, int width, int height, const char* className, const char* title, uint32_t style,
                        int showCommand, WindowHandle parent);
    virtual void Reposition(int x, int y, int width, int height, uint32_t style);
    // Safe on a window that was never created.
    virtual void Destroy();

    virtual int GetX() const { return m_x; }
    virtual int GetY() const { return m_y; }
    virtual int GetWidth() const { return m_width; }
    virtual int GetHeight() const { return m_height; }
    virtual float GetAspectRatio() const { return m_aspectRatio; }
    virtual const std::string& GetWindowClassName() const { return m_className; }
    virtual uint32_t GetStyle() const { return m_style; }
    virtual int GetShowCommand() const { return m_showCommand; }
    virtual WindowHandle GetParent() const { return m_parent; }
    virtual int GetDesktopWidth() const { return m_desktopWidth; }
    virtual int GetDesktopHeight() const { return m_desktopHeight; }
    virtual WindowHandle GetHandle() const { return m_handle; }

    virtual void AddMessageHook(int id, MessageHook hook);
    virtual int RemoveMessageHook(int id);
    // Returns true to let the message go on to the hooks and the default handling.
    virtual bool OnMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result);

    // The title, in the game's text encoding.
    void SetTitle(const std::string& title);
    int GetFrameExtraWidth() const { return m_frameExtraWidth; }
    int GetFrameExtraHeight() const { return m_frameExtraHeight; }
    // The outer rectangle as last seen (before the resize being handled).
    const SWindowRect& GetWindowRect() const { return m_windowRect; }
    void NoteWindowRect(const SWindowRect& rect) { m_windowRect = rect; }
    // The client size as last reported by the window system.
    int GetClientWidth() const { return m_clientWidth; }
    int GetClientHeight() const { return m_clientHeight; }
    void NoteClientSize(int width, int height) {
        m_clientWidth = width;
        m_clientHeight = height;
    }

    // The procedure every window's messages go through.
    static intptr_t WindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
    static CWindow* FromHandle(WindowHandle window);
    // Top-level windows in creation order; the first is the main window.
    static const std::deque<CWindow*>& GetTopLevelWindows();
    static CWindow* GetMainWindow();

protected:
    // For tool windows that must not count as the main window.
    void LeaveTopLevelList();

    int m_x = 0;
    int m_y = 0;
    int m_width = 0;
    int m_height = 0;
    float m_aspectRatio = 1.0f;
    std::string m_className;
    uint32_t m_style = 0;
    int m_showCommand = 0;
    WindowHandle m_parent = 0;
    int m_desktopWidth = 0;
    int m_desktopHeight = 0;
    int m_frameExtraWidth = 0;
    int m_frameExtraHeight = 0;
    WindowHandle m_handle = 0;
    std::map<int, MessageHook> m_hooks;
    SWindowRect m_windowRect;
    int m_clientWidth = 0;
    int m_clientHeight = 0;
};

// Frameless when the popup bit is set without a caption; resizable with a sizing frame.
bool IsFramelessStyle(uint32_t style);
bool IsResizableStyle(uint32_t style);

// The first top-level window (the game window), or null when there is none.
inline CWindow* GetFrontWindow() { return CWindow::GetMainWindow(); }

}  // namespace kestrin
