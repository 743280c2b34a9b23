// Choice of the price per minute in force at a moment of the week.
#pragma once

#include "core/clock.h"
#include "core/settings.h"

// The tariff the settings give for a local moment.
double tariffAt(const SettingsBlock& block, const LocalMoment& moment);
// The tariff in force now, from the settings in force and the clock.
double currentTariff();
