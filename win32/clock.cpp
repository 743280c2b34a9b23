// The clock as the accounting heart sees it: C library calendar time and the system's local time.
#include <windows.h>

#include <ctime>

#include "core/clock.h"

// msvcrt's 64-bit forms on both builds: the i686 build's time() and localtime() are 32 bits wide and run out on
// 19 January 2038, after which a connection's duration would freeze and every tariff fall back to Monday 00:00.
int64_t calendarNow() { return _time64(nullptr); }

SystemTime localSystemTime()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return SystemTime{now.wYear, now.wMonth, now.wDayOfWeek, now.wDay,
                      now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
}

LocalMoment localMomentOf(int64_t calendarTime)
{
    const __time64_t when = calendarTime;
    const std::tm* local = _localtime64(&when);
    if (local == nullptr)
        return LocalMoment{1, 0, 0, 0};
    return LocalMoment{local->tm_wday, local->tm_hour, local->tm_min, local->tm_sec};
}
