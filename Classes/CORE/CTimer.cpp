#include "CORE/CTimer.h"

#include "CORE/Platform/IClock.h"

namespace kestrin {

namespace {
CTimer* g_timer = nullptr;
std::shared_ptr<IClock>& Clock() {
    static std::shared_ptr<IClock> clock;
    return clock;
}
std::shared_ptr<IClock>& WallClock() {
    static std::shared_ptr<IClock> clock;
    return clock;
}
// The monotonic clock used while none is set: kept apart from the set one, so that what was
// in use before a set was installed lives on while the set refers to it.
IClock& DefaultClock() {
    static const std::shared_ptr<IClock> clock = CreateSystemClock();
    return *clock;
}
IClock& DefaultWallClock() {
    static const std::shared_ptr<IClock> clock = CreateSystemClock();
    return *clock;
}
}  // namespace

CTimer* CTimer::GetInstance() {
    if (!g_timer) g_timer = new CTimer();
    return g_timer;
}

void CTimer::ReleaseInstance() {
    delete g_timer;
    g_timer = nullptr;
}

void CTimer::SetClock(std::shared_ptr<IClock> clock) { Clock() = std::move(clock); }

IClock& CTimer::GetClock() { return Clock() ? *Clock() : DefaultClock(); }

void CTimer::SetWallClock(std::shared_ptr<IClock> clock) { WallClock() = std::move(clock); }

IClock& CTimer::GetWallClock() { return WallClock() ? *WallClock() : DefaultWallClock(); }

CTimer::~CTimer() = default;

uint32_t CTimer::GetTime() { return GetClock().GetMilliseconds(); }

uint32_t CTimer::GetWallTime() { return GetWallClock().GetMilliseconds(); }

}  // namespace kestrin
