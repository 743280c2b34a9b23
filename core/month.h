// Month roll-over (Sum Up), the automatic month check and the reset of the totals.
#pragma once

#include "core/state.h"

// Whether `later` lies in the month right after `earlier`'s: the next month number of any year, or a January
// right after the December of the year before. The roll-over and the "last month" filter both ask this.
bool isNextMonth(const SystemTime& earlier, const SystemTime& later);

// The current-month figure as displayed, live part included, becomes the last month's.
void sumUp();
// Rolls over or clears the month totals when the present billing period differs from the month stamp's.
void checkMonthChange();
