// Chooses the common, economic or weekend tariff for a moment of the week.
#include "core/tariff.h"

double tariffAt(const SettingsBlock& block, const LocalMoment& moment)
{
    if (moment.weekday == 0 || moment.weekday == 6 || block.todayIsHoliday != 0)
        return block.tariffWeekend;

    const double from = hmsToSeconds(block.commonFrom.hours, block.commonFrom.minutes, block.commonFrom.seconds);
    const double to = hmsToSeconds(block.commonTo.hours, block.commonTo.minutes, block.commonTo.seconds);
    const double now = hmsToSeconds(moment.hour, moment.minute, moment.second);

    // The interval that does not cross midnight excludes both bounds; the one that crosses includes them.
    if (to > from)
        return (now > from && now < to) ? block.tariffCommon : block.tariffEconomic;
    return (now >= from || now <= to) ? block.tariffCommon : block.tariffEconomic;
}

double currentTariff() { return tariffAt(settings.block, localMomentOf(calendarNow())); }
