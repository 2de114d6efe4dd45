#include "CORE/Platform/PosixClock.h"

#include <cerrno>
#include <ctime>

namespace kestrin {

namespace {
uint64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}
}  // namespace

// The clock starts at 1 ms: the frame pacer reads a tick of 0 as "not started yet",
// which would leave the first millisecond of frames unpaced.
PosixClock::PosixClock() : m_startNs(MonotonicNs() - 1000000ull) {}

uint32_t PosixClock::GetMilliseconds() { return static_cast<uint32_t>((MonotonicNs() - m_startNs) / 1000000ull); }

void PosixClock::Sleep(uint32_t milliseconds) {
    timespec req{};
    req.tv_sec = static_cast<time_t>(milliseconds / 1000u);
    req.tv_nsec = static_cast<long>(milliseconds % 1000u) * 1000000L;
    timespec rem{};
    // A signal (SIGINT/SIGTERM become a close request) must not cut the frame short.
    while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
}

void PosixClock::GetLocalDateTime(SLocalDateTime& out) {
    time_t now = time(nullptr);
    tm local{};
    if (!localtime_r(&now, &local)) return;
    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.day = local.tm_mday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec;
}

int64_t PosixClock::GetUnixTime() { return static_cast<int64_t>(time(nullptr)); }

std::shared_ptr<IClock> CreateSystemClock() { return std::make_shared<PosixClock>(); }

}  // namespace kestrin
