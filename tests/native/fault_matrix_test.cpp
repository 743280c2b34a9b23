// A fault planted at every call of the file seam in turn, of every kind that call can meet, brief or lasting:
// once it clears, the files hold what a fault-free run leaves, every ended connection exactly once.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/data_store.h"
#include "core/month.h"
#include "tests/native/session.h"
#include "core/stored_log.h"

namespace {

const SystemTime kMarch = day(2000, 3, 15);
const SystemTime kApril = day(2000, 4, 2);

struct Session {
    const char* name;
    bool fromEmptyFolder;       // a first run in an empty folder, else the three-month log
    std::function<void()> run;  // its operations, Exit last
    SystemTime readAt;          // when the files are read back
};

const Session kSessions[] = {
    {"connections and Sum Ups", false,
     [] {
         startProcess(kMarch);
         connectFor(27);
         sumUpPatiently();
         connectFor(100, 40);
         connectFor(60);
         exitPatiently();
     },
     kMarch},
    {"a roll-over at start-up and Clear", false,
     [] {
         startProcess(kMarch);
         connectFor(30);
         exitPatiently();
         startProcess(kApril);
         connectFor(45);
         clearPatiently(ClearUntilCurrentMonth);
         connectFor(10);
         exitPatiently();
     },
     kApril},
    {"a first run and Clear in each mode", true,
     [] {
         startProcess(kMarch, true);
         connectFor(20);
         clearPatiently(ClearUntilLastMonth);
         connectFor(25);
         clearPatiently(ClearAll);
         connectFor(5);
         exitPatiently();
         startProcess(kMarch);
         connectFor(8);
         clearPatiently(ClearUntilCurrentMonth);
         exitPatiently();
     },
     kMarch},
};

// The faults a call of this kind can meet.
std::vector<FaultKind> faultsFor(const std::string& call)
{
    const std::string kind = call.substr(0, call.find(' '));
    if (kind == "write" || kind == "setLength")
        return {FaultKind::Held, FaultKind::DiskFull, FaultKind::Denied};
    if (kind == "read")
        return {FaultKind::Held, FaultKind::ReadError};
    if (kind == "flush")
        return {FaultKind::Held, FaultKind::Denied};
    return {FaultKind::Held, FaultKind::Refused};
}

const char* const kFaultNames[] = {"held", "disk full", "denied", "read error", "refused"};

Disk startingDisk(const Session& session)
{
    if (session.fromEmptyFolder)
        return Disk{};
    storeStartingFiles();
    return disk;
}

} // namespace

TEST(FaultMatrix, AfterAnyFaultAtAnyCallTheFilesHoldWhatAFaultFreeRunLeaves)
{
    size_t runs = 0;
    for (const Session& session : kSessions) {
        SCOPED_TRACE(session.name);
        const Disk start = startingDisk(session);
        disk = start;
        session.run();
        const std::vector<std::string> calls = disk.callKinds;
        const Image expected = restartAndRead(session.readAt);
        ASSERT_TRUE(expected.whole);

        for (size_t call = 0; call < calls.size(); ++call) {
            for (const FaultKind kind : faultsFor(calls[call])) {
                for (const int64_t ticks : {int64_t{3}, int64_t{-1}}) {
                    disk = start;
                    disk.fault.atCall = static_cast<int64_t>(call);
                    disk.fault.kind = kind;
                    disk.fault.ticks = ticks;
                    session.run();
                    const Image found = restartAndRead(session.readAt);
                    ++runs;
                    ASSERT_TRUE(found.whole && found == expected)
                        << kFaultNames[static_cast<int>(kind)] << (ticks < 0 ? ", lasting," : " for 3 ticks,")
                        << " at call " << call << " (" << calls[call] << ") of " << calls.size() << ": found "
                        << found.log.size() << " records, count field " << found.countField << ", expected "
                        << expected.log.size() << "; totals " << found.totals.curMonthSeconds << "/"
                        << found.totals.lastMonthSeconds << " vs " << expected.totals.curMonthSeconds << "/"
                        << expected.totals.lastMonthSeconds << ", stamp month " << found.stamp.wMonth << " vs "
                        << expected.stamp.wMonth << ", whole " << found.whole;
                }
            }
        }
        std::printf("%s: %zu calls\n", session.name, calls.size());
    }
    std::printf("%zu faulty runs\n", runs);
}
