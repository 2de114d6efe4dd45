#include "CORE/CInput.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "CORE/CFrameDemand.h"
#include "CORE/WindowMessages.h"

namespace kestrin {

namespace {
CInput* g_input = nullptr;

int RoundToPixel(float value) {
    const float r = std::floor(value + 0.5f);
    if (!(r > -1.0e9f)) return r != r ? 0 : -1000000000;  // NaN or far left
    if (r > 1.0e9f) return 1000000000;
    return static_cast<int>(r);
}

constexpr int Bit(int state) { return 1 << state; }
}  // namespace

CInput* CInput::CreateInstance(WindowHandle window) {
    if (!g_input) g_input = new CInput(window);
    return g_input;
}

CInput* CInput::GetInstance() { return g_input; }

void CInput::ReleaseInstance() {
    delete g_input;
    g_input = nullptr;
}

CInput::CInput(WindowHandle window)
    : m_repeatDelay(500),
      m_state(),
      m_pressTime(),
      m_mouseFresh(false),
      m_scale(1.0f),
      m_offsetX(0.0f),
      m_offsetY(0.0f),
      m_foregroundWindow(window),
      m_clientWindow(window),
      m_seenDown() {}

CInput::~CInput() = default;

void CInput::TakePresses() {
    GetWindowSystem().TakeKeyPresses(m_taken);
    // The common frame: no press and nothing to forget.
    if (m_taken.empty() && !m_anySeenDown) return;
    bool seen[256];
    std::copy(std::begin(m_seenDown), std::end(m_seenDown), std::begin(seen));
    std::fill(std::begin(m_seenDown), std::end(m_seenDown), false);
    m_anySeenDown = false;
    for (const SKeyPress& press : m_taken) {
        if (press.key < 0 || press.key > 255 || press.key == kWheelUpKey || press.key == kWheelDownKey) continue;
        // The last poll already counted this press from the key's state.
        if (seen[press.key]) {
            seen[press.key] = false;
            continue;
        }
        // A click in another window of the program (the log) is not one in the game.
        if (press.window != 0 && press.window != m_clientWindow) continue;
        const auto waiting = std::count_if(m_pending.begin(), m_pending.end(),
                                           [&](const SPendingPress& p) { return p.key == press.key; });
        if (waiting >= kMaxPendingPresses) continue;
        m_pending.push_back(SPendingPress{press.key, press.hasPoint, press.x, press.y});
    }
}

// Hands out the oldest press of key still waiting, if any: true when it decided the key's
// state for this frame.
bool CInput::TakePending(int key, int& state, uint32_t now, bool down) {
    auto pending =
        std::find_if(m_pending.begin(), m_pending.end(), [key](const SPendingPress& p) { return p.key == key; });
    if (pending == m_pending.end()) return false;
    if (state == kUp || state == kReleased) {
        // The press, whether the key is still down or already up again (a quick click):
        // in the next frame it is held or released as the key is by then.
        state = kPressed;
        m_pressTime[key] = now;
        // A press released again (a later one waits, or the button is up) is read where it
        // was made; one still held reads the pointer as it is, as the drag it may start.
        const bool released = !down || std::any_of(std::next(pending), m_pending.end(),
                                                   [key](const SPendingPress& p) { return p.key == key; });
        if (pending->hasPoint && released) SetClientMousePoint(pending->x, pending->y);
        m_pending.erase(pending);
    } else {
        // A later press waits for this frame's release of the one before.
        state = kReleased;
    }
    return true;
}

void CInput::Update(uint32_t now) {
    bool down[256];
    GetWindowSystem().GetKeysDown(down);
    TakePresses();
    m_mouseFresh = false;
    bool pending = !m_pending.empty();
    // The idle frame: every key was up after the last poll and none is down or waiting now, so
    // no state changes (only Update raises a key's state).
    if (!pending && m_allUp && !std::memchr(down, true, sizeof down)) return;
    bool moving = pending;
    for (int key = 0; key < 256; ++key) {
        if (key == kWheelUpKey || key == kWheelDownKey) continue;
        int& state = m_state[key];
        if (pending && TakePending(key, state, now, down[key])) {
            pending = !m_pending.empty();
            continue;
        }
        // A key held, just pressed or just released changes state with time or the next frame.
        moving |= down[key] || state != kUp;
        if (down[key]) {
            if (state == kUp || state == kReleased) {
                state = kPressed;
                m_pressTime[key] = now;
                // Down without a press taken: the window system may have read its devices before
                // handing on the press event, so a press of this key in the next poll is this one.
                m_seenDown[key] = true;
                m_anySeenDown = true;
            } else {
                state = m_pressTime[key] + static_cast<uint32_t>(m_repeatDelay) < now ? kRepeating : kHeld;
            }
        } else {
            state = (state == kUp || state == kReleased) ? kUp : kReleased;
        }
    }
    m_allUp = !moving;
    if (moving) CFrameDemand::Now();
}

int CInput::PushWheel(bool up) {
    const int key = up ? kWheelUpKey : kWheelDownKey;
    m_state[key] = kPressed;
    return key;
}

bool CInput::Query(int key, int mask) {
    if (key < 0 || key > 255) return false;
    if (!IsActive()) return false;
    if ((key == 1 || key == 2) && !IsMouseInClient()) return false;
    // No button swap here: the X server already swaps the buttons for left-handed users.
    if ((Bit(m_state[key]) & mask) == 0) return false;
    if (key == kWheelUpKey || key == kWheelDownKey) {
        // A wheel notch answers once.
        if (mask != Bit(kReleased)) m_state[key] = kUp;
    }
    return true;
}

bool CInput::IsDownEdge(int key) { return Query(key, Bit(kPressed)); }

bool CInput::IsDown(int key) { return Query(key, Bit(kPressed) | Bit(kHeld) | Bit(kRepeating)); }

bool CInput::IsPush(int key) { return Query(key, Bit(kPressed) | Bit(kRepeating)); }

bool CInput::IsUpEdge(int key) { return Query(key, Bit(kReleased)); }

bool CInput::IsActive() { return m_foregroundWindow != 0 && GetWindowSystem().HasKeyboardFocus(m_foregroundWindow); }

void CInput::RefreshMousePoint() {
    if (m_mouseFresh) return;
    int x = 0, y = 0;
    GetWindowSystem().GetClientMousePoint(m_clientWindow, x, y);
    SetClientMousePoint(x, y);
}

// The point of this frame, until the next poll.
void CInput::SetClientMousePoint(int x, int y) {
    m_clientMousePoint = CPoint(x, y);
    m_mousePoint = CPoint(RoundToPixel((static_cast<float>(x) - m_offsetX) * m_scale),
                          RoundToPixel((static_cast<float>(y) - m_offsetY) * m_scale));
    m_mouseFresh = true;
}

const CPoint& CInput::GetClientMousePoint() {
    RefreshMousePoint();
    return m_clientMousePoint;
}

const CPoint& CInput::GetMousePoint() {
    RefreshMousePoint();
    return m_mousePoint;
}

bool CInput::IsMouseInClient() {
    RefreshMousePoint();
    int width = 0, height = 0;
    GetWindowSystem().GetClientSize(m_clientWindow, width, height);
    const int x = m_clientMousePoint.GetX();
    const int y = m_clientMousePoint.GetY();
    return x >= 0 && x <= width && y >= 0 && y <= height;
}

void CInput::SetScale(float scale) {
    // A minimised window has a zero client size: its scale (game size / 0) is not a scale.
    if (std::isfinite(scale) && scale > 0.0f) m_scale = scale;
}

void CInput::SetOffset(float x, float y) {
    if (std::isfinite(x)) m_offsetX = x;
    if (std::isfinite(y)) m_offsetY = y;
}

}  // namespace kestrin
