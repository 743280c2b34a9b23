// Sum Up and the automatic month check.
#include "core/month.h"

#include "core/billing_period.h"
#include "core/data_store.h"
#include "core/clock.h"
#include "core/display.h"
#include "core/settings.h"
#include "core/state.h"

// A new stamp in memory and in the data file, the totals stored, and a full repaint. Stamp and totals land
// together: a new stamp over the old totals would skip the roll-over, new totals under the old stamp repeat it.
static void recordRollOver()
{
    accounting.monthStamp = localSystemTime();
    beginWriteBatch();
    writeMonthStamp();
    writeCounterBlock();
    endWriteBatch();
    invalidateStatistics();
}

void sumUp()
{
    // The last month takes the current-month figure as displayed, live part included; that part is then
    // remembered as carried so the connection's end adds only what follows to the new current month.
    CounterBlock& totals = accounting.counterBlock;
    LiveConnection& live = accounting.liveConnection;
    totals.lastMonthCost = totals.curMonthCost + live.curConnCost - live.carriedCost;
    totals.lastMonthSeconds = totals.curMonthSeconds + live.curConnSeconds - live.carriedSeconds;
    live.carriedSeconds = live.curConnSeconds;
    live.carriedCost = live.curConnCost;
    totals.curMonthSeconds = 0;
    totals.curMonthCost = 0;
    recordRollOver();
}

// Both month totals become stale when more than one month has passed: they are cleared, not rolled over.
static void clearMonths()
{
    accounting.counterBlock.lastMonthCost = 0;
    accounting.counterBlock.lastMonthSeconds = 0;
    accounting.counterBlock.curMonthCost = 0;
    accounting.counterBlock.curMonthSeconds = 0;
    recordRollOver();
}

bool isNextMonth(const SystemTime& earlier, const SystemTime& later)
{
    const int month = later.wMonth;
    const int earlierMonth = earlier.wMonth;
    if (month - earlierMonth == 1)
        return true;
    return month == 1 && earlierMonth == 12 && later.wYear - earlier.wYear == 1;
}

void checkMonthChange()
{
    // Stamp and clock are compared by the billing period each falls in, so a stamp written before the start day
    // moved counts in the period that holds it under the new day.
    const int startDay = billingStartDay();
    const SystemTime now = countedMonth(localSystemTime(), startDay);
    const SystemTime stamp = countedMonth(accounting.monthStamp, startDay);
    if (isNextMonth(stamp, now))
        sumUp();
    else if (now.wMonth != stamp.wMonth)
        clearMonths();
}
