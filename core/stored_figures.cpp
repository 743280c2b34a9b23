// Reads the figures at start-up once the data file can be read, counts ended connections onto them, resets them.
#include "core/stored_figures.h"

#include <vector>

#include "core/data_store.h"
#include "core/month.h"
#include "core/clock.h"
#include "core/display.h"
#include "core/settings.h"

namespace {

// The reading's progress: one record, the only one of its kind.
struct FiguresReading {
    bool asked;                            // start-up asked for the figures
    bool loaded;                           // they have been read (or, at a first run, made)
    bool firstRun;                         // the first run for this user: the stamp is written, not read
    std::vector<EndedConnection> awaiting; // connections that ended before the figures were read, oldest first
    int quietTicks;                        // ticks still to let pass before the next try, after a failed one
};

// After a failed reading, ticks let pass before the next: a second of the 50 ms poll.
constexpr int kRetryTicks = 20;

FiguresReading reading{};

// The connection into the totals in memory, as the window shows them, whether or not they can be stored.
void countIn(const EndedConnection& ended)
{
    CounterBlock& totals = accounting.counterBlock;
    totals.lastConnSeconds = ended.record.seconds;
    totals.curMonthSeconds = (ended.record.seconds - ended.carriedSeconds) + totals.curMonthSeconds;
    totals.lastConnCost = ended.record.cost;
    totals.curMonthCost = (ended.record.cost - ended.carriedCost) + totals.curMonthCost;
    // The record lands in slot recordCount - 1; should the reservation made at the start have been
    // taken away meanwhile, the slot would fall inside the file's header, so the connection counts itself.
    if (accounting.recordCount < 1)
        accounting.recordCount = 1;
}

void storeNow(const EndedConnection& ended)
{
    countIn(ended);
    // The three land together or not at all: a half-stored end could count the connection twice.
    beginWriteBatch();
    writeRecordCount();
    appendRecord(ended.record);
    writeCounterBlock();
    endWriteBatch();
}

// Until the figures are read the window shows the connections since the start alone, from zero totals.
void recountAwaiting()
{
    accounting.counterBlock = CounterBlock{};
    accounting.recordCount = 0;
    for (const EndedConnection& ended : reading.awaiting) {
        ++accounting.recordCount;
        countIn(ended);
    }
    if (accounting.liveConnection.connected)
        ++accounting.recordCount;
}

// The reads of start-up, checked as a whole: false, with nothing written, when any of them failed.
bool readFigures()
{
    const uint64_t failures = dataFileReadFailures();
    accounting.counterBlock = CounterBlock{};
    accounting.recordCount = 0;
    SystemTime stamp = accounting.monthStamp;
    bool wholeStamp = false;
    if (!reading.firstRun) {
        readCounterBlock();
        wholeStamp = readMonthStamp(stamp);
    }
    readRecordCount();
    const int32_t whole = wholeRecordsInFile();
    if (dataFileReadFailures() != failures || whole < 0)
        return false;
    accounting.recordCount = trustedRecordCount(accounting.recordCount, whole);
    // A data file without a complete stamp (and every first run) gets the present time as its stamp.
    if (wholeStamp) {
        accounting.monthStamp = stamp;
    } else {
        writeMonthStamp();
        accounting.monthStamp = localSystemTime();
    }
    return true;
}

bool tryReading()
{
    // The store tries to settle at its own pace; asking it costs no file call.
    if (!dataStoreReady())
        return false;
    if (!readFigures()) {
        reading.quietTicks = kRetryTicks;
        noteFiguresUnread(true);
        // What the window showed stays: the connections since the start, counted in memory.
        recountAwaiting();
        return false;
    }
    reading.loaded = true;
    noteFiguresUnread(false);
    if (settings.extra.autoSumUp != 0) {
        // The roll-over start-up would have made comes before every connection since: none of it is carried.
        const LiveConnection live = accounting.liveConnection;
        accounting.liveConnection.curConnSeconds = 0;
        accounting.liveConnection.curConnCost = 0;
        checkMonthChange();
        accounting.liveConnection = live;
    }
    for (const EndedConnection& ended : reading.awaiting) {
        ++accounting.recordCount;
        storeNow(ended);
    }
    reading.awaiting.clear();
    // A connection live now keeps its slot after the stored records.
    if (accounting.liveConnection.connected)
        ++accounting.recordCount;
    return true;
}

} // namespace

void loadStoredFigures(bool firstRun)
{
    reading = FiguresReading{};
    reading.asked = true;
    reading.firstRun = firstRun;
    tryReading();
}

void retryStoredFigures()
{
    if (reading.quietTicks > 0) {
        --reading.quietTicks;
        return;
    }
    // The window has shown the connections since the start alone so far.
    if (reading.asked && !reading.loaded && tryReading())
        invalidateStatistics();
}

bool storedFiguresLoaded() { return reading.loaded || !reading.asked; }

void storeEndedConnection(const EndedConnection& ended)
{
    if (!storedFiguresLoaded()) {
        reading.awaiting.push_back(ended);
        countIn(ended);
        return;
    }
    storeNow(ended);
}

size_t connectionsAwaitingFigures() { return reading.awaiting.size(); }

void resetStoredFigures() { reading = FiguresReading{}; }

void resetCounters()
{
    accounting.counterBlock = CounterBlock{};
    writeCounterBlock();
    paintNotConnected();
}
