// The settings records in force and their first-run defaults.
#include "core/settings.h"

SettingsBlock settingsBlock;
SettingsExtra settingsExtra;

void applyDefaultSettings()
{
    settingsBlock.showCounterOnConnect = 1;
    settingsBlock.calculateCost = 1;
    settingsBlock.weekendAsEconomic = 1;
    settingsBlock.commonFrom.hours = 7;
    settingsBlock.commonTo.hours = 20;
    settingsExtra.autoSumUp = 1;
    settingsExtra.addSeconds = 0;
}
