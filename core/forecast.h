// The month's figures carried on at the current pace to the billing period's end.
#pragma once

#include "core/state.h"

// What `soFar`, counted from the period's first day to `now`, comes to by the period's last day at that pace.
double forecastToPeriodEnd(double soFar, const SystemTime& now, int startDay);
