// The data file survives a process that dies after any byte it writes, with or without a power loss that takes
// back what was not flushed, and a process that dies while it replays a journal.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/data_store.h"
#include "core/monitor.h"
#include "core/month.h"
#include "core/stored_figures.h"
#include "tests/native/session.h"
#include "core/stored_log.h"

namespace {

const SystemTime kMarch = day(2000, 3, 15);
const SystemTime kApril = day(2000, 4, 2);

// One step of the swept session: at most one batch or one replacement of the file each.
struct Step {
    const char* name;
    std::function<void()> run;
};

std::vector<Step> session()
{
    return {
        {"connection", [] { connectFor(27); }},
        {"a connection begins", [] {
             fake.connectionCount = 1;
             fake.connectionState = kRasConnected;
             tick();
             fake.calendarTime += 40;
             tick();
         }},
        {"Sum Up during it", [] { sumUp(); }},
        {"it ends", [] {
             fake.calendarTime += 60;
             tick();
             fake.connectionCount = 0;
             tick();
         }},
        {"Clear until current month", [] { clearStoredLog(ClearUntilCurrentMonth); }},
        {"connection", [] { connectFor(5); }},
        {"restart with a roll-over", [] { startProcess(kApril); }},
        {"connection", [] { connectFor(90); }},
        {"Clear until last month", [] { clearStoredLog(ClearUntilLastMonth); }},
        {"Clear all", [] { clearStoredLog(ClearAll); }},
        {"connection", [] { connectFor(12); }},
    };
}

// What a start-up finds after each step of a whole run: entry i is the state after i steps.
std::vector<Image> imagesAfterEachStep(const Disk& start, int64_t& units)
{
    std::vector<Image> images;
    const std::vector<Step> steps = session();
    for (size_t done = 0; done <= steps.size(); ++done) {
        disk = start;
        startProcess(kMarch);
        disk.spent = 0;
        for (size_t i = 0; i < done; ++i)
            steps[i].run();
        units = disk.spent;
        images.push_back(restartAndRead(kApril));
    }
    return images;
}

// Runs the session until the process dies at unit `cut`; returns how many steps it completed.
size_t runUntilCut(const Disk& start, int64_t cut)
{
    disk = start;
    startProcess(kMarch);
    disk.spent = 0;
    disk.budget = cut;
    size_t completed = 0;
    for (const Step& step : session()) {
        step.run();
        if (disk.dead)
            break;
        ++completed;
    }
    return completed;
}

struct Loss {
    const char* name;
    bool power;
    PowerLoss loss;
    uint32_t seed;
};
const Loss kLosses[] = {{"process killed", false, PowerLoss::KeepAll, 0},
                        {"power loss, nothing unflushed kept", true, PowerLoss::DropAll, 0},
                        {"power loss, every write kept", true, PowerLoss::KeepAll, 0},
                        {"power loss, some sectors kept (1)", true, PowerLoss::KeepSome, 1},
                        {"power loss, some sectors kept (2)", true, PowerLoss::KeepSome, 2},
                        {"power loss, some sectors kept (3)", true, PowerLoss::KeepSome, 3}};

} // namespace

TEST(CrashPoints, EveryCutInASessionLeavesTheStateBeforeOrAfterItsStep)
{
    storeStartingFiles();
    const Disk start = disk;
    int64_t units = 0;
    const std::vector<Image> images = imagesAfterEachStep(start, units);
    for (size_t i = 0; i < images.size(); ++i)
        ASSERT_TRUE(images[i].whole) << "after step " << i;
    for (const Loss& loss : kLosses) {
        SCOPED_TRACE(loss.name);
        std::vector<int> seen(images.size(), 0);
        for (int64_t cut = 0; cut <= units; ++cut) {
            const size_t completed = runUntilCut(start, cut);
            if (loss.power)
                losePower(loss.loss, loss.seed + static_cast<uint32_t>(cut));
            const Image found = restartAndRead(kApril);
            ASSERT_TRUE(found.whole) << "cut after " << cut << " of " << units << " units, in step " << completed;
            const bool before = found == images[completed];
            const bool after = completed + 1 < images.size() && found == images[completed + 1];
            ASSERT_TRUE(before || after) << "cut after " << cut << " units, in step " << completed << " ("
                                         << (completed < session().size() ? session()[completed].name : "end") << ")";
            ++seen[completed + (after && !before)];
        }
        for (size_t i = 0; i < images.size(); ++i)
            EXPECT_GT(seen[i], 0) << "no cut left the state after step " << i;
    }
    std::printf("%lld cut points per kind of loss, %zu kinds\n", static_cast<long long>(units + 1),
                sizeof kLosses / sizeof kLosses[0]);
}

TEST(CrashPoints, AReplayCutAnywhereIsTakenUpByTheNextStart)
{
    // The connection's end is journaled while the data file is held, then the process dies.
    storeStartingFiles();
    startProcess(kMarch);
    disk.dataHeld = true;
    connectFor(27);
    ASSERT_TRUE(writesPending());
    disk.dataHeld = false;
    const Disk withJournal = disk;
    const Image expected = [&] {
        const Image image = restartAndRead(kMarch);
        disk = withJournal;
        return image;
    }();
    ASSERT_EQ(expected.log.size(), 4u);
    // The next start dies at every unit of its replay, with or without a power loss; the one after finishes it.
    disk = withJournal;
    disk.spent = 0;
    startProcess(kMarch);
    const int64_t units = disk.spent;
    for (const Loss& loss : kLosses) {
        for (int64_t cut = 0; cut <= units; ++cut) {
            disk = withJournal;
            disk.spent = 0;
            disk.budget = cut;
            startProcess(kMarch);
            if (loss.power)
                losePower(loss.loss, loss.seed + static_cast<uint32_t>(cut));
            ASSERT_TRUE(restartAndRead(kMarch) == expected) << loss.name << ", cut after " << cut << " of " << units;
        }
    }
}

TEST(HeldDataFile, WritesWaitInOrderAndLandOnceWhenTheFileIsFree)
{
    storeStartingFiles();
    const std::vector<uint8_t> untouched = disk.files[StoreFile::Data];
    startProcess(kMarch);
    disk.dataHeld = true;
    connectFor(27);
    connectFor(60);
    EXPECT_TRUE(writesPending());
    EXPECT_EQ(disk.files[StoreFile::Data], untouched);
    EXPECT_EQ(replaceLog(nullptr, 0).outcome, FileOutcome::Held) << "Clear waits for what is pending";
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
    EXPECT_FALSE(storedFiguresLoaded()) << "the figures wait for the file";
    disk.dataHeld = false;
    // A failed try is made again after a second of ticks.
    for (int i = 0; i <= 20; ++i)
        tick();
    EXPECT_TRUE(storedFiguresLoaded());
    EXPECT_FALSE(writesPending());
    EXPECT_EQ(disk.files.count(StoreFile::Journal), 0u);

    const Image landed = restartAndRead(kMarch);
    EXPECT_TRUE(landed.whole);
    ASSERT_EQ(landed.log.size(), 5u);
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(std::memcmp(&seen[i], &landed.log[i], sizeof seen[i]), 0) << "record " << i << " read while waiting";
    EXPECT_EQ(landed.log[3].seconds, 27);
    EXPECT_EQ(landed.log[4].seconds, 60);
    EXPECT_EQ(landed.totals.lastConnSeconds, 60);
    EXPECT_EQ(landed.totals.curMonthSeconds, 27 + 27 + 60);
}
