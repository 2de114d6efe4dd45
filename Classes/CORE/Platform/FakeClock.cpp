#include "CORE/Platform/FakeClock.h"

namespace kestrin {

uint32_t FakeClock::GetMilliseconds() {
    if (m_onRead) m_onRead(*this);
    return m_now;
}

void FakeClock::Sleep(uint32_t milliseconds) {
    m_sleeps.push_back(milliseconds);
    m_now += milliseconds + m_overshoot;
}

}  // namespace kestrin
