// The clock as the accounting heart sees it: C library calendar time and the system's local time.
#include <windows.h>

#include <ctime>

#include "core/ports.h"

int32_t calendarNow() { return static_cast<int32_t>(std::time(nullptr)); }

SystemTime localSystemTime()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return SystemTime{now.wYear, now.wMonth, now.wDayOfWeek, now.wDay,
                      now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
}

LocalMoment localMomentOf(int32_t calendarTime)
{
    const std::time_t when = calendarTime;
    const std::tm* local = std::localtime(&when);
    if (local == nullptr)
        return LocalMoment{1, 0, 0, 0};
    return LocalMoment{local->tm_wday, local->tm_hour, local->tm_min, local->tm_sec};
}
