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

IClock& CTimer::GetClock() {
    if (!Clock()) Clock() = CreateSystemClock();
    return *Clock();
}

void CTimer::SetWallClock(std::shared_ptr<IClock> clock) { WallClock() = std::move(clock); }

CTimer::~CTimer() = default;

uint32_t CTimer::GetTime() { return GetClock().GetMilliseconds(); }

uint32_t CTimer::GetWallTime() {
    if (!WallClock()) WallClock() = CreateSystemClock();
    return WallClock()->GetMilliseconds();
}

}  // namespace kestrin
