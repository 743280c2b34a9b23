// The limit warnings: which watched figures are above their limits under the settings.
#pragma once

#include "core/settings.h"

// The four figures a limit watches, each with its own switch and limit in the settings.
enum class WatchedFigure { ConnectionTime, MonthTime, ConnectionCost, MonthCost };

// Whether the figure is strictly above its limit with all three of its switches on: the master switch,
// the time or the cost switch, and the figure's own.
bool aboveLimit(const SettingsBlock& block, WatchedFigure watched, double figure);
// The limit the figure is compared with: seconds for the time limits, the currency for the cost limits.
double limitOf(const SettingsBlock& block, WatchedFigure watched);
