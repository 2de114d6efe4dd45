#pragma once
// The process-wide millisecond clock. It reads the clock service chosen at start-up
// (the monotonic clock, or a virtual clock in tests and the harness).
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

    virtual ~CTimer();

    // Milliseconds since start, wrapping at 2^32.
    uint32_t GetTime();

private:
    CTimer() = default;
};

}  // namespace kestrin
