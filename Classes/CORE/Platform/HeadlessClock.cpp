#include "CORE/Platform/HeadlessClock.h"

#include <ctime>

namespace kestrin {

uint32_t HeadlessClock::GetMilliseconds() {
    if (m_onRead) m_onRead(*this);
    return m_now;
}

void HeadlessClock::Sleep(uint32_t milliseconds) {
    m_sleeps.push_back(milliseconds);
    m_now += milliseconds + m_overshoot;
}

int64_t HeadlessClock::GetUnixTime() {
    if (!m_wallClock) return 0;
    return m_unixStart + static_cast<int64_t>(static_cast<uint32_t>(m_now - m_unixStartMs) / 1000u);
}

void HeadlessClock::GetLocalDateTime(SLocalDateTime& out) {
    if (!m_wallClock) {
        out = m_date;
        return;
    }
    const time_t now = static_cast<time_t>(GetUnixTime());
    tm local{};
    if (!localtime_r(&now, &local)) return;
    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.day = local.tm_mday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec;
}

}  // namespace kestrin
