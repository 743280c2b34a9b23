// The forecast: a figure of the billing period carried on at its pace so far to the period's end.
#pragma once

#include "core/state.h"

// `soFar` (seconds or cost accrued since the period began) at the same pace until the end of the period that holds
// `now`; `soFar` itself in the period's first second, where no pace can be told yet.
double forecastToPeriodEnd(double soFar, const SystemTime& now, int startDay);
