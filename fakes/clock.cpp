// The fake clock: the calendar time and local time the test sets; moments broken down in UTC or set outright.
#include <ctime>

#include "fakes/world.h"

int64_t calendarNow() { return fake.calendarTime; }
SystemTime localSystemTime() { return fake.localTime; }

LocalMoment localMomentOf(int64_t calendarTime)
{
    if (fake.useMomentOverride)
        return fake.moment;
    const std::time_t when = calendarTime;
    std::tm parts{};
    gmtime_r(&when, &parts);
    return LocalMoment{parts.tm_wday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

