// The billing period: a month of the bill that starts on a day of the user's choosing, 1 to 28 (1: the calendar month).
#pragma once
#include <cstdint>
#include "core/state.h"
// The period containing `when`, numbered 12 × year + (month − 1) of the calendar month in which that period starts.
int32_t periodOf(const SystemTime& when, int startDay);
// The period's first day, at 00:00:00.000.
SystemTime periodFirstDay(int32_t period, int startDay);
// The period's last day, at 23:59:59.999 (the day before the next period's first day).
SystemTime periodLastDay(int32_t period, int startDay);
