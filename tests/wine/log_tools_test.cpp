// Clear and Save in file in-process, answering their boxes and the real save dialog as each test scripts them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/data_store.h"
#include "win32/program_records.h"
#include "core/layout.h"
#include "core/settings.h"
#include "win32/details_window.h"
#include "tests/wine/in_process.h"
#include "core/stored_log.h"

namespace {

using kit::monthsBefore;

ConnectionRecord record(SystemTime start, double seconds, double cost) { return ConnectionRecord{start, seconds, cost}; }

std::vector<uint8_t> readFile(const std::string& path) { return kit::fileBytes(path); }

std::string readText(const std::string& path) { return kit::fileText(path); }

std::vector<ConnectionRecord> storedRecords(const std::vector<uint8_t>& file)
{
    std::vector<ConnectionRecord> records;
    for (size_t offset = kHeaderSize; offset + kRecordSize <= file.size(); offset += kRecordSize)
        records.push_back(decodeRecord(file.data() + offset));
    return records;
}

bool sameStart(const SystemTime& a, const SystemTime& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

const char kConfirmation[] = "If you'll continue, some data will be lost!\n\nContinue?";

class LogTools : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.enter("tolvar-logtools"));
        folder = scratch.path();
        // The save dialog is sent to a folder of its own, so that a return to the data file's folder shows.
        outFolder = folder + "\\out";
        CreateDirectoryA(outFolder.c_str(), nullptr);
        target = outFolder + "\\connections.txt";
        inproc::takeAsProgramFolder(folder);

        inproc::prepareDetailsWindow(0);
    }

    void TearDown() override
    {
        if (IsWindow(details.window))
            DestroyWindow(details.window);
        // The scratch folder takes only its own files with it: the export folder goes first.
        SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(target.c_str());
        RemoveDirectoryA(outFolder.c_str());
        scratch.leave();
    }

    // The records in Tq.dat after recognisable totals, as a program that stored them has them.
    void logOf(const std::vector<ConnectionRecord>& records) { inproc::logOf(records, CounterBlock{1, 2, 3, 4, 5, 6}); }

    // Clear in `mode`, answering its confirmation with `button`; returns what the box showed.
    kit::BoxSeen clearAnswering(ClearMode mode, int button)
    {
        kit::BoxAnswerer boxes({{"Clear?", kConfirmation, button}});
        clearLog(mode);
        const std::vector<kit::BoxSeen> seen = boxes.finish();
        return seen.empty() ? kit::BoxSeen{} : seen.front();
    }

    kit::ScratchFolder scratch;
    std::string folder;
    std::string outFolder;
    std::string target;
};

TEST_F(LogTools, ClearUntilCurrentMonthKeepsThisMonthOfEveryYear)
{
    const SystemTime lastMonth = monthsBefore(1), yearAgo = monthsBefore(0, 1), now = monthsBefore(0);
    logOf({record(lastMonth, 10, 1), record(yearAgo, 20, 2), record(now, 30, 3)});
    openDetails(LastMonth);
    details.filter = LastMonth;
    ASSERT_EQ(1, inproc::detailsRowCount());

    EXPECT_EQ(IDNO, clearAnswering(ClearUntilCurrentMonth, IDYES).defaultButton);

    const std::vector<uint8_t> file = readFile("Tq.dat");
    ASSERT_EQ(kHeaderSize + 2 * kRecordSize, file.size());
    EXPECT_EQ(2, getI32(file.data() + kRecordCountOffset));
    EXPECT_EQ(2, accounting.recordCount);
    const std::vector<ConnectionRecord> kept = storedRecords(file);
    EXPECT_TRUE(sameStart(yearAgo, kept[0].start));
    EXPECT_EQ(20.0, kept[0].seconds);
    EXPECT_TRUE(sameStart(now, kept[1].start));
    EXPECT_EQ(3.0, kept[1].cost);
    // The totals are not the log's: they stay as they were.
    EXPECT_EQ(6.0, decodeCounterBlock(file.data()).lastMonthCost);
    // The refill keeps the chosen period: last month's record is gone.
    EXPECT_EQ(0, inproc::detailsRowCount());
}

TEST_F(LogTools, ClearAllOnAnEmptyLogStillAsksAndLeavesTheHeader)
{
    openDetails(All);
    clearAnswering(ClearAll, IDYES);
    const std::vector<uint8_t> file = readFile("Tq.dat");
    ASSERT_EQ(kHeaderSize, file.size());
    EXPECT_EQ(0, getI32(file.data() + kRecordCountOffset));
    EXPECT_EQ(0, accounting.recordCount);

    logOf({record(monthsBefore(0), 1, 0), record(monthsBefore(1), 2, 0)});
    clearAnswering(ClearAll, IDYES);
    EXPECT_EQ(kHeaderSize, readFile("Tq.dat").size());
    EXPECT_EQ(0, inproc::detailsRowCount());
}

TEST_F(LogTools, AnsweringNoChangesNothing)
{
    logOf({record(monthsBefore(3), 1, 0), record(monthsBefore(0), 2, 0)});
    openDetails(All);
    const std::vector<uint8_t> before = readFile("Tq.dat");
    for (ClearMode mode : {ClearAll, ClearUntilCurrentMonth, ClearUntilLastMonth})
        clearAnswering(mode, IDNO);
    EXPECT_EQ(before, readFile("Tq.dat"));
    EXPECT_EQ(2, accounting.recordCount);
    EXPECT_EQ(2, inproc::detailsRowCount());
}

TEST_F(LogTools, ClearDuringAConnectionKeepsItsSlotAfterTheKeptRecords)
{
    const SystemTime now = monthsBefore(0);
    logOf({record(monthsBefore(4), 1, 0), record(now, 2, 0), record(monthsBefore(5), 3, 0)});
    // The monitor has counted the live connection; its record is not stored yet.
    accounting.recordCount = 4;
    accounting.liveConnection.connected = true;
    openDetails(All);
    EXPECT_EQ(3, inproc::detailsRowCount());

    clearAnswering(ClearUntilCurrentMonth, IDYES);
    std::vector<uint8_t> file = readFile("Tq.dat");
    EXPECT_EQ(1, getI32(file.data() + kRecordCountOffset));
    EXPECT_EQ(kHeaderSize + kRecordSize, file.size());
    EXPECT_EQ(2, accounting.recordCount);
    EXPECT_EQ(1, inproc::detailsRowCount());

    // The connection ends as the monitor ends it: count, then the record into the reserved slot.
    accounting.liveConnection.connected = false;
    writeRecordCount();
    appendRecord(record(now, 99, 0));
    file = readFile("Tq.dat");
    EXPECT_EQ(2, getI32(file.data() + kRecordCountOffset));
    const std::vector<ConnectionRecord> stored = storedRecords(file);
    ASSERT_EQ(2u, stored.size());
    EXPECT_EQ(2.0, stored[0].seconds);
    EXPECT_EQ(99.0, stored[1].seconds);
}

TEST_F(LogTools, ExportWritesTheChosenFileReadOnly)
{
    settings.block.calculateCost = 1;
    settings.block.tariffCommon = 0.5;
    const SystemTime first{1999, 8, 0, 5, 14, 3, 27, 0};
    logOf({record(first, 3725, 1.5), record(monthsBefore(0), 60, 0.25)});
    openDetails(All);
    kit::BoxAnswerer boxes({{"Save connection data", "all1999", IDOK, target}});
    exportLog(All);
    boxes.finish();

    char line[64];
    const SystemTime now = monthsBefore(0);
    std::snprintf(line, sizeof line, "01.%02u.%04u | 10:20:30 | 000:01:00 | 0.2500$ \r\n", now.wMonth, now.wYear);
    EXPECT_EQ(std::string(49, '_') + "\r\n" + "05.08.1999 | 14:03:27 | 001:02:05 | 1.5000$ \r\n" + line,
              readText(target));
    EXPECT_TRUE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY);
    // The dialog went to another folder; the data file's folder is current again.
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_STREQ(folder.c_str(), current);
}

TEST_F(LogTools, SavingTwiceReplacesTheReadOnlyFile)
{
    logOf({record(monthsBefore(0), 61, 0)});
    openDetails(All);
    {
        kit::BoxAnswerer boxes({{"Save connection data", "", IDOK, target}});
        exportLog(CurrentMonth);
        boxes.finish();
    }
    ASSERT_TRUE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY);

    logOf({record(monthsBefore(0), 61, 0), record(monthsBefore(0), 3599, 0)});
    kit::BoxAnswerer boxes({{"Save connection data", "", IDOK, target}, {"Save connection data", "", IDYES}});
    exportLog(All);
    EXPECT_EQ(2u, boxes.finish().size());
    const std::string text = readText(target);
    EXPECT_EQ(51u + 2 * 36u, text.size());
    EXPECT_NE(std::string::npos, text.find("| 000:59:59 \r\n"));
    EXPECT_TRUE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(LogTools, SuggestedNamesOfTheMonthsAndCancelWritesNothing)
{
    const SystemTime old = monthsBefore(0, 2), last = monthsBefore(1);
    logOf({record(monthsBefore(3), 1, 0), record(old, 2, 0), record(last, 3, 0), record(monthsBefore(0), 4, 0)});
    openDetails(All);
    char oldest[16], lastMonth[16];
    std::snprintf(oldest, sizeof oldest, "%02u%04u", old.wMonth, old.wYear);
    std::snprintf(lastMonth, sizeof lastMonth, "%02u%04u", last.wMonth, last.wYear);
    kit::BoxAnswerer boxes({{"Save connection data", oldest, IDCANCEL, "ignored"},
                            {"Save connection data", lastMonth, IDCANCEL, "ignored"}});
    exportLog(CurrentMonth);
    exportLog(LastMonth);
    boxes.finish();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(target.c_str()));
    // A cancelled dialog leaves the data file's folder current, so the next operations find the log.
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_STREQ(folder.c_str(), current);
}

TEST_F(LogTools, NothingToSave)
{
    openDetails(All);
    // An empty log, a period without records, and a log holding only the live connection's reserved slot.
    const kit::Box noData{"No data", "Nothing to save.", IDOK};
    kit::BoxAnswerer boxes({noData, noData, noData});
    exportLog(All);
    logOf({record(monthsBefore(1), 1, 0)});
    exportLog(CurrentMonth);
    logOf({});
    accounting.recordCount = 1;
    accounting.liveConnection.connected = true;
    exportLog(All);
    boxes.finish();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(target.c_str()));
}

TEST_F(LogTools, AFileThatCannotBeWrittenIsReportedAndKept)
{
    std::FILE* previous = std::fopen(target.c_str(), "w");
    ASSERT_NE(nullptr, previous);
    std::fputs("kept\n", previous);
    std::fclose(previous);
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
    const HANDLE holder =
        CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);

    logOf({record(monthsBefore(0), 1, 0)});
    openDetails(All);
    kit::BoxAnswerer boxes(
        {{"Save connection data", "", IDOK, target},
         {"Save connection data", "", IDYES},
         {"Save connection data", "The file could not be written:\n" + target + "\n\nNothing was saved.", IDOK}});
    exportLog(All);
    boxes.finish();
    CloseHandle(holder);
    EXPECT_EQ("kept\r\n", readText(target));
    // The earlier export's protection is restored as well.
    EXPECT_TRUE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY);
}

} // namespace
