#pragma once
// Frame pacing in 1/1024 ms units, so that a period of 16.67 ms keeps its fraction
// from frame to frame. A late frame asks the loop to leave out its draw.
#include <cstdint>

namespace kestrin {

class CTimer;

class CFps {
public:
    // 0 means 60 frames per second.
    explicit CFps(unsigned fps);
    virtual ~CFps();

    // Once per frame before the update: sleeps until the frame's deadline or flags it late.
    void Wait();
    bool IsSkipFrame() const { return m_skipFrame; }
    void SetNoWait(bool noWait) { m_noWait = noWait; }
    bool IsNoWait() const { return m_noWait; }
    // The frame clock: the millisecond reading of the last wait.
    uint32_t GetTime() const { return m_lastClockMs; }
    // Reads the timer, keeps the milliseconds and returns them in 1/1024 ms (mod 2^32).
    uint32_t ReadClock();
    // After the loop waited for events: the next frame runs at once and starts a new schedule.
    void Restart() { SetFps(m_fps); }
    // A non-zero rate replaces the stored one; the schedule starts again.
    void SetFps(unsigned fps);

    unsigned GetFps() const { return m_fps; }
    int GetPeriod() const { return m_period; }
    int GetCarry() const { return m_carry; }
    uint32_t GetLastTick() const { return m_lastTick; }

private:
    CTimer* m_timer;
    unsigned m_fps;
    int m_period;
    uint32_t m_lastClockMs;
    uint32_t m_lastTick;
    int m_carry;
    bool m_skipFrame;
    bool m_noWait;
};

}  // namespace kestrin
