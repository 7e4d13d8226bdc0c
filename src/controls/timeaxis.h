#pragma once

#include "controls/chartctrl.h"

// Ticks for a time axis, whose values are seconds since 1970 holding
// wall-clock times read as UTC (so that no clock change folds two together):
// at whole calendar units inside [low, high], the finest of 1, 5, 10, 15 or
// 30 minutes, 1, 2, 3, 6 or 12 hours, 1, 2, 5, 10 or 15 days, 1, 2, 3 or 6
// months, or 1, 2, 5, 10 ... years that puts at most `maxTicks` ticks there.
// Minutes and hours count from midnight, days from the 1st of the month,
// months from January. The step is the unit's length in seconds, a month
// counting 30 days and a year 365.
AxisTicks CalendarTicks(double low, double high, int maxTicks);
