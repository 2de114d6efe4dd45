#pragma once
// CLOCK_MONOTONIC milliseconds since construction, nanosleep, localtime_r, time.
#include "CORE/Platform/IClock.h"

namespace kestrin {

class PosixClock : public IClock {
public:
    PosixClock();
    uint32_t GetMilliseconds() override;
    void Sleep(uint32_t milliseconds) override;
    void GetLocalDateTime(SLocalDateTime& out) override;
    int64_t GetUnixTime() override;

private:
    uint64_t m_startNs;
};

}  // namespace kestrin
