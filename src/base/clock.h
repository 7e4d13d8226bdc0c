#pragma once

#include <ctime>
#include <functional>

// Seconds since 1970 from the clock in force: the system clock, unless a test
// has set its own.
std::time_t CurrentTime();

// Replaces the clock for every caller; an empty function restores the system
// clock.
void SetClockForTesting(std::function<std::time_t()> clock);
