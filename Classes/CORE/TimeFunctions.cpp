#include "CORE/TimeFunctions.h"

#include "CORE/CTimer.h"
#include "CORE/Platform/IClock.h"

namespace kestrin {

void SleepMilliseconds(uint32_t milliseconds) { CTimer::GetClock().Sleep(milliseconds); }

void GetLocalDateTime(int& year, int& month, int& day, int& hour, int& minute, int& second) {
    SLocalDateTime t;
    CTimer::GetClock().GetLocalDateTime(t);
    year = t.year;
    month = t.month;
    day = t.day;
    hour = t.hour;
    minute = t.minute;
    second = t.second;
}

}  // namespace kestrin
