#pragma once
// The engine's message queue: window-system events become the window messages
// (numbered as on Windows, which scripts and hooks know) and posted messages wait
// here until the main loop dispatches them to their window.
#include <cstdint>
#include <memory>

#include "CORE/Platform/IWindowSystem.h"

namespace kestrin {

// Message numbers.
constexpr uint32_t kWmDestroy = 0x0002;
constexpr uint32_t kWmSize = 0x0005;
constexpr uint32_t kWmSetFocus = 0x0007;
constexpr uint32_t kWmKillFocus = 0x0008;
constexpr uint32_t kWmPaint = 0x000F;
constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmQuit = 0x0012;
constexpr uint32_t kWmMove = 0x0003;
constexpr uint32_t kWmKeyDown = 0x0100;
constexpr uint32_t kWmKeyUp = 0x0101;
constexpr uint32_t kWmSysKeyDown = 0x0104;
constexpr uint32_t kWmSysKeyUp = 0x0105;
constexpr uint32_t kWmMouseMove = 0x0200;
constexpr uint32_t kWmLButtonDown = 0x0201;
constexpr uint32_t kWmLButtonUp = 0x0202;
constexpr uint32_t kWmRButtonDown = 0x0204;
constexpr uint32_t kWmRButtonUp = 0x0205;
constexpr uint32_t kWmMButtonDown = 0x0207;
constexpr uint32_t kWmMButtonUp = 0x0208;
constexpr uint32_t kWmMouseWheel = 0x020A;
constexpr uint32_t kWmSizing = 0x0214;
// Text input: WM_CHAR carries one character byte (8 backspace, 13 Enter); the input-method
// messages read their texts from CImeContext.
constexpr uint32_t kWmChar = 0x0102;
constexpr uint32_t kWmImeStartComposition = 0x010D;
constexpr uint32_t kWmImeEndComposition = 0x010E;
constexpr uint32_t kWmImeComposition = 0x010F;
constexpr uint32_t kWmImeSetContext = 0x0281;
constexpr uint32_t kWmImeNotify = 0x0282;
// WM_IME_COMPOSITION lParam bits; with the result bit, wParam is the result's serial.
constexpr intptr_t kGcsCompStr = 0x0008;
constexpr intptr_t kGcsResultStr = 0x0800;
// WM_IME_NOTIFY wParam.
constexpr uintptr_t kImnChangeCandidate = 3;
constexpr uintptr_t kImnCloseCandidate = 4;
constexpr uintptr_t kImnOpenCandidate = 5;
constexpr uintptr_t kImnSetOpenStatus = 8;

// WM_SIZE kinds.
constexpr uintptr_t kSizeRestored = 0;
constexpr uintptr_t kSizeMinimized = 1;
constexpr uintptr_t kSizeMaximized = 2;

// WM_SIZING edges.
constexpr int kWmszLeft = 1;
constexpr int kWmszRight = 2;
constexpr int kWmszTop = 3;
constexpr int kWmszTopLeft = 4;
constexpr int kWmszTopRight = 5;
constexpr int kWmszBottom = 6;
constexpr int kWmszBottomLeft = 7;
constexpr int kWmszBottomRight = 8;

constexpr int kWheelDelta = 120;
// A wheel step back as the high word of a wheel message carries it: -kWheelDelta in 16 bits.
constexpr int kWheelDeltaBack = static_cast<int>(static_cast<uint16_t>(-kWheelDelta));
// Virtual-key numbers the engine's own windows and fields react to.
constexpr int kVkBack = 8;
constexpr int kVkReturn = 13;
constexpr int kVkShift = 16;
constexpr int kVkEnd = 35;
constexpr int kVkHome = 36;
constexpr int kVkLeft = 37;
constexpr int kVkRight = 39;
constexpr int kVkDelete = 46;
constexpr int kVkF4 = 115;
constexpr int kVkF5 = 116;

// Outer window rectangle, right and bottom exclusive; WM_SIZING's lParam points to one.
struct SWindowRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const SWindowRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

struct SMessage {
    WindowHandle window = 0;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

inline intptr_t MakeLParam(int low, int high) {
    return static_cast<intptr_t>((static_cast<uint32_t>(low) & 0xFFFFu) |
                                 ((static_cast<uint32_t>(high) & 0xFFFFu) << 16));
}
inline int LowWord(intptr_t value) { return static_cast<int>(static_cast<uint32_t>(value) & 0xFFFFu); }
inline int HighWord(intptr_t value) { return static_cast<int>((static_cast<uint32_t>(value) >> 16) & 0xFFFFu); }

// The window system chosen at start-up (SDL unless a test installs another).
IWindowSystem& GetWindowSystem();
void SetWindowSystem(std::shared_ptr<IWindowSystem> system);

void PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// WM_QUIT is delivered once the messages posted before it are taken.
void PostQuitMessage(int exitCode);
// Calls the window's procedure at once.
intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Turns every pending window-system event into messages.
void PumpWindowEvents();
// True when the program is asked to close: a close signal (taken and posted as the close of
// the main window, as PumpWindowEvents does), a close or quit already posted, or a quit or
// main-window close event of the window system. Those events, and every other one, stay
// queued for the main loop: for work that holds the frame and must give way to a close.
bool IsCloseRequested();
// Waits until the window system has an event or ms milliseconds passed; returns at once when a
// message is already waiting. False when the window system cannot wait (the caller sleeps).
bool WaitWindowEvents(uint32_t ms);
// Takes the next message; false when none is waiting.
bool PeekWindowMessage(SMessage& out);
void DispatchWindowMessage(const SMessage& message);
// Forgets every waiting message and a pending quit (between runs and tests).
void ClearWindowMessages();

}  // namespace kestrin
