// Clear and Save in file in-process, answering their boxes and the real save dialog from a watcher thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/ports.h"
#include "win32/shell.h"
#include "core/layout.h"
#include "core/settings.h"
#include "tests/wine/wine_support.h"
#include "win32/details_window.h"

namespace {

using wine::monthsBefore;

ConnectionRecord record(SystemTime start, double seconds, double cost) { return ConnectionRecord{start, seconds, cost}; }

std::vector<uint8_t> readFile(const std::string& path) { return wine::fileBytes(path); }

std::string readText(const std::string& path)
{
    const std::vector<uint8_t> bytes = readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// Tq.dat in the current folder: a recognisable counter block, the count, then the records.
void writeDataFile(const std::vector<ConnectionRecord>& records, int32_t storedCount)
{
    const std::vector<uint8_t> bytes = wine::logImage(records, storedCount, CounterBlock{1, 2, 3, 4, 5, 6});
    ASSERT_TRUE(wine::writeFileBytes("Tq.dat", bytes.data(), bytes.size()));
}

std::vector<ConnectionRecord> storedRecords(const std::vector<uint8_t>& file)
{
    std::vector<ConnectionRecord> records;
    for (size_t offset = kHeaderSize; offset + kRecordSize <= file.size(); offset += kRecordSize)
        records.push_back(decodeRecord(file.data() + offset));
    return records;
}

bool sameStart(const SystemTime& a, const SystemTime& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// One window the watcher waits for and how it answers it.
struct Answer {
    std::string caption;  // caption of the #32770 window
    int button;           // button to press
    std::string fileName; // non-empty: the window is the save dialog, and this name is entered first
};

// What the watcher found in a window it answered.
struct Seen {
    std::string caption; // its caption
    std::string text;    // a message box's text, or the file name the save dialog suggested
    int defaultButton;   // the button that Enter would press
};

// Answers the given windows of the test's thread in order, then dismisses anything else that appears.
// Not wine::MessageBoxWatcher: the windows come in an expected order and the save dialog is filled in.
class Watcher {
public:
    explicit Watcher(std::vector<Answer> answers)
        : answers_(std::move(answers)), uiThread_(GetCurrentThreadId()), thread_([this] { run(); })
    {
    }
    ~Watcher()
    {
        stop_ = true;
        thread_.join();
    }
    // Waits until every expected window was answered; the seen windows afterwards.
    std::vector<Seen> finish()
    {
        stop_ = true;
        thread_.join();
        thread_ = std::thread([] {});
        return seen_;
    }
    std::vector<std::string> unexpected() const { return unexpected_; }

private:
    // A window not answered yet that fits `answer`; nullptr: any such dialog.
    HWND find(const Answer* answer) const
    {
        return wine::findThreadBox(uiThread_, [&](HWND window) {
            if (std::find(answered_.begin(), answered_.end(), window) != answered_.end())
                return false;
            if (answer == nullptr)
                return true;
            const bool isSaveDialog = GetDlgItem(window, wine::kFileNameCombo) != nullptr;
            return wine::windowText(window) == answer->caption && isSaveDialog == !answer->fileName.empty() &&
                   GetDlgItem(window, answer->button) != nullptr;
        });
    }

    void answerOne(const Answer& answer, HWND window)
    {
        Seen seen{answer.caption, "", wine::readMessageBox(window).defaultButton};
        if (answer.fileName.empty()) {
            seen.text = wine::windowText(GetDlgItem(window, wine::kMessageBoxText));
        } else {
            const HWND name = GetDlgItem(window, wine::kFileNameCombo);
            seen.text = wine::windowText(name);
            SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(answer.fileName.c_str()));
        }
        seen_.push_back(seen);
        // Under Wine without a window manager a closing window can stay visible for seconds: an answered
        // window is never looked at again.
        answered_.push_back(window);
        PostMessageA(GetDlgItem(window, answer.button), BM_CLICK, 0, 0);
    }

    void run()
    {
        using Clock = std::chrono::steady_clock;
        for (const Answer& answer : answers_) {
            const Clock::time_point deadline = Clock::now() + std::chrono::seconds(15);
            HWND window = nullptr;
            while (window == nullptr && Clock::now() < deadline) {
                window = find(&answer);
                if (window == nullptr)
                    Sleep(10);
            }
            if (window == nullptr) {
                unexpected_.push_back("never appeared: " + answer.caption);
                break;
            }
            answerOne(answer, window);
        }
        // Anything further would block the test's thread forever: note it and dismiss it.
        while (!stop_) {
            const HWND window = find(nullptr);
            if (window != nullptr) {
                unexpected_.push_back(wine::windowText(window) + ": " +
                                      wine::windowText(GetDlgItem(window, wine::kMessageBoxText)));
                for (int button : {IDNO, IDCANCEL, IDOK}) {
                    if (const HWND control = GetDlgItem(window, button)) {
                        PostMessageA(control, BM_CLICK, 0, 0);
                        break;
                    }
                }
                Sleep(200);
            }
            Sleep(10);
        }
    }

    std::vector<Answer> answers_;
    DWORD uiThread_;
    std::vector<Seen> seen_;
    std::vector<HWND> answered_;
    std::vector<std::string> unexpected_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

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
        wine::takeAsProgramFolder(folder);

        wine::prepareDetailsWindow(0);
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

    void logOf(const std::vector<ConnectionRecord>& records)
    {
        writeDataFile(records, static_cast<int32_t>(records.size()));
        accounting.recordCount = static_cast<int32_t>(records.size());
    }

    // Clear in `mode`, answering the confirmation with `button`; returns what the box showed.
    Seen clearAnswering(ClearMode mode, int button)
    {
        Watcher watcher({{"Clear?", button, ""}});
        clearLog(mode);
        const std::vector<Seen> seen = watcher.finish();
        EXPECT_TRUE(watcher.unexpected().empty()) << watcher.unexpected().front();
        return seen.empty() ? Seen{} : seen.front();
    }

    wine::ScratchFolder scratch;
    std::string folder;
    std::string outFolder;
    std::string target;
};

TEST_F(LogTools, ClearUntilCurrentMonthKeepsThisMonthOfEveryYear)
{
    const SystemTime lastMonth = monthsBefore(1), yearAgo = monthsBefore(0, 1), now = monthsBefore(0);
    logOf({record(lastMonth, 10, 1), record(yearAgo, 20, 2), record(now, 30, 3)});
    openDetails(All);
    ASSERT_EQ(3, wine::detailsRowCount());

    const Seen box = clearAnswering(ClearUntilCurrentMonth, IDYES);
    EXPECT_EQ(kConfirmation, box.text);
    EXPECT_EQ(IDNO, box.defaultButton);

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
    EXPECT_EQ(2, wine::detailsRowCount());
}

TEST_F(LogTools, ClearUntilLastMonthKeepsTheLastTwoMonths)
{
    const SystemTime twoAgo = monthsBefore(2), last = monthsBefore(1), old = monthsBefore(0, 3),
                     now = monthsBefore(0);
    logOf({record(twoAgo, 1, 0), record(last, 2, 0), record(old, 3, 0), record(twoAgo, 4, 0), record(now, 5, 0)});
    openDetails(LastMonth);
    details.filter = LastMonth;
    clearAnswering(ClearUntilLastMonth, IDYES);

    const std::vector<ConnectionRecord> kept = storedRecords(readFile("Tq.dat"));
    ASSERT_EQ(3u, kept.size());
    EXPECT_EQ(2.0, kept[0].seconds);
    EXPECT_EQ(3.0, kept[1].seconds);
    EXPECT_EQ(5.0, kept[2].seconds);
    EXPECT_EQ(3, accounting.recordCount);
    // The refill keeps the chosen period.
    EXPECT_EQ(1, wine::detailsRowCount());
}

TEST_F(LogTools, ClearAllOnAnEmptyLogStillAsksAndLeavesTheHeader)
{
    openDetails(All);
    const Seen box = clearAnswering(ClearAll, IDYES);
    EXPECT_EQ(kConfirmation, box.text);
    const std::vector<uint8_t> file = readFile("Tq.dat");
    ASSERT_EQ(kHeaderSize, file.size());
    EXPECT_EQ(0, getI32(file.data() + kRecordCountOffset));
    EXPECT_EQ(0, accounting.recordCount);

    logOf({record(monthsBefore(0), 1, 0), record(monthsBefore(1), 2, 0)});
    clearAnswering(ClearAll, IDYES);
    EXPECT_EQ(kHeaderSize, readFile("Tq.dat").size());
    EXPECT_EQ(0, wine::detailsRowCount());
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
    EXPECT_EQ(2, wine::detailsRowCount());
}

TEST_F(LogTools, ClearDuringAConnectionKeepsItsSlotAfterTheKeptRecords)
{
    const SystemTime now = monthsBefore(0);
    logOf({record(monthsBefore(4), 1, 0), record(now, 2, 0), record(monthsBefore(5), 3, 0)});
    // The monitor has counted the live connection; its record is not stored yet.
    accounting.recordCount = 4;
    accounting.liveConnection.connected = true;
    openDetails(All);
    EXPECT_EQ(3, wine::detailsRowCount());

    clearAnswering(ClearUntilCurrentMonth, IDYES);
    std::vector<uint8_t> file = readFile("Tq.dat");
    EXPECT_EQ(1, getI32(file.data() + kRecordCountOffset));
    EXPECT_EQ(kHeaderSize + kRecordSize, file.size());
    EXPECT_EQ(2, accounting.recordCount);
    EXPECT_EQ(1, wine::detailsRowCount());

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
    Watcher watcher({{"Save connection data", IDOK, target}});
    exportLog(All);
    const std::vector<Seen> seen = watcher.finish();
    ASSERT_TRUE(watcher.unexpected().empty()) << watcher.unexpected().front();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("all1999", seen[0].text);

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
        Watcher watcher({{"Save connection data", IDOK, target}});
        exportLog(CurrentMonth);
        watcher.finish();
        ASSERT_TRUE(watcher.unexpected().empty()) << watcher.unexpected().front();
    }
    ASSERT_TRUE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY);

    logOf({record(monthsBefore(0), 61, 0), record(monthsBefore(0), 3599, 0)});
    Watcher watcher({{"Save connection data", IDOK, target}, {"Save connection data", IDYES, ""}});
    exportLog(All);
    const std::vector<Seen> seen = watcher.finish();
    ASSERT_TRUE(watcher.unexpected().empty()) << watcher.unexpected().front();
    EXPECT_EQ(2u, seen.size());
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
    Watcher watcher({{"Save connection data", IDCANCEL, "ignored"}, {"Save connection data", IDCANCEL, "ignored"}});
    exportLog(CurrentMonth);
    exportLog(LastMonth);
    const std::vector<Seen> seen = watcher.finish();
    ASSERT_TRUE(watcher.unexpected().empty()) << watcher.unexpected().front();
    ASSERT_EQ(2u, seen.size());
    char expected[16];
    std::snprintf(expected, sizeof expected, "%02u%04u", old.wMonth, old.wYear);
    EXPECT_EQ(expected, seen[0].text);
    std::snprintf(expected, sizeof expected, "%02u%04u", last.wMonth, last.wYear);
    EXPECT_EQ(expected, seen[1].text);
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
    Watcher watcher({{"No data", IDOK, ""}, {"No data", IDOK, ""}, {"No data", IDOK, ""}});
    exportLog(All);
    logOf({record(monthsBefore(1), 1, 0)});
    exportLog(CurrentMonth);
    logOf({});
    accounting.recordCount = 1;
    accounting.liveConnection.connected = true;
    exportLog(All);
    const std::vector<Seen> seen = watcher.finish();
    ASSERT_TRUE(watcher.unexpected().empty()) << watcher.unexpected().front();
    ASSERT_EQ(3u, seen.size());
    for (const Seen& box : seen)
        EXPECT_EQ("Nothing to save.", box.text);
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
    Watcher watcher({{"Save connection data", IDOK, target},
                     {"Save connection data", IDYES, ""},
                     {"Save connection data", IDOK, ""}});
    exportLog(All);
    const std::vector<Seen> seen = watcher.finish();
    CloseHandle(holder);
    ASSERT_TRUE(watcher.unexpected().empty()) << watcher.unexpected().front();
    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ(std::string("The file could not be written:\n") + target + "\n\nNothing was saved.", seen[2].text);
    EXPECT_EQ("kept\r\n", readText(target));
    // The earlier export's protection is restored as well.
    EXPECT_TRUE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY);
}

} // namespace
