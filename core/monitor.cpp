// Notices connections, advances the live one once a second and closes it into the totals and the log.
#include "core/monitor.h"

#include <cstdint>

#include "core/data_store.h"
#include "core/month.h"
#include "core/clock.h"
#include "core/connection_source.h"
#include "core/display.h"
#include "core/limit_notice.h"
#include "core/state.h"
#include "core/stored_figures.h"
#include "core/tariff.h"
#include "core/settings.h"

// The double nearest to 1/60: costs are formed by this multiplication, never by a division by 60.
static constexpr double kPerSecondOfMinute = 0.016666666666666666;

// Whole seconds from `since` to `now`, as difftime gives them; a double cannot overflow here.
static double secondsBetween(int64_t now, int64_t since)
{
    return static_cast<double>(now) - static_cast<double>(since);
}

void pollConnection(Tick tick)
{
    // What could not be written lands first, so that it stays ahead of anything this tick stores; figures
    // start-up could not read are read as soon as they can be.
    retryPendingWritesAtTick();
    retryStoredFigures();
    reportStoreTrouble();
    if (tick == Tick::PollAndMonthCheck && settings.extra.autoSumUp != 0 && storedFiguresLoaded())
        checkMonthChange();
    if (tick == Tick::PollAndMonthCheck && storedFiguresLoaded())
        noticePassedLimits();

    ConnectionHandle first = 0;
    const int32_t count = enumerateConnections(&first);
    if (count >= 1)
        accounting.liveConnection.lastRasState = queryConnectionState(first, accounting.liveConnection.lastRasState);

    const uint32_t state = accounting.liveConnection.lastRasState;
    if (!accounting.liveConnection.connected) {
        if (count >= 1 && state == kRasConnected) {
            beginConnection();
            advanceConnection();
        }
        return;
    }
    if (count < 1 || state == kRasDisconnected)
        endConnection();
    else if (state == kRasConnected)
        advanceConnection();
    // Any other state is a stage of re-dialing or authentication: the connection stays open, frozen.
}

void beginConnection()
{
    accounting.liveConnection.startTime = calendarNow();
    accounting.liveConnection.connected = true;
    if (settings.block.showCounterOnConnect != 0)
        showTimerWindow();
    paintConnected(true);
    // Reserves the log slot of this connection; the count is stored only when it ends.
    if (accounting.recordCount < INT32_MAX)
        ++accounting.recordCount;
    accounting.liveConnection.pendingRecord.start = localSystemTime();
}

void advanceConnection()
{
    // One clock reading serves both the test and the new duration, so a clock set back between two
    // readings can never make the duration fall.
    LiveConnection& live = accounting.liveConnection;
    const double elapsed = secondsBetween(calendarNow(), live.startTime);
    const double extra = settings.extra.addSeconds;
    if (elapsed < live.curConnSeconds - extra + 1)
        return;

    live.curConnSeconds = elapsed + extra;
    // The whole duration is priced at the tariff of this moment, so the cost may fall at a tariff change.
    live.curConnCost = currentTariff() * live.curConnSeconds * kPerSecondOfMinute;
    if (timerWindowExists())
        paintTimer();
    paintConnected(false);
}

void endConnection()
{
    LiveConnection& live = accounting.liveConnection;
    EndedConnection ended{live.pendingRecord, live.carriedSeconds, live.carriedCost};
    ended.record.seconds = live.curConnSeconds;
    ended.record.cost = live.curConnCost;
    live.pendingRecord = ended.record;
    live.curConnSeconds = 0;
    live.curConnCost = 0;
    live.carriedSeconds = 0;
    live.carriedCost = 0;
    storeEndedConnection(ended);

    destroyTimerWindow();
    live.connected = false;
    paintNotConnected();
    refreshDetailsIfOpen();
}
