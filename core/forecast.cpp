// The forecast of a period's figure from its pace so far.
#include "core/forecast.h"

#include "core/billing_period.h"

double forecastToPeriodEnd(double soFar, const SystemTime& now, int startDay)
{
    const double elapsed = secondsIntoPeriod(now, startDay);
    if (elapsed < 1.0)
        return soFar;
    const double whole = 86400.0 * periodDays(periodOf(now, startDay), startDay);
    return soFar / elapsed * whole;
}
