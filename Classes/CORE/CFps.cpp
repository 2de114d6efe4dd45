#include "CORE/CFps.h"

#include "CORE/CTimer.h"
#include "CORE/TimeFunctions.h"

namespace kestrin {

namespace {
constexpr uint32_t kTicksPerMs = 1024;
constexpr uint32_t kResyncGap = 1024000;  // one second in ticks
}  // namespace

CFps::CFps(unsigned fps)
    : m_timer(CTimer::GetInstance()),
      m_fps(fps == 0 ? 60 : fps),
      m_period(static_cast<int>(kResyncGap / m_fps)),
      m_lastClockMs(0),
      m_lastTick(0),
      m_carry(0),
      m_skipFrame(false),
      m_noWait(false) {}

CFps::~CFps() = default;

uint32_t CFps::ReadClock() {
    m_lastClockMs = m_timer->GetTime();
    return m_lastClockMs << 10;
}

void CFps::SetFps(unsigned fps) {
    if (fps != 0) m_fps = fps;
    m_period = static_cast<int>(kResyncGap / m_fps);
    m_lastTick = 0;
    m_carry = 0;
    m_skipFrame = false;
    m_noWait = false;
}

void CFps::Wait() {
    if (m_noWait) {
        ReadClock();
        m_lastTick = 0;
        m_skipFrame = false;
        return;
    }
    if (m_lastTick == 0) {
        m_lastTick = ReadClock();
        m_skipFrame = false;
        return;
    }
    const uint32_t now = ReadClock();
    const uint32_t elapsed = now - m_lastTick;
    if (elapsed >= kResyncGap) {
        // A stall (suspend, debugger) resynchronises instead of racing to catch up.
        SetFps(m_fps);
        m_lastTick = now;
        return;
    }
    const int remaining = static_cast<int>(static_cast<uint32_t>(m_period) - elapsed + static_cast<uint32_t>(m_carry));
    if (remaining < -static_cast<int>(kResyncGap)) {
        // Behind by more than a second: every draw would be left out for good and the
        // carry would grow without bound; start a new schedule instead.
        SetFps(m_fps);
        m_lastTick = now;
    } else if (remaining < 0) {
        m_lastTick = now;
        m_carry = remaining;
        m_skipFrame = true;
    } else if (remaining < static_cast<int>(kTicksPerMs)) {
        m_lastTick = now;
        m_carry = remaining;
        m_skipFrame = false;
    } else {
        SleepMilliseconds(static_cast<uint32_t>(remaining) >> 10);
        const uint32_t after = ReadClock();
        m_lastTick = after;
        m_carry = remaining - static_cast<int>(after - now);
        m_skipFrame = false;
    }
}

}  // namespace kestrin
