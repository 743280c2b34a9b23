// The real program with its data file held by another process for seconds, its folder on a full or read-only
// medium, and killed at any moment: every record it stored is there at the next start, once, with totals that
// count each connection once.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/journal_format.h"
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
        service = folder;
        ASSERT_TRUE(firstStartAndExit(folder));
    }

    void TearDown() override
    {
        release();
        stopProgram(program);
        clearService(service);
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
    void hold(const char* name = "Tq.dat")
    {
        holder = CreateFileA((folder + name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
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
        setService(service, 1, "connected");
        Sleep(1300);
    }

    // Such a connection, then its end.
    void connectAndEnd()
    {
        connect();
        clearService(service);
    }

    // The file holds `count` records, its length says so, its first `kStored` records and its reserved header
    // bytes are those of `before`, and its totals are those of `before` plus the records after them, each once.
    void expectWholeWith(const Bytes& before, int count)
    {
        const Bytes after = data();
        const int stored = fileRecordCount(before);
        ASSERT_EQ(fileRecordCount(after), count);
        ASSERT_EQ(after.size(), recordOffset(count));
        for (int slot = 0; slot < stored; ++slot)
            EXPECT_TRUE(sameSlot(before, after, slot)) << "stored record " << slot;
        EXPECT_EQ(changedReservedByte(before, after), -1);
        double added = 0;
        for (int slot = stored; slot < count; ++slot) {
            EXPECT_GE(fileRecord(after, slot).seconds, 1.0);
            added += fileRecord(after, slot).seconds;
        }
        EXPECT_EQ(fileCounters(after).curMonthSeconds, fileCounters(before).curMonthSeconds + added);
        if (count > stored) {
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

    bool landed(int count, DWORD milliseconds = 5000)
    {
        return waitUntil([&] { return fileRecordCount(data()) == count && !fileExists(folder + "Tq.jnl"); },
                         milliseconds);
    }

    // The month stamp's bytes of an image.
    static Bytes stampOf(const Bytes& image)
    {
        return Bytes(image.begin() + kMonthStampOffset, image.begin() + kMonthStampOffset + kSystemTimeSize);
    }

    std::unique_ptr<InstallFolder> install;
    std::string folder;
    std::string service; // where the simulated service's control file is written
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
    clearService(service);
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
    EXPECT_EQ(stampOf(data()), stampOf(before));
    expectWholeWith(before, kStored + 1);
}

// Held for longer than start-up waits: nothing of the header is written while the file cannot be read, and a
// connection that ends meanwhile is counted onto the stored figures once they are read.
TEST_F(DataSafety, AFileHeldForSecondsAcrossTheStartKeepsItsFiguresAndCountsWhatEndedMeanwhile)
{
    const Bytes before = storedImage(kStored, kStored);
    ASSERT_TRUE(writeFile(dataFile(), before));
    hold();
    const DWORD heldAt = GetTickCount();
    start();
    BoxAnswerer noBox(processId(), {});
    connectAndEnd();
    Sleep(300);
    ASSERT_LT(GetTickCount() - heldAt, 8000u) << "the connection ended after the hold";
    EXPECT_EQ(heldBytes(), before);
    Sleep(8000 - (GetTickCount() - heldAt));
    release();
    ASSERT_TRUE(landed(kStored + 1));
    EXPECT_EQ(stampOf(data()), stampOf(before));
    expectWholeWith(before, kStored + 1);
    noBox.finish(0);
}

// A journal left by a killed process and held by another at the next start is neither replayed blind nor
// deleted unread: it lands once when it can be read.
TEST_F(DataSafety, AJournalHeldAtTheStartIsReplayedOnceWhenFree)
{
    const Bytes before = storedImage(kStored, kStored);
    start(before);
    hold();
    connectAndEnd();
    ASSERT_TRUE(waitUntil([&] { return !fileBytes(folder + "Tq.jnl").empty(); }, 5000));
    kill();
    release();
    const Bytes journal = fileBytes(folder + "Tq.jnl");
    ASSERT_EQ(data(), before);
    hold("Tq.jnl");
    start();
    BoxAnswerer noBox(processId(), {});
    Sleep(2500);
    EXPECT_EQ(data(), before);
    EXPECT_EQ(heldBytes(), journal);
    release();
    ASSERT_TRUE(landed(kStored + 1));
    expectWholeWith(before, kStored + 1);
    kill();
    start();
    expectWholeWith(before, kStored + 1);
    noBox.finish(0);
}

TEST_F(DataSafety, AJournalThePreviousReleaseLeftIsReplayedAtTheStart)
{
    // Its Exit could not write Tq.dat and said the data would be written at the next start: a connection's end
    // in its own kind of journal, which names no state of the file.
    const Bytes before = storedImage(kStored, kStored);
    Bytes count(kRecordCountSize);
    putI32(count.data(), kStored + 1);
    ConnectionRecord record = fileRecord(before, kStored - 1);
    record.seconds = 42;
    Bytes recordBytes(kRecordSize);
    encodeRecord(record, recordBytes.data());
    CounterBlock totals = fileCounters(before);
    totals.lastConnSeconds = 42;
    totals.curMonthSeconds += 42;
    Bytes totalBytes(kCounterBlockSize);
    encodeCounterBlock(totals, totalBytes.data());
    const WriteBatch batch{{kRecordCountOffset, false, count},
                           {recordOffset(kStored), false, recordBytes},
                           {kCounterBlockOffset, false, totalBytes}};
    Bytes journal;
    encodeOlderJournalBatch(JournalKind::First, FileState{}, batch, journal);
    ASSERT_TRUE(writeFile(folder + "Tq.jnl", journal));
    start(before);
    BoxAnswerer noBox(processId(), {});
    ASSERT_TRUE(landed(kStored + 1));
    expectWholeWith(before, kStored + 1);
    EXPECT_EQ(fileRecord(data(), kStored).seconds, 42);
    EXPECT_FALSE(fileExists(folder + "Tq-1.jnl")) << "replayed, not set aside";
    noBox.finish(0);
}

// The program's folder on a small memory file system of its own, which a test fills or makes read-only. The
// simulated service's control file lies outside it, linked in, so that a connection can end meanwhile.
class OnItsOwnMedium : public DataSafety {
protected:
    void SetUp() override
    {
        const std::string id = std::to_string(GetCurrentProcessId());
        mountPoint = buildFolder() + "/e2e-medium-" + id;
        serviceFolder = buildFolder() + "/e2e-service-" + id;
        const int status = unixShell("mkdir -p " + mountPoint + " " + serviceFolder + " && mount -t tmpfs -o size=1m tmpfs " +
                                     mountPoint + " && ln -s " + serviceFolder + "/ras.txt " + mountPoint + "/ras.txt");
        mounted = status == 0;
        if (!mounted) {
            std::printf("[ LEG SKIPPED ] no tmpfs of its own can be mounted here (shell status %d)\n", status);
            return;
        }
        folder = windowsPath(mountPoint) + "\\";
        service = windowsPath(serviceFolder) + "\\";
        forgetProgramRegistry();
        leaveWindowsUnmanaged("Tolvar.exe");
        ASSERT_TRUE(CopyFileA(windowsPath(TOLVAR_EXE).c_str(), (folder + "Tolvar.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(windowsPath(RASAPI32_SIM).c_str(), (folder + "rasapi32.dll").c_str(), FALSE));
        ASSERT_TRUE(firstStartAndExit(folder));
    }

    // Unmounted whatever happened, once the program is gone.
    void TearDown() override
    {
        DataSafety::TearDown();
        unixShell("umount -l " + mountPoint + "; rmdir " + mountPoint + "; rm -rf " + serviceFolder);
    }

    // The system's own text for `error`, as the program's box quotes it.
    static std::string systemText(DWORD error)
    {
        char text[256] = {};
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                       sizeof text, nullptr);
        std::string reason = text;
        while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' || reason.back() == ' '))
            reason.pop_back();
        return reason;
    }

    // The one box about waiting data: the file, the reason, the promise; shown 10 s after `since`, not before.
    void expectWaitingBox(const std::vector<BoxSeen>& seen, std::chrono::steady_clock::time_point since,
                          const std::string& reason)
    {
        ASSERT_EQ(seen.size(), 1u);
        const std::string& text = seen[0].text;
        EXPECT_NE(text.find("Tq.dat"), std::string::npos) << text;
        EXPECT_NE(text.find(reason), std::string::npos) << text;
        EXPECT_NE(text.find("Nothing is lost"), std::string::npos) << text;
        const double waited = std::chrono::duration<double>(seen[0].answeredAt - since).count();
        EXPECT_GE(waited, 9.9);
        EXPECT_LE(waited, 15.0);
    }

    std::string mountPoint;
    std::string serviceFolder;
    bool mounted = false;
};

// 124 records: the next one's slot runs over the file's first 4 KiB page, so it needs a page the full disk lacks.
constexpr int kAtPageEnd = 124;
static_assert(recordOffset(kAtPageEnd) < 4096 && recordOffset(kAtPageEnd + 1) > 4096, "a slot across the page");

TEST_F(OnItsOwnMedium, AFullDiskAtAConnectionsEndKeepsTheRecordUntilThereIsRoom)
{
    if (!mounted)
        return;
    const Bytes before = storedImage(kAtPageEnd, kAtPageEnd);
    start(before);
    BoxAnswerer boxes(processId(), {{"Tolvar 2.2", "", IDOK}});
    connect();
    ASSERT_EQ(unixShell("dd if=/dev/zero of=" + mountPoint + "/filler bs=4096; true"), 0);
    clearService(service);
    const auto ended = std::chrono::steady_clock::now();
    Sleep(2000);
    EXPECT_LT(data().size(), recordOffset(kAtPageEnd + 1)) << "the disk had room after all";
    expectWaitingBox(boxes.finish(16000), ended, systemText(ERROR_DISK_FULL));
    BoxAnswerer noMore(processId(), {});
    ASSERT_EQ(unixShell("rm -f " + mountPoint + "/filler"), 0);
    ASSERT_TRUE(landed(kAtPageEnd + 1, 10000)) << data().size() << " bytes, count " << fileRecordCount(data())
                                        << (fileExists(folder + "Tq.jnl") ? ", Tq.jnl there" : "");
    expectWholeWith(before, kAtPageEnd + 1);
    Sleep(1500);
    noMore.finish(0);
}

TEST_F(OnItsOwnMedium, AMediumMadeReadOnlyDuringAConnectionTakesTheRecordOnceWritableAgain)
{
    if (!mounted)
        return;
    const Bytes before = storedImage(kStored, kStored);
    start(before);
    BoxAnswerer boxes(processId(), {{"Tolvar 2.2", "", IDOK}});
    connect();
    // Wine answers a write on a read-only mount as access denied.
    ASSERT_EQ(unixShell("mount -o remount,ro " + mountPoint), 0);
    clearService(service);
    const auto ended = std::chrono::steady_clock::now();
    Sleep(2000);
    EXPECT_EQ(data(), before);
    expectWaitingBox(boxes.finish(16000), ended, systemText(ERROR_ACCESS_DENIED));
    BoxAnswerer noMore(processId(), {});
    ASSERT_EQ(unixShell("mount -o remount,rw " + mountPoint), 0);
    ASSERT_TRUE(landed(kStored + 1, 10000));
    expectWholeWith(before, kStored + 1);
    Sleep(1500);
    noMore.finish(0);
}

// Killed at a moment of each operation and started again: the file is as before it or as after it, whole.
TEST_F(DataSafety, KilledDuringAConnectionKeepsTheFileAsItWas)
{
    const Bytes before = storedImage(kStored, kStored);
    start(before);
    connect();
    kill();
    clearService(service);
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

// Exit while the disk is still full: the record can be kept neither in the data file nor in the journal, and the
// box says so with the system's reason; the file keeps no count of a record it does not hold.
TEST_F(OnItsOwnMedium, ExitOnAFullDiskSaysTheRecordCannotBeKeptAndWhy)
{
    if (!mounted)
        return;
    const Bytes before = storedImage(kAtPageEnd, kAtPageEnd);
    start(before);
    connect();
    ASSERT_EQ(unixShell("dd if=/dev/zero of=" + mountPoint + "/filler bs=4096; true"), 0);
    clearService(service);
    Sleep(1000);
    BoxAnswerer boxes(processId(), {{"Tolvar 2.2", "", IDYES}, {"Tolvar 2.2", "", IDOK}});
    PostMessageA(program.mainWindow, WM_COMMAND, IDC_STATISTICS_EXIT, 0);
    const std::vector<BoxSeen> seen = boxes.finish(10000);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_NE(seen[1].text.find("could not be kept in Tq.jnl"), std::string::npos) << seen[1].text;
    EXPECT_NE(seen[1].text.find(systemText(ERROR_DISK_FULL)), std::string::npos) << seen[1].text;
    EXPECT_EQ(waitForExit(program, 10000), 1u);
    const Bytes after = data();
    EXPECT_LE(fileRecordCount(after), wholeSlots(after.size())) << after.size() << " bytes";
    EXPECT_EQ(fileCounters(after).curMonthSeconds, fileCounters(before).curMonthSeconds);
}

} // namespace
