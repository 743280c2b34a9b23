// The settings records in force and their first-run defaults.
#include "core/settings.h"

#include "core/billing_period.h"

Settings settings;

void applyDefaultSettings()
{
    settings.block.showCounterOnConnect = 1;
    settings.block.calculateCost = 1;
    settings.block.weekendAsEconomic = 1;
    settings.block.commonFrom.hours = 7;
    settings.block.commonTo.hours = 20;
    settings.extra.autoSumUp = 1;
    settings.extra.addSeconds = 0;
    settings.period.startDay = 1;
}

int billingStartDay() { return usableStartDay(settings.period.startDay); }
