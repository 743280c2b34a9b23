// The billing period's arithmetic: which period a moment falls in, and the first and last days of a period.
#include "core/billing_period.h"

namespace {

// A start day outside 1 to 28 counts as the calendar month's first day.
int boundedStartDay(int startDay) { return startDay >= 1 && startDay <= 28 ? startDay : 1; }

int daysInMonth(int year, int month)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// Day of the week by Sakamoto's rule, 0 = Sunday.
int weekdayOf(int year, int month, int day)
{
    static const int kOffsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3)
        --year;
    return (year + year / 4 - year / 100 + year / 400 + kOffsets[month - 1] + day) % 7;
}

SystemTime dateOf(int year, int month, int day)
{
    SystemTime t{};
    t.wYear = static_cast<uint16_t>(year);
    t.wMonth = static_cast<uint16_t>(month);
    t.wDay = static_cast<uint16_t>(day);
    t.wDayOfWeek = static_cast<uint16_t>(weekdayOf(year, month, day));
    return t;
}

// The period's year and month from its number; numbers below year 0 give year 0.
void splitPeriod(int32_t period, int& year, int& month)
{
    if (period < 0)
        period = 0;
    year = period / 12;
    month = period % 12 + 1;
}

} // namespace

int32_t periodOf(const SystemTime& when, int startDay)
{
    int32_t period = 12 * static_cast<int32_t>(when.wYear) + (static_cast<int32_t>(when.wMonth) - 1);
    if (when.wDay < boundedStartDay(startDay))
        --period;
    return period;
}

SystemTime periodFirstDay(int32_t period, int startDay)
{
    int year = 0, month = 1;
    splitPeriod(period, year, month);
    return dateOf(year, month, boundedStartDay(startDay));
}

SystemTime periodLastDay(int32_t period, int startDay)
{
    int year = 0, month = 1;
    splitPeriod(period + 1, year, month);
    const int first = boundedStartDay(startDay);
    SystemTime last = first > 1 ? dateOf(year, month, first - 1)
                                : (month == 1 ? dateOf(year - 1, 12, 31)
                                              : dateOf(year, month - 1, daysInMonth(year, month - 1)));
    last.wHour = 23;
    last.wMinute = 59;
    last.wSecond = 59;
    last.wMilliseconds = 999;
    return last;
}
