#pragma once
// Keyboard and mouse buttons sampled once a frame into a small state machine per key
// (pressed this frame, held, auto-repeating, released this frame), two wheel pseudo
// keys, and the mouse in client and in game pixels. Keys are Windows virtual-key
// numbers 0-255; 136 and 137 are one wheel notch forward and back.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "CORE/CPoint.h"
#include "CORE/Platform/IWindowSystem.h"

namespace kestrin {

class CInput {
public:
    enum : int { kUp = 0, kPressed = 1, kHeld = 2, kRepeating = 3, kReleased = 4 };
    enum : int { kWheelUpKey = 136, kWheelDownKey = 137 };
    enum : int { kMaxPendingPresses = 16 };

    // Creates the instance for the game window on the first call; later calls return it.
    static CInput* CreateInstance(WindowHandle window);
    static CInput* GetInstance();
    static void ReleaseInstance();

    virtual ~CInput();

    // The per-frame poll, with the frame clock in milliseconds. Every press counts: one that is
    // up again by now is pressed in this frame and released in the next, and presses quicker
    // than the frames wait their turn (at most kMaxPendingPresses a key), one a frame, each
    // released before the next. A click already released reads the mouse point it was made at.
    void Update(uint32_t now);
    // Sets key 136 (up) or 137 to "pressed" until a query consumes it; returns the key.
    int PushWheel(bool up);

    bool IsDownEdge(int key);
    bool IsDown(int key);
    bool IsPush(int key);
    bool IsUpEdge(int key);
    bool IsDecide(int key) { return IsDownEdge(key); }

    // True while the game window has the keyboard focus.
    bool IsActive();
    const CPoint& GetClientMousePoint();
    const CPoint& GetMousePoint();
    // The right and bottom edges of the client area count as inside.
    bool IsMouseInClient();
    // Client-to-game mapping, set by the screen while the window is scaled or letterboxed.
    void SetScale(float scale);
    void SetOffset(float x, float y);

    int GetKeyState(int key) const { return key >= 0 && key < 256 ? m_state[key] : kUp; }
    int GetRepeatDelay() const { return m_repeatDelay; }
    // Presses taken from the window system that no poll has handed out yet.
    size_t GetPendingPresses() const { return m_pending.size(); }

private:
    explicit CInput(WindowHandle window);
    struct SPendingPress {
        int key;
        bool hasPoint;
        int x, y;
    };

    bool Query(int key, int mask);
    void RefreshMousePoint();
    void SetClientMousePoint(int x, int y);
    void TakePresses();
    bool TakePending(int key, int& state, uint32_t now, bool down);

    int m_repeatDelay;
    int m_state[256];
    // Every key's state was kUp after the last poll (the wheel's aside).
    bool m_allUp = true;
    uint32_t m_pressTime[256];
    bool m_mouseFresh;
    CPoint m_mousePoint;
    CPoint m_clientMousePoint;
    float m_scale;
    float m_offsetX;
    float m_offsetY;
    WindowHandle m_foregroundWindow;
    WindowHandle m_clientWindow;
    std::deque<SPendingPress> m_pending;  // oldest first
    std::vector<SKeyPress> m_taken;       // reused by each poll
    bool m_seenDown[256];                 // pressed by the last poll with no press taken
    bool m_anySeenDown = false;           // some m_seenDown is set (an idle poll skips them)
};

}  // namespace kestrin
