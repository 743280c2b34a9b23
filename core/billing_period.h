// The billing period: a month of the bill that starts on a day of the user's choosing, 1 to 28 (1: the calendar month).
#pragma once
#include <cstddef>
#include <cstdint>
#include "core/state.h"
// The period containing `when`, numbered 12 × year + (month − 1) of the calendar month in which that period starts.
int32_t periodOf(const SystemTime& when, int startDay);
// The period's first day, at 00:00:00.000.
SystemTime periodFirstDay(int32_t period, int startDay);
// The period's last day, at 23:59:59.999 (the day before the next period's first day).
SystemTime periodLastDay(int32_t period, int startDay);

// The start day the rules use: days outside 1 to 28 (a value never stored, or a damaged one) count as 1.
int usableStartDay(int startDay);
// The number of days in the period.
int periodDays(int32_t period, int startDay);
// Seconds from the period's first day at 00:00 to `when`, milliseconds included.
double secondsIntoPeriod(const SystemTime& when, int startDay);
// The month `when` counts in for the month rules (roll-over, filters, Clear): with the calendar month (start day 1)
// `when` itself, as those rules always took it; else a date carrying the year and month that number its period.
SystemTime countedMonth(const SystemTime& when, int startDay);
// "1st", "2nd", "3rd", "4th" ... "31st": a day of the month as the texts name it.
int formatDayOrdinal(int day, char* out, size_t size);
