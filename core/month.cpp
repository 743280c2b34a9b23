// Sum Up, the automatic month check and Reset Counters.
#include "core/month.h"

#include "core/data_store.h"
#include "core/ports.h"
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
    accounting.counterBlock.lastMonthCost = accounting.counterBlock.curMonthCost + accounting.liveConnection.curConnCost - accounting.liveConnection.carriedCost;
    accounting.counterBlock.lastMonthSeconds =
        accounting.counterBlock.curMonthSeconds + accounting.liveConnection.curConnSeconds - accounting.liveConnection.carriedSeconds;
    accounting.liveConnection.carriedSeconds = accounting.liveConnection.curConnSeconds;
    accounting.liveConnection.carriedCost = accounting.liveConnection.curConnCost;
    accounting.counterBlock.curMonthSeconds = 0;
    accounting.counterBlock.curMonthCost = 0;
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

void checkMonthChange()
{
    const SystemTime now = localSystemTime();
    const int month = now.wMonth;
    const int year = now.wYear;
    const int stampMonth = accounting.monthStamp.wMonth;
    const int stampYear = accounting.monthStamp.wYear;

    if (month - stampMonth == 1) {
        sumUp();
    } else if (month == 1 && stampMonth == 12) {
        if (year - stampYear == 1)
            sumUp();
        else
            clearMonths();
    } else if (month != stampMonth) {
        clearMonths();
    }
}

void resetCounters()
{
    accounting.counterBlock = CounterBlock{};
    writeCounterBlock();
    paintNotConnected();
}
