// Chooses the common, economic or weekend tariff for a moment of the week.
#include "core/tariff.h"

double tariffAt(const SettingsBlock& settings, const LocalMoment& moment)
{
    if (moment.weekday == 0 || moment.weekday == 6 || settings.todayIsHoliday != 0)
        return settings.tariffWeekend;

    const double from = hmsToSeconds(settings.commonFrom.hours, settings.commonFrom.minutes, settings.commonFrom.seconds);
    const double to = hmsToSeconds(settings.commonTo.hours, settings.commonTo.minutes, settings.commonTo.seconds);
    const double now = hmsToSeconds(moment.hour, moment.minute, moment.second);

    // The interval that does not cross midnight excludes both bounds; the one that crosses includes them.
    if (to > from)
        return (now > from && now < to) ? settings.tariffCommon : settings.tariffEconomic;
    return (now >= from || now <= to) ? settings.tariffCommon : settings.tariffEconomic;
}

double currentTariff() { return tariffAt(settingsBlock, localMomentOf(calendarNow())); }
