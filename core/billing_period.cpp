// The billing period's rule: which period a moment belongs to, and where each period begins and ends.
#include "core/billing_period.h"

#include <cstdio>

#include "core/text.h"

namespace {

constexpr int kLastStartDay = 28;

// Division rounding towards minus infinity, so that periods before year 0's January still number in order.
int32_t floorDiv(int32_t value, int32_t by) { return value / by - (value % by != 0 && (value < 0) != (by < 0)); }

bool isLeapYear(int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int32_t year, int month)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1 January 1970 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
int64_t daysFromCivil(int64_t year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// 1 January 1970 was a Thursday.
uint16_t dayOfWeek(int64_t days) { return static_cast<uint16_t>(((days % 7) + 11) % 7); }

SystemTime dayOf(int32_t year, int month, int day, bool atEnd)
{
    SystemTime t{};
    t.wYear = static_cast<uint16_t>(year);
    t.wMonth = static_cast<uint16_t>(month);
    t.wDay = static_cast<uint16_t>(day);
    t.wDayOfWeek = dayOfWeek(daysFromCivil(year, month, day));
    if (atEnd) {
        t.wHour = 23;
        t.wMinute = 59;
        t.wSecond = 59;
        t.wMilliseconds = 999;
    }
    return t;
}

} // namespace

int usableStartDay(int startDay) { return startDay >= 1 && startDay <= kLastStartDay ? startDay : 1; }

int32_t periodOf(const SystemTime& when, int startDay)
{
    // A period runs from its start day's 00:00 on: a day before the start day belongs to the month before's.
    const int32_t month = 12 * static_cast<int32_t>(when.wYear) + static_cast<int32_t>(when.wMonth) - 1;
    return when.wDay >= usableStartDay(startDay) ? month : month - 1;
}

SystemTime periodFirstDay(int32_t period, int startDay)
{
    return dayOf(floorDiv(period, 12), period - 12 * floorDiv(period, 12) + 1, usableStartDay(startDay), false);
}

SystemTime periodLastDay(int32_t period, int startDay)
{
    const int day = usableStartDay(startDay);
    const int32_t next = period + 1;
    const int32_t year = floorDiv(next, 12);
    const int month = next - 12 * year + 1;
    if (day > 1)
        return dayOf(year, month, day - 1, true);
    // The calendar month: the last day of the month before the next one.
    const int32_t ownYear = floorDiv(period, 12);
    const int ownMonth = period - 12 * ownYear + 1;
    return dayOf(ownYear, ownMonth, daysInMonth(ownYear, ownMonth), true);
}

int periodDays(int32_t period, int startDay)
{
    const SystemTime first = periodFirstDay(period, startDay);
    const SystemTime last = periodLastDay(period, startDay);
    return static_cast<int>(daysFromCivil(last.wYear, last.wMonth, last.wDay) -
                            daysFromCivil(first.wYear, first.wMonth, first.wDay)) +
           1;
}

double secondsIntoPeriod(const SystemTime& when, int startDay)
{
    const SystemTime first = periodFirstDay(periodOf(when, startDay), startDay);
    const int64_t days =
        daysFromCivil(when.wYear, when.wMonth, when.wDay) - daysFromCivil(first.wYear, first.wMonth, first.wDay);
    return static_cast<double>(days) * 86400.0 + when.wHour * 3600.0 + when.wMinute * 60.0 + when.wSecond +
           when.wMilliseconds / 1000.0;
}

SystemTime countedMonth(const SystemTime& when, int startDay)
{
    if (usableStartDay(startDay) == 1)
        return when;
    return periodFirstDay(periodOf(when, startDay), startDay);
}

int formatDayOrdinal(int day, char* out, size_t size)
{
    const int lastDigit = day % 10;
    const bool teen = day % 100 >= 11 && day % 100 <= 13;
    const char* suffix = "th";
    if (!teen && lastDigit == 1)
        suffix = "st";
    else if (!teen && lastDigit == 2)
        suffix = "nd";
    else if (!teen && lastDigit == 3)
        suffix = "rd";
    return clampedLength(std::snprintf(out, size, "%d%s", day, suffix), size);
}
