#pragma once
// A virtual clock for tests and the deterministic harness: time moves only when
// the test advances it or the engine sleeps.
#include <functional>
#include <vector>

#include "CORE/Platform/IClock.h"

namespace kestrin {

class HeadlessClock : public IClock {
public:
    // Starts at 1 ms, as the monotonic clock does.
    explicit HeadlessClock(uint32_t startMs = 1) : m_now(startMs) {}

    uint32_t GetMilliseconds() override;
    void Sleep(uint32_t milliseconds) override;
    // The set date; once the wall clock is started, the local time of GetUnixTime (TZ).
    void GetLocalDateTime(SLocalDateTime& out) override;
    // 0 until the wall clock is started, then its start plus the whole seconds gone since.
    int64_t GetUnixTime() override;

    void Advance(uint32_t milliseconds) { m_now += milliseconds; }
    void SetTime(uint32_t milliseconds) { m_now = milliseconds; }
    uint32_t Now() const { return m_now; }
    // Stops the wall clock.
    void SetLocalDateTime(const SLocalDateTime& date) {
        m_date = date;
        m_wallClock = false;
    }
    // Starts the wall clock at seconds since 1970, now; it runs with the virtual time.
    void SetUnixTime(int64_t seconds) {
        m_unixStart = seconds;
        m_unixStartMs = m_now;
        m_wallClock = true;
    }
    // Each sleep lasts this much longer than asked (a busy machine).
    void SetSleepOvershoot(uint32_t milliseconds) { m_overshoot = milliseconds; }
    // Called on every clock reading, before it is taken (e.g. to simulate work).
    void SetOnRead(std::function<void(HeadlessClock&)> onRead) { m_onRead = std::move(onRead); }
    const std::vector<uint32_t>& Sleeps() const { return m_sleeps; }
    void ClearSleeps() { m_sleeps.clear(); }

private:
    uint32_t m_now;
    uint32_t m_overshoot = 0;
    SLocalDateTime m_date;
    bool m_wallClock = false;
    int64_t m_unixStart = 0;
    uint32_t m_unixStartMs = 0;
    std::vector<uint32_t> m_sleeps;
    std::function<void(HeadlessClock&)> m_onRead;
};

}  // namespace kestrin
