// Processes over the fake disk: start-up, ticks, connections, commands and Exit as a user gives them.
#include "tests/native/session.h"

#include <algorithm>
#include <cstring>

#include "core/data_store.h"
#include "core/layout.h"
#include "core/monitor.h"
#include "core/month.h"
#include "core/settings.h"
#include "core/stored_figures.h"
#include "core/stored_log.h"

bool operator==(const Image& a, const Image& b)
{
    return std::memcmp(&a.totals, &b.totals, sizeof a.totals) == 0 &&
           std::memcmp(&a.stamp, &b.stamp, sizeof a.stamp) == 0 && a.countField == b.countField &&
           a.whole == b.whole &&
           std::equal(a.log.begin(), a.log.end(), b.log.begin(), b.log.end(),
                      [](const ConnectionRecord& x, const ConnectionRecord& y) {
                          return std::memcmp(&x, &y, sizeof x) == 0;
                      });
}

SystemTime day(uint16_t year, uint16_t month, uint16_t date) { return SystemTime{year, month, 0, date, 10, 20, 30, 0}; }

void startProcess(const SystemTime& now, bool firstRun, bool autoSumUp)
{
    Disk files = std::move(disk);
    resetWorld();
    disk = std::move(files);
    fake.localTime = now;
    settings.extra.autoSumUp = autoSumUp ? 1 : 0;
    settings.block.tariffCommon = 42;
    openDataStore(&kMemoryFiles);
    loadStoredFigures(firstRun);
}

void tick()
{
    ++disk.tick;
    pollConnection(Tick::Poll);
}

void connectFor(int32_t seconds, int32_t sumUpAfter)
{
    fake.connectionCount = 1;
    fake.connectionState = kRasConnected;
    tick();
    if (sumUpAfter >= 0) {
        fake.calendarTime += sumUpAfter;
        tick();
        sumUpPatiently();
        seconds -= sumUpAfter;
    }
    fake.calendarTime += seconds;
    tick();
    fake.connectionCount = 0;
    tick();
}

namespace {

// Ticks until `ready`, clearing the planted fault after `patience` ticks.
template <typename Ready> void waitFor(Ready ready, int patience)
{
    for (int ticks = 0; !ready() && ticks < 10 * patience; ++ticks) {
        if (ticks == patience)
            clearFaults();
        tick();
    }
}

} // namespace

void sumUpPatiently(int patience)
{
    waitFor([] { return storedFiguresLoaded(); }, patience);
    sumUp();
}

void clearPatiently(ClearMode mode, int patience)
{
    bool cleared = false;
    waitFor([&] { return cleared || (cleared = clearStoredLog(mode).outcome == FileOutcome::Done); }, patience);
}

void exitPatiently(int patience)
{
    waitFor(
        [] {
            return storedFiguresLoaded() && connectionsAwaitingFigures() == 0 &&
                   (!writesPending() || pendingWritesJournaled());
        },
        patience);
    retryPendingWrites();
}

Image restartAndRead(const SystemTime& now)
{
    disk.fault = Fault{};
    disk.schedule.clear();
    disk.dataHeld = false;
    disk.dead = false;
    disk.budget = -1;
    startProcess(now, false, false);
    tick();
    Image image{accounting.counterBlock, accounting.monthStamp, loadStoredLog(), storedCount(), false};
    const size_t length = disk.files[StoreFile::Data].size();
    const bool zeroed = std::any_of(image.log.begin(), image.log.end(),
                                    [](const ConnectionRecord& record) { return record.start.wYear == 0; });
    image.whole = !zeroed && !writesPending() && image.countField == static_cast<int32_t>(storedRecords().size()) &&
                  static_cast<int32_t>(image.log.size()) == image.countField &&
                  length == std::max<uint64_t>(recordOffset(image.countField), kHeaderSize);
    return image;
}

void storeStartingFiles()
{
    disk = Disk{};
    startProcess(day(2000, 3, 1), true);
    const ConnectionRecord logged[] = {{day(2000, 1, 9), 60, 0.7}, {day(2000, 2, 9), 120, 1.4},
                                       {day(2000, 3, 9), 27, 0.315}};
    for (const ConnectionRecord& record : logged) {
        ++accounting.recordCount;
        writeRecordCount();
        appendRecord(record);
    }
    accounting.counterBlock = CounterBlock{27, 27, 180, 0.315, 0.315, 2.1};
    writeCounterBlock();
    disk.durable = disk.files;
    disk.unflushed.clear();
    disk.calls = 0;
    disk.callKinds.clear();
}
