// Month roll-over (Sum Up), the automatic month check and the reset of the totals.
#pragma once

// The current-month figure as displayed, live part included, becomes the last month's.
void sumUp();
// Rolls over or clears the month totals when the present month differs from the month stamp's.
void checkMonthChange();
// All six totals to zero, stored; stamp, record count and log stay.
void resetCounters();
