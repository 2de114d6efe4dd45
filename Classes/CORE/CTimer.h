#pragma once
// The process-wide millisecond clocks. The frame clock reads the clock service chosen at
// start-up (the monotonic clock, or a virtual clock in tests and the harness). The wall
// clock is always the monotonic clock unless a test installs another: limits on real time
// (how long a Lua call may run, how long a request may stall) read it, so that they hold
// in the harness too, whose virtual frames run far faster than real time.
#include <cstdint>
#include <memory>

namespace kestrin {

class IClock;

class CTimer {
public:
    static CTimer* GetInstance();
    // Deletes the instance; a second call does nothing.
    static void ReleaseInstance();

    // Chooses the clock service; null goes back to the monotonic clock.
    static void SetClock(std::shared_ptr<IClock> clock);
    static IClock& GetClock();
    // Chooses the wall clock service; null goes back to the monotonic clock.
    static void SetWallClock(std::shared_ptr<IClock> clock);
    static IClock& GetWallClock();

    virtual ~CTimer();

    // Milliseconds since start, wrapping at 2^32.
    uint32_t GetTime();
    // Milliseconds of the wall clock, wrapping at 2^32.
    uint32_t GetWallTime();

private:
    CTimer() = default;
};

}  // namespace kestrin
