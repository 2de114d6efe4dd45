#pragma once
// The millisecond clock and sleep the engine paces its frames with, and the wall clock.
#include <cstdint>
#include <memory>

namespace kestrin {

struct SLocalDateTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds since the clock started; wraps at 2^32.
    virtual uint32_t GetMilliseconds() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
    virtual void GetLocalDateTime(SLocalDateTime& out) = 0;
    // Seconds since 1970-01-01 00:00 UTC.
    virtual int64_t GetUnixTime() = 0;
};

// The clock of the system the engine runs on.
std::shared_ptr<IClock> CreateSystemClock();

}  // namespace kestrin
