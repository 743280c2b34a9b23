// The journal belongs to one data file, is never deleted unread or replayed over newer data; start-up writes
// nothing it could not read; the user hears of waiting data once; Clear reads the whole log or refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/data_store.h"
#include "core/layout.h"
#include "core/stored_figures.h"
#include "tests/native/session.h"
#include "core/stored_log.h"

namespace {

const SystemTime kMarch = day(2000, 3, 15);

// A process ended with a connection's end in the journal only: the data file was held to the last.
Disk diskWithJournal()
{
    storeStartingFiles();
    startProcess(kMarch);
    disk.dataHeld = true;
    connectFor(27);
    disk.dataHeld = false;
    return disk;
}

// A failed try is made again after a second of ticks, not at every one.
void tickASecond()
{
    for (int i = 0; i <= 20; ++i)
        tick();
}

} // namespace

TEST(JournalOwnership, AJournalOfAnotherDataFileIsSetAsideNeverReplayedNorDeleted)
{
    struct Case {
        const char* name;
        void (*change)(); // what happened to the data file after the journal was written
        bool made;        // the data file is made anew at start-up: it then holds a new stamp only
    };
    const Case cases[] = {
        {"the data file deleted", [] { disk.files.erase(StoreFile::Data); }, true},
        {"an older copy restored", [] { storeCount(2), storeRecords({storedRecords()[0], storedRecords()[1]}); },
         false},
        {"other totals written over it", [] { storeCounters(CounterBlock{1, 2, 3, 4, 5, 6}); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        disk = diskWithJournal();
        c.change();
        const std::vector<uint8_t> journal = disk.files[StoreFile::Journal];
        const std::vector<uint8_t> data = disk.files[StoreFile::Data];
        startProcess(kMarch);
        tick();
        if (c.made)
            EXPECT_EQ(disk.files[StoreFile::Data].size(), kMonthStampOffset + kSystemTimeSize)
                << "nothing of the journal was written";
        else
            EXPECT_EQ(disk.files[StoreFile::Data], data) << "nothing of the journal was written";
        EXPECT_EQ(disk.files.count(StoreFile::Journal), 0u);
        ASSERT_EQ(disk.setAside.size(), 1u);
        EXPECT_EQ(disk.setAside[0], journal);
        char name[16];
        EXPECT_TRUE(takeSetAsideNotice(name, sizeof name));
        EXPECT_STREQ(name, "Tq-1.jnl");
        EXPECT_FALSE(takeSetAsideNotice(name, sizeof name)) << "told once";
        // The next batch journals anew and lands.
        connectFor(5);
        EXPECT_FALSE(writesPending());
        EXPECT_EQ(disk.files.count(StoreFile::Journal), 0u);
    }
}

TEST(JournalOwnership, AJournalThatCannotBeReadOrDeletedIsKeptAndNeverReplayedTwice)
{
    // Unreadable at start-up (a scanner holds it): kept, nothing written, the figures wait; replayed once free.
    disk = diskWithJournal();
    const std::vector<uint8_t> data = disk.files[StoreFile::Data];
    disk.fault = Fault{disk.calls, FaultKind::ReadError, -1};
    startProcess(kMarch);
    for (int i = 0; i < 50; ++i)
        tick();
    EXPECT_FALSE(storedFiguresLoaded());
    EXPECT_EQ(disk.files[StoreFile::Data], data);
    EXPECT_GT(disk.files.count(StoreFile::Journal), 0u) << "never deleted unread";
    disk.fault = Fault{};
    tickASecond();
    EXPECT_TRUE(storedFiguresLoaded());
    EXPECT_EQ(storedRecords().size(), 4u);

    // A journal that cannot be deleted is cut to nothing once the data file holds it, flushed: later starts
    // replay nothing twice, and Clear need not wait for it.
    disk.fault.kind = FaultKind::Refused;
    disk.fault.file = StoreFile::Journal;
    disk.fault.active = true;
    connectFor(60);
    connectFor(30);
    EXPECT_EQ(disk.files[StoreFile::Journal].size(), 0u);
    EXPECT_FALSE(journalLeftOver());
    const Image once = restartAndRead(kMarch);
    EXPECT_TRUE(once.whole);
    EXPECT_EQ(once.log.size(), 6u);
    EXPECT_TRUE(restartAndRead(kMarch) == once);
}

TEST(JournalOwnership, ATornTailIsWrittenOverByTheNextBatch)
{
    // A process died while it wrote its second batch into the journal, the first still waiting for the file.
    disk = diskWithJournal();
    std::vector<uint8_t>& journal = disk.files[StoreFile::Journal];
    journal.insert(journal.end(), {'T', 'Q', 'J', '2', 9, 9, 9});
    // The next one can read the file but not write it: the first batch and a new one wait, both journaled.
    disk.fault.kind = FaultKind::Denied;
    disk.fault.file = StoreFile::Data;
    disk.fault.active = true;
    startProcess(kMarch);
    connectFor(33);
    EXPECT_TRUE(writesPending() && pendingWritesJournaled());
    // It dies too; the one after it lands both.
    const Image found = restartAndRead(kMarch);
    EXPECT_TRUE(found.whole);
    ASSERT_EQ(found.log.size(), 5u);
    EXPECT_EQ(found.log[3].seconds, 27);
    EXPECT_EQ(found.log[4].seconds, 33);
}

TEST(StartUpHold, HoldsOfAnyLengthLeaveEveryFigureAsItWasPlusWhatHappenedSince)
{
    // 1 s, 8 s and 60 s of the fast timer's ticks, a connection ending during each.
    for (const int ticks : {20, 160, 1200}) {
        SCOPED_TRACE(ticks);
        storeStartingFiles();
        const std::vector<uint8_t> data = disk.files[StoreFile::Data];
        const CounterBlock before = storedCounters();
        const SystemTime stamp = storedStamp();
        disk.dataHeld = true;
        startProcess(kMarch);
        connectFor(40);
        for (int i = 0; i < ticks; ++i)
            tick();
        EXPECT_EQ(disk.files[StoreFile::Data], data) << "nothing written while it could not be read";
        EXPECT_EQ(connectionsAwaitingFigures(), 1u);
        disk.dataHeld = false;
        tickASecond();
        EXPECT_EQ(connectionsAwaitingFigures(), 0u);
        const Image found = restartAndRead(kMarch);
        EXPECT_TRUE(found.whole);
        ASSERT_EQ(found.log.size(), 4u);
        EXPECT_EQ(found.log[3].seconds, 40);
        EXPECT_EQ(found.totals.curMonthSeconds, before.curMonthSeconds + 40);
        EXPECT_EQ(found.totals.lastMonthSeconds, before.lastMonthSeconds);
        EXPECT_EQ(found.totals.lastMonthCost, before.lastMonthCost);
        EXPECT_EQ(std::memcmp(&found.stamp, &stamp, sizeof stamp), 0);
    }
}

TEST(StartUpHold, AFileCutInsideItsStampGetsANewOneAndAFailedReadWritesNothing)
{
    for (size_t length = 0; length < kMonthStampOffset + kSystemTimeSize; ++length) {
        SCOPED_TRACE(length);
        storeStartingFiles();
        disk.files[StoreFile::Data].resize(length);
        startProcess(kMarch, false, false);
        EXPECT_EQ(std::memcmp(&accounting.monthStamp, &kMarch, sizeof kMarch), 0);
        const SystemTime stored = storedStamp();
        EXPECT_EQ(std::memcmp(&stored, &kMarch, sizeof kMarch), 0);
    }
    // The stamp cannot be read at all (a read error at that very read): it is read again, never made anew.
    storeStartingFiles();
    const std::vector<uint8_t> data = disk.files[StoreFile::Data];
    const Disk starting = disk;
    resetWorld();
    disk = starting;
    openDataStore(&kMemoryFiles);
    // The figures' reads follow the start's settling: the totals, then the stamp.
    const int64_t stampRead = disk.calls + 1;
    disk = starting;
    disk.fault = Fault{stampRead, FaultKind::ReadError, 1};
    startProcess(kMarch, false, false);
    EXPECT_FALSE(storedFiguresLoaded());
    EXPECT_EQ(disk.files[StoreFile::Data], data);
    tickASecond();
    EXPECT_TRUE(storedFiguresLoaded());
    EXPECT_EQ(accounting.monthStamp.wDay, 1) << "the stamp the file had";
    EXPECT_EQ(disk.files[StoreFile::Data], data);
}

TEST(StoreTroubleEpisodes, WaitingDataIsReportedOnceAndJournalingGoesOnAfterAFailure)
{
    storeStartingFiles();
    startProcess(kMarch);
    // One journal write fails: that batch lands all the same, and the next one is journaled again.
    disk.fault = Fault{disk.calls + 2, FaultKind::Denied, 0};
    connectFor(10);
    disk.dataHeld = true;
    connectFor(20);
    EXPECT_TRUE(writesPending());
    EXPECT_TRUE(pendingWritesJournaled()) << "journaling is not turned off by one failure";

    StoreTrouble trouble = storeTrouble();
    EXPECT_TRUE(trouble.waiting);
    EXPECT_EQ(trouble.file, StoreFile::Data);
    EXPECT_EQ(trouble.result.outcome, FileOutcome::Held);
    const int64_t since = trouble.since;
    fake.calendarTime += 30;
    tick();
    EXPECT_EQ(storeTrouble().since, since) << "the episode keeps its start";
    markTroubleReported();
    tick();
    EXPECT_TRUE(storeTrouble().reported);
    disk.dataHeld = false;
    tickASecond();
    EXPECT_FALSE(storeTrouble().waiting);
    EXPECT_FALSE(storeTrouble().reported) << "a new episode will be told again";
    disk.fault = Fault{disk.calls, FaultKind::Denied, -1};
    connectFor(5);
    trouble = storeTrouble();
    EXPECT_TRUE(trouble.waiting && !trouble.reported);
    EXPECT_EQ(trouble.result.error, 5u) << "the system's own code, for its text";
}

TEST(WholeLog, ClearAndTheExportReadEveryRecordOrRefuse)
{
    storeStartingFiles();
    startProcess(kMarch);
    const std::vector<uint8_t> data = disk.files[StoreFile::Data];
    // A read fails part-way through the log.
    disk.fault = Fault{disk.calls, FaultKind::ReadError, 1};
    std::vector<ConnectionRecord> records;
    EXPECT_FALSE(readWholeStoredLog(records));
    disk.fault = Fault{disk.calls, FaultKind::ReadError, 1};
    EXPECT_NE(clearStoredLog(ClearUntilCurrentMonth).outcome, FileOutcome::Done);
    EXPECT_EQ(disk.files[StoreFile::Data], data);
    disk.fault = Fault{};
    ++disk.tick;
    EXPECT_TRUE(readWholeStoredLog(records));
    EXPECT_EQ(records.size(), 3u);
}

TEST(WholeLog, ClearOfALongLogKeepsEveryRecordInItsPlace)
{
    // More records than one block of the rewrite, the kept ones spread over several.
    storeStartingFiles();
    std::vector<ConnectionRecord> log;
    for (int i = 0; i < 700; ++i)
        log.push_back(ConnectionRecord{day(2000, i % 3 == 0 ? 2 : 3, static_cast<uint16_t>(1 + i % 28)), 1.0 * i, 0.01 * i});
    storeRecords(log);
    storeCount(700);
    startProcess(kMarch);
    ASSERT_EQ(clearStoredLog(ClearUntilCurrentMonth).outcome, FileOutcome::Done);
    std::vector<ConnectionRecord> kept;
    for (const ConnectionRecord& record : log)
        if (record.start.wMonth == 3)
            kept.push_back(record);
    const Image found = restartAndRead(kMarch);
    EXPECT_TRUE(found.whole);
    ASSERT_EQ(found.log.size(), kept.size());
    for (size_t i = 0; i < kept.size(); ++i)
        ASSERT_EQ(std::memcmp(&found.log[i], &kept[i], sizeof kept[i]), 0) << "record " << i;
}

TEST(WholeLog, AFullDiskAtExitNeverLeavesTheCountAheadOfTheRecords)
{
    // Neither the journal nor the record fits: the connection is lost at Exit, but the file stays whole.
    storeStartingFiles();
    startProcess(kMarch);
    disk.fault.kind = FaultKind::DiskFull;
    disk.fault.active = true;
    connectFor(50);
    EXPECT_TRUE(writesPending());
    EXPECT_FALSE(pendingWritesJournaled());
    EXPECT_EQ(storedCount(), static_cast<int32_t>(storedRecords().size()));
    const Image found = restartAndRead(kMarch);
    EXPECT_TRUE(found.whole);
    EXPECT_EQ(found.log.size(), 3u);
}

TEST(StoreTroubleEpisodes, ALastingFaultIsAnEpisodeCostsATryASecondAndHidesNoConnection)
{
    struct Case {
        const char* name;
        void (*plant)(int64_t settleCalls); // the fault, given the seam calls a start makes before its reading
        bool figuresRead;                   // the figures are read all the same
        bool afterStart;                    // the fault comes once the process has started
    };
    const Case cases[] = {
        {"the data file held from the start", [](int64_t) { disk.dataHeld = true; }, false, false},
        {"the figures' read fails once the journal is settled",
         [](int64_t settleCalls) { disk.fault = Fault{settleCalls, FaultKind::ReadError, -1}; }, false, false},
        {"the journal and the data file held for good", [](int64_t) {
             disk.dataHeld = true;
             disk.fault.kind = FaultKind::Held;
             disk.fault.file = StoreFile::Journal;
             disk.fault.active = true;
         },
         true, true},
        {"the data file read-only for good", [](int64_t) {
             disk.fault.kind = FaultKind::Denied;
             disk.fault.file = StoreFile::Data;
             disk.fault.active = true;
         },
         true, true},
    };
    storeStartingFiles();
    const Disk starting = disk;
    // The seam calls of a start's settling, before the figures are read.
    resetWorld();
    disk = starting;
    openDataStore(&kMemoryFiles);
    const int64_t settleCalls = disk.calls;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        disk = starting;
        if (!c.afterStart)
            c.plant(settleCalls);
        startProcess(kMarch);
        if (c.afterStart)
            c.plant(settleCalls);
        connectFor(30);
        EXPECT_EQ(storedFiguresLoaded(), c.figuresRead);
        EXPECT_EQ(accounting.counterBlock.lastConnSeconds, 30) << "the last connection shows";
        EXPECT_GE(accounting.counterBlock.curMonthSeconds, 30) << "the month counts it";
        EXPECT_TRUE(storeTrouble().waiting) << "data waits: an episode the user will hear of";
        EXPECT_NE(storeTrouble().result.outcome, FileOutcome::Done);
        const int64_t before = disk.calls;
        for (int i = 0; i < 200; ++i)
            tick();
        EXPECT_LT(disk.calls - before, 100) << "ten seconds of ticks try about ten times, not two hundred";
    }
}

TEST(WholeLog, ClearOverAStaleNewLogThatCannotBeDeletedLeavesNoOldRecordBehindItsCount)
{
    // A longer Tq.new left by an ended Clear, held by a scanner so that it cannot be deleted.
    FileSeam undeletable = kMemoryFiles;
    undeletable.remove = [](StoreFile file) {
        return file == StoreFile::Fresh ? FileResult{FileOutcome::Failed, 5} : kMemoryFiles.remove(file);
    };
    storeStartingFiles();
    for (const ClearMode mode : {ClearUntilLastMonth, ClearAll}) {
        SCOPED_TRACE(mode);
        startProcess(kMarch);
        disk.files[StoreFile::Fresh] = std::vector<uint8_t>(recordOffset(8), 0x5A);
        openDataStore(&undeletable);
        ASSERT_EQ(clearStoredLog(mode).outcome, FileOutcome::Done);
        const Image found = restartAndRead(kMarch);
        EXPECT_TRUE(found.whole) << disk.files[StoreFile::Data].size() << " bytes";
        EXPECT_EQ(found.countField, mode == ClearAll ? 0 : 2);
    }
}
