#pragma once
// Sleeping and the local calendar time, through the clock service of CTimer.
#include <cstdint>

namespace kestrin {

void SleepMilliseconds(uint32_t milliseconds);
void GetLocalDateTime(int& year, int& month, int& day, int& hour, int& minute, int& second);

}  // namespace kestrin
