// The data file survives a process that dies after any byte it writes, and a file another process holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/data_store.h"
#include "core/layout.h"
#include "core/log_format.h"
#include "core/monitor.h"
#include "core/month.h"
#include "core/settings.h"
#include "tests/native/fakes.h"

namespace {

// What a start-up finds: the totals, the stamp and the log, and whether the file's length matches its count.
struct Image {
    CounterBlock totals;
    SystemTime stamp;
    std::vector<ConnectionRecord> log;
    bool whole;

    bool operator==(const Image& other) const
    {
        return std::memcmp(&totals, &other.totals, sizeof totals) == 0 &&
               std::memcmp(&stamp, &other.stamp, sizeof stamp) == 0 && whole == other.whole &&
               std::equal(log.begin(), log.end(), other.log.begin(), other.log.end(),
                          [](const ConnectionRecord& a, const ConnectionRecord& b) {
                              return std::memcmp(&a, &b, sizeof a) == 0;
                          });
    }
};

SystemTime day(uint16_t year, uint16_t month, uint16_t date)
{
    return SystemTime{year, month, 0, date, 10, 20, 30, 0};
}

// A fresh process on the files as they are: the store opened, then the data-file part of start-up.
void startProcess(const SystemTime& now)
{
    const Disk files = disk;
    resetWorld();
    disk = files;
    fake.localTime = now;
    settings.extra.autoSumUp = 1;
    disk.budget = -1;
    disk.dead = false;
    openDataStore(&kMemoryFiles);
    readCounterBlock();
    if (!readMonthStamp(accounting.monthStamp)) {
        writeMonthStamp();
        accounting.monthStamp = now;
    }
    checkMonthChange();
    loadRecordCount();
}

Image restartAndRead(const SystemTime& now)
{
    startProcess(now);
    Image image{accounting.counterBlock, accounting.monthStamp, loadStoredLog(), false};
    const size_t length = disk.files[StoreFile::Data].size();
    image.whole = static_cast<int32_t>(image.log.size()) == accounting.recordCount &&
                  (accounting.recordCount == 0 ? length <= kHeaderSize : length == recordOffset(accounting.recordCount));
    return image;
}

const SystemTime kMarch = day(2000, 3, 15);

// Three connections over three months, stamped in March, with some totals: the files every operation starts from.
std::map<StoreFile, std::vector<uint8_t>> startingFiles()
{
    disk = Disk{};
    startProcess(day(2000, 3, 1));
    const ConnectionRecord logged[] = {{day(2000, 1, 9), 60, 0.7}, {day(2000, 2, 9), 120, 1.4},
                                       {day(2000, 3, 9), 27, 0.315}};
    for (const ConnectionRecord& record : logged) {
        ++accounting.recordCount;
        writeRecordCount();
        appendRecord(record);
    }
    accounting.counterBlock = CounterBlock{27, 27, 180, 0.315, 0.315, 2.1};
    writeCounterBlock();
    return disk.files;
}

// One operation of the sweep: the clock it runs at, and what it does to a running process.
struct Operation {
    const char* name;
    SystemTime now;
    std::function<void()> run;
    bool atStartUp; // the next start-up does it again, so only the state after it may be found
};

void endConnectionAfter(double seconds)
{
    fake.connectionCount = 1;
    fake.connectionState = kRasConnected;
    pollConnection(kFastTimer);
    fake.calendarTime += static_cast<int32_t>(seconds);
    pollConnection(kFastTimer);
    fake.connectionCount = 0;
    pollConnection(kFastTimer);
}

} // namespace

TEST(CrashPoints, EveryCutLeavesTheFileAsBeforeOrAsAfterTheOperation)
{
    const Operation operations[] = {
        {"connection end", kMarch, [] { endConnectionAfter(27); }, false},
        {"Sum Up during a connection", kMarch,
         [] {
             fake.connectionCount = 1;
             fake.connectionState = kRasConnected;
             pollConnection(kFastTimer);
             fake.calendarTime += 40;
             pollConnection(kFastTimer);
             sumUp();
         },
         false},
        // The start-up itself rolls the month over: March's stamp, April's clock.
        {"month roll-over at start-up", day(2000, 4, 2), [] { startProcess(day(2000, 4, 2)); }, true},
        {"month clearing at start-up", day(2000, 7, 2), [] { startProcess(day(2000, 7, 2)); }, true},
        {"Clear all", kMarch, [] { clearStoredLog(ClearAll); }, false},
        {"Clear until current month", kMarch, [] { clearStoredLog(ClearUntilCurrentMonth); }, false},
        {"Clear until last month", kMarch, [] { clearStoredLog(ClearUntilLastMonth); }, false},
    };
    for (const Operation& operation : operations) {
        SCOPED_TRACE(operation.name);
        const std::map<StoreFile, std::vector<uint8_t>> files = startingFiles();
        disk.files = files;
        const Image before = restartAndRead(kMarch);

        disk.files = files;
        startProcess(kMarch);
        fake.localTime = operation.now;
        disk.spent = 0;
        operation.run();
        const int64_t units = disk.spent;
        const Image after = restartAndRead(operation.now);
        ASSERT_TRUE(after.whole);
        ASSERT_FALSE(before == after) << "the operation changes what a start-up finds";

        int beforeSeen = 0;
        int afterSeen = 0;
        for (int64_t cut = 0; cut <= units; ++cut) {
            disk = Disk{files};
            startProcess(kMarch);
            fake.localTime = operation.now;
            disk.spent = 0;
            disk.budget = cut;
            operation.run();
            const Image found = restartAndRead(operation.now);
            ASSERT_TRUE(found == after || (!operation.atStartUp && found == before))
                << "cut after " << cut << " of " << units << " units";
            ASSERT_TRUE(found.whole) << "cut after " << cut;
            beforeSeen += found == before;
            afterSeen += found == after;
        }
        EXPECT_TRUE(operation.atStartUp || beforeSeen > 0);
        EXPECT_GT(afterSeen, 0);
        std::printf("%s: %lld cut points\n", operation.name, static_cast<long long>(units + 1));
    }
}

TEST(HeldDataFile, WritesWaitInOrderAndLandOnceWhenTheFileIsFree)
{
    disk.files = startingFiles();
    const std::vector<uint8_t> untouched = disk.files[StoreFile::Data];
    startProcess(kMarch);
    disk.dataHeld = true;
    endConnectionAfter(27);
    endConnectionAfter(60);
    EXPECT_TRUE(writesPending());
    EXPECT_EQ(disk.files[StoreFile::Data], untouched);
    EXPECT_EQ(replaceLog(nullptr, 0), FileOutcome::Held) << "Clear waits for what is pending";
    EXPECT_EQ(disk.files[StoreFile::Data], untouched);
    // Once the holder lets go, reads (the detailed list's, the export's) see the pending records as stored,
    // even before a tick has landed them.
    disk.dataHeld = false;
    const std::vector<ConnectionRecord> seen = loadStoredLog();
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[3].seconds, 27);
    EXPECT_EQ(seen[4].seconds, 60);
    disk.dataHeld = true;

    // The process ends while the file is still held: the next one takes both from the journal.
    startProcess(kMarch);
    disk.dataHeld = true;
    EXPECT_TRUE(writesPending());
    disk.dataHeld = false;
    pollConnection(kFastTimer);
    EXPECT_FALSE(writesPending());
    EXPECT_EQ(disk.files.count(StoreFile::Journal), 0u);

    const Image landed = restartAndRead(kMarch);
    EXPECT_TRUE(landed.whole);
    ASSERT_EQ(landed.log.size(), 5u);
    EXPECT_EQ(landed.log[3].seconds, 27);
    EXPECT_EQ(landed.log[4].seconds, 60);
    EXPECT_EQ(landed.totals.lastConnSeconds, 60);
    EXPECT_EQ(landed.totals.curMonthSeconds, 27 + 27 + 60);
}

TEST(HeldDataFile, JournalKeepsOnlyWholeBatches)
{
    const WriteBatch first{{80, false, {1, 0, 0, 0}}, {100, false, std::vector<uint8_t>(32, 7)}};
    const WriteBatch second{{100, true, {}}};
    std::vector<uint8_t> journal;
    encodeJournalBatch(first, journal);
    const size_t firstEnd = journal.size();
    encodeJournalBatch(second, journal);
    size_t valid = 0;
    ASSERT_EQ(decodeJournal(journal.data(), journal.size(), valid).size(), 2u);
    EXPECT_EQ(valid, journal.size());
    for (size_t torn = firstEnd; torn < journal.size(); ++torn) {
        const std::vector<WriteBatch> kept = decodeJournal(journal.data(), torn, valid);
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(valid, firstEnd);
        EXPECT_EQ(kept[0][1].bytes, first[1].bytes);
    }
    journal[firstEnd - 1] ^= 1;
    EXPECT_TRUE(decodeJournal(journal.data(), journal.size(), valid).empty()) << "a damaged batch ends the journal";
}
