// The forecast to the period's end: the figure so far scaled by the period's length over the time elapsed.
#include "core/forecast.h"

#include "core/billing_period.h"

namespace {

// Days since a fixed origin of a calendar date (proleptic Gregorian), for differences only.
int64_t dayNumber(const SystemTime& t)
{
    int64_t year = t.wYear;
    const int64_t month = t.wMonth;
    if (month <= 2)
        --year;
    const int64_t era = year / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + t.wDay - 1;
    return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
}

double secondsOfDay(const SystemTime& t)
{
    return t.wHour * 3600.0 + t.wMinute * 60.0 + t.wSecond + t.wMilliseconds / 1000.0;
}

} // namespace

double forecastToPeriodEnd(double soFar, const SystemTime& now, int startDay)
{
    const int32_t period = periodOf(now, startDay);
    const SystemTime first = periodFirstDay(period, startDay);
    const SystemTime last = periodLastDay(period, startDay);
    const double length = (dayNumber(last) - dayNumber(first) + 1) * 86400.0;
    const double elapsed = (dayNumber(now) - dayNumber(first)) * 86400.0 + secondsOfDay(now);
    // The first hour says too little about the pace: the figure so far stands for the period.
    if (!(elapsed >= 3600.0))
        return soFar;
    return elapsed >= length ? soFar : soFar * (length / elapsed);
}
