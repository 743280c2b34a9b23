// The clock the heart reads: calendar seconds, the local time and its breakdown. win32/clock.cpp is the real one.
#pragma once

#include <cstdint>

#include "core/state.h"

int64_t calendarNow();         // seconds since 1970, 64 bits wide: 32 run out in January 2038
SystemTime localSystemTime();  // the present local time, as GetLocalTime
struct LocalMoment {
    int weekday; // 0 = Sunday ... 6 = Saturday
    int hour;    // 0 to 23
    int minute;  // 0 to 59
    int second;  // 0 to 60
};
LocalMoment localMomentOf(int64_t calendarTime); // local breakdown, as localtime()
