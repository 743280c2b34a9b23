// Sum Up, the automatic month check and Reset Counters.
#include "accounting/month.h"

void sumUp() {}
void checkMonthChange() {}
void resetCounters() {}
