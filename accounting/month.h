// Month roll-over (Sum Up), the automatic month check and the reset of the totals.
#pragma once

void sumUp();
void checkMonthChange();
void resetCounters();
