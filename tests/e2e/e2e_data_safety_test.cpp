// The real program with its data file held by another process for seconds, and killed at any moment:
// every record it stored is there at the next start, once, with totals that count each connection once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "res/resource.h"
#include "tests/e2e/real_program.h"

using namespace e2e;
using namespace kit;

namespace {

constexpr int kStored = 5;

class DataSafety : public ::testing::Test {
protected:
    void SetUp() override
    {
        install = freshInstallForThisTest("safety-");
        folder = install->path();
        ASSERT_TRUE(firstStartAndExit(folder));
    }

    void TearDown() override
    {
        release();
        stopProgram(program);
        clearService(folder);
    }

    std::string dataFile() const { return folder + "Tq.dat"; }
    DWORD processId() const { return program.process.dwProcessId; }
    Bytes data() const { return fileBytes(dataFile()); }

    void start(const Bytes& image)
    {
        ASSERT_TRUE(writeFile(dataFile(), image));
        start();
    }

    void start()
    {
        program = startProgram(folder);
        ASSERT_NE(program.mainWindow, nullptr) << "the program did not start";
    }

    void kill()
    {
        TerminateProcess(program.process.hProcess, 9);
        WaitForSingleObject(program.process.hProcess, 10000);
        stopProgram(program);
    }

    // Another process opens the file without sharing, as a backup or a virus scanner does.
    void hold()
    {
        holder = CreateFileA(dataFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    }

    // The file as the holder sees it: nobody else can read it meanwhile.
    Bytes heldBytes() const
    {
        Bytes bytes(1 << 16);
        DWORD read = 0;
        SetFilePointer(holder, 0, nullptr, FILE_BEGIN);
        ReadFile(holder, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        bytes.resize(read);
        return bytes;
    }

    void release()
    {
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        holder = INVALID_HANDLE_VALUE;
    }

    // A connection up for a little over a second, noticed by the program.
    void connect()
    {
        setService(folder, 1, "connected");
        Sleep(1300);
    }

    // Such a connection, then its end.
    void connectAndEnd()
    {
        connect();
        clearService(folder);
    }

    // The file holds `count` records, its length says so, its first `kStored` records and its reserved header
    // bytes are those of `before`, and its totals are those of `before` plus the records after them, each once.
    void expectWholeWith(const Bytes& before, int count)
    {
        const Bytes after = data();
        ASSERT_EQ(fileRecordCount(after), count);
        ASSERT_EQ(after.size(), recordOffset(count));
        for (int slot = 0; slot < kStored; ++slot)
            EXPECT_TRUE(sameSlot(before, after, slot)) << "stored record " << slot;
        EXPECT_EQ(changedReservedByte(before, after), -1);
        double added = 0;
        for (int slot = kStored; slot < count; ++slot) {
            EXPECT_GE(fileRecord(after, slot).seconds, 1.0);
            added += fileRecord(after, slot).seconds;
        }
        EXPECT_EQ(fileCounters(after).curMonthSeconds, fileCounters(before).curMonthSeconds + added);
        if (count > kStored) {
            EXPECT_EQ(fileCounters(after).lastConnSeconds, fileRecord(after, count - 1).seconds);
        }
        EXPECT_FALSE(fileExists(folder + "Tq.jnl"));
        EXPECT_FALSE(fileExists(folder + "Tq.new"));
    }

    // Gives the command, answers its confirmation with Yes, and kills the program `delay` ms after the answer.
    void answerThenKill(int command, HWND window, const char* caption, DWORD delay)
    {
        BoxAnswerer boxes(processId(), {{caption, "", IDYES}});
        PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(command), 0);
        ASSERT_EQ(boxes.finish(5000).size(), 1u);
        Sleep(delay);
        kill();
    }

    bool landed(int count)
    {
        return waitUntil([&] { return fileRecordCount(data()) == count && !fileExists(folder + "Tq.jnl"); }, 5000);
    }

    std::unique_ptr<InstallFolder> install;
    std::string folder;
    Program program;
    HANDLE holder = INVALID_HANDLE_VALUE;
};

// How long another process holds the file: a glance, a backup's seconds, and (in the long run) half a minute.
class HeldAtTheEnd : public DataSafety, public ::testing::WithParamInterface<DWORD> {};

TEST_P(HeldAtTheEnd, TheRecordLandsOnceWhenTheFileIsFree)
{
    const Bytes before = storedImage(kStored, kStored);
    start(before);
    connect();
    hold();
    clearService(folder);
    Sleep(GetParam());
    EXPECT_EQ(heldBytes(), before) << "nothing reaches a held file";
    release();
    ASSERT_TRUE(landed(kStored + 1));
    expectWholeWith(before, kStored + 1);
}

std::vector<DWORD> holds()
{
    std::vector<DWORD> milliseconds{50, 2000};
    if (std::getenv("TOLVAR_LONG_RUNS") != nullptr)
        milliseconds.push_back(30000);
    return milliseconds;
}

INSTANTIATE_TEST_SUITE_P(Holds, HeldAtTheEnd, ::testing::ValuesIn(holds()));

TEST_F(DataSafety, TwoConnectionsEndingWhileTheFileIsHeldLandInTheirOrder)
{
    const Bytes before = storedImage(kStored, kStored);
    start(before);
    hold();
    connectAndEnd();
    Sleep(300);
    connectAndEnd();
    Sleep(400);
    release();
    ASSERT_TRUE(landed(kStored + 2));
    expectWholeWith(before, kStored + 2);
    const Bytes after = data();
    EXPECT_LT(fileRecord(after, kStored).start.wSecond + 60 * fileRecord(after, kStored).start.wMinute,
              fileRecord(after, kStored + 1).start.wSecond + 60 * fileRecord(after, kStored + 1).start.wMinute);
}

TEST_F(DataSafety, ExitWithTheFileStillHeldSaysSoAndTheNextStartStoresTheRecord)
{
    const Bytes before = storedImage(kStored, kStored);
    start(before);
    hold();
    connectAndEnd();
    Sleep(300);
    BoxAnswerer boxes(processId(), {{"Tolvar 2.2", "", IDYES}, {"Tolvar 2.2", "", IDOK}});
    PostMessageA(program.mainWindow, WM_COMMAND, IDC_STATISTICS_EXIT, 0);
    const std::vector<BoxSeen> seen = boxes.finish(5000);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_NE(seen[1].text.find("Tq.jnl"), std::string::npos) << seen[1].text;
    EXPECT_EQ(waitForExit(program, 5000), 1u);
    stopProgram(program);
    EXPECT_EQ(heldBytes(), before);
    release();
    start();
    expectWholeWith(before, kStored + 1);
}

// A start while another process holds the file waits for it, rather than taking the file for one without a
// stamp and writing a new one over the stored stamp once the file is free.
TEST_F(DataSafety, AStartWhileTheFileIsHeldWaitsForItAndKeepsTheStamp)
{
    const Bytes before = storedImage(kStored, kStored);
    ASSERT_TRUE(writeFile(dataFile(), before));
    hold();
    const HANDLE held = holder;
    const HANDLE releaser = closeHandleLater(held, 1500);
    holder = INVALID_HANDLE_VALUE;
    start();
    WaitForSingleObject(releaser, INFINITE);
    CloseHandle(releaser);
    connectAndEnd();
    ASSERT_TRUE(landed(kStored + 1));
    const Bytes after = data();
    EXPECT_EQ(Bytes(before.begin() + kMonthStampOffset, before.begin() + kMonthStampOffset + kSystemTimeSize),
              Bytes(after.begin() + kMonthStampOffset, after.begin() + kMonthStampOffset + kSystemTimeSize));
    expectWholeWith(before, kStored + 1);
}

// Killed at a moment of each operation and started again: the file is as before it or as after it, whole.
TEST_F(DataSafety, KilledDuringAConnectionKeepsTheFileAsItWas)
{
    const Bytes before = storedImage(kStored, kStored);
    start(before);
    connect();
    kill();
    clearService(folder);
    start();
    EXPECT_EQ(data(), before);
}

TEST_F(DataSafety, KilledRightAfterAConnectionEndsHasItWholeOrNotAtAll)
{
    for (DWORD delay : {0, 15, 40, 100}) {
        SCOPED_TRACE(delay);
        const Bytes before = storedImage(kStored, kStored);
        start(before);
        connectAndEnd();
        Sleep(delay);
        kill();
        start();
        const int count = fileRecordCount(data());
        EXPECT_TRUE(count == kStored || count == kStored + 1) << count;
        expectWholeWith(before, count);
        kill();
    }
}

TEST_F(DataSafety, KilledDuringASumUpHasTheMonthsRolledWholeOrNotAtAll)
{
    for (DWORD delay : {0, 5, 20}) {
        SCOPED_TRACE(delay);
        const Bytes before = storedImage(kStored, kStored);
        start(before);
        answerThenKill(IDC_STATISTICS_SUM_UP, program.mainWindow, "Sum Up?", delay);
        start();
        const Bytes after = data();
        const CounterBlock old = fileCounters(before);
        const CounterBlock now = fileCounters(after);
        if (now.lastMonthSeconds == old.lastMonthSeconds) {
            EXPECT_EQ(now.curMonthSeconds, old.curMonthSeconds);
            EXPECT_EQ(decodeSystemTime(after.data() + kMonthStampOffset).wMilliseconds,
                      decodeSystemTime(before.data() + kMonthStampOffset).wMilliseconds);
        } else {
            EXPECT_EQ(now.lastMonthSeconds, old.curMonthSeconds);
            EXPECT_EQ(now.curMonthSeconds, 0);
            EXPECT_EQ(now.lastMonthCost, old.curMonthCost);
        }
        EXPECT_EQ(after.size(), before.size());
        kill();
    }
}

TEST_F(DataSafety, KilledDuringAClearOfTenThousandRecordsLeavesTheOldLogOrTheNew)
{
    constexpr int kMany = 10000;
    for (DWORD delay : {0, 30, 120}) {
        SCOPED_TRACE(delay);
        const Bytes before = storedImage(kMany, kMany);
        start(before);
        const HWND details = openDetailsList(program);
        ASSERT_NE(details, nullptr);
        answerThenKill(IDC_DETAILS_CLEAR_ALL, details, "Clear?", delay);
        start();
        const Bytes after = data();
        if (after.size() != before.size()) {
            ASSERT_EQ(after.size(), kHeaderSize);
            EXPECT_EQ(fileRecordCount(after), 0);
            EXPECT_EQ(Bytes(before.begin(), before.begin() + kRecordCountOffset),
                      Bytes(after.begin(), after.begin() + kRecordCountOffset));
        } else {
            EXPECT_EQ(after, before);
        }
        EXPECT_FALSE(fileExists(folder + "Tq.new"));
        kill();
    }
}

} // namespace
