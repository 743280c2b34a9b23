// The clock as the accounting heart sees it: the system's time in 64 bits and its local breakdown.
#include <windows.h>

#include "core/clock.h"

namespace {

// 100-nanosecond units of the system's time, and its distance from 1970, where calendar seconds count from.
constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
// The last second a FILETIME converts: 0x7FFFFFFFFFFFFFFF units after 1601.
constexpr int64_t kLastSecond = INT64_MAX / kUnitsPerSecond - kSecondsFrom1601To1970;

} // namespace

// Taken from kernel32, which every Win32 system has in 64 bits: msvcrt's _time64 is missing before Windows ME and
// 2000, and the 32-bit time() runs out on 19 January 2038.
int64_t calendarNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t units = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<int64_t>(units / kUnitsPerSecond) - kSecondsFrom1601To1970;
}

SystemTime localSystemTime()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return SystemTime{now.wYear, now.wMonth, now.wDayOfWeek, now.wDay,
                      now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
}

// With the offset from UTC in force now, as every system since the first Win32 converts; the moments asked for
// are those of the connection in progress.
LocalMoment localMomentOf(int64_t calendarTime)
{
    const LocalMoment unknown{1, 0, 0, 0};
    if (calendarTime < -kSecondsFrom1601To1970 || calendarTime > kLastSecond)
        return unknown;
    const uint64_t units = static_cast<uint64_t>(calendarTime + kSecondsFrom1601To1970) * kUnitsPerSecond;
    FILETIME universal{static_cast<DWORD>(units & 0xFFFFFFFFu), static_cast<DWORD>(units >> 32)};
    FILETIME local;
    SYSTEMTIME parts;
    if (!FileTimeToLocalFileTime(&universal, &local) || !FileTimeToSystemTime(&local, &parts))
        return unknown;
    return LocalMoment{parts.wDayOfWeek, parts.wHour, parts.wMinute, parts.wSecond};
}
