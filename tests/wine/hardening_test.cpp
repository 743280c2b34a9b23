// Damaged data files in-process: files cut anywhere, scrambled files and odd record counts under the program's
// own start-up and every operation that reads or writes the log.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/monitor.h"
#include "win32/program_records.h"
#include "res/resource.h"
#include "core/layout.h"
#include "core/settings.h"
#include "win32/settings_store.h"
#include "win32/details_window.h"
#include "core/log_format.h"
#include "core/stored_log.h"
#include "win32/time_fields.h"
#include "tests/wine/in_process.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kStoredRecords = 7;
constexpr size_t kLongestCut = 300;

Bytes validImage(int32_t count = kStoredRecords) { return kit::storedImage(count, kStoredRecords); }

// The data file where start-up finds it: beside the test program.
void writeDataFile(const Bytes& bytes) { ASSERT_TRUE(kit::writeFile(inproc::dataFilePath(), bytes)); }

Bytes readDataFile() { return kit::fileBytes(inproc::dataFilePath()); }

// The image's first `length` bytes.
Bytes cutTo(const Bytes& image, size_t length)
{
    return Bytes(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
}

// What survives from `before` in `after`: the reserved header bytes that existed and every record
// slot that was whole, except the one slot the program was entitled to fill.
void expectNothingStoredWasTouched(const Bytes& before, const Bytes& after, int filledSlot, const char* context)
{
    EXPECT_EQ(kit::changedReservedByte(before, after), -1) << context;
    for (int slot = 0; slot < kit::wholeSlots(before.size()); ++slot)
        EXPECT_TRUE(slot == filledSlot || kit::sameSlot(before, after, slot))
            << context << ": stored record " << slot << " was overwritten";
}

// Clear's question answered Yes; its text is Clear's own tests'.
const kit::Box kClear{"Clear?", "", IDYES};
const kit::Box kNoData{"No data", "Nothing to save.", IDOK};

// Save in file's dialog answered with `path`, or the box that says there is nothing to save.
kit::Box savedIn(const std::string& path, bool orNothing)
{
    kit::Box saving{"Save connection data", "", IDOK, path};
    if (orNothing)
        saving.otherwise.push_back(kNoData);
    return saving;
}

// Without a window manager, Wine waits up to two seconds for every hidden window it manages to be
// withdrawn; this process's windows are left unmanaged so that each message box ends at once.
// Set before the first window exists, when the display driver reads its options.
const bool unmanagedWindows = [] {
    const std::string path = kit::moduleFolder();
    const std::string module = [] {
        char name[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, name, sizeof name);
        return std::string(name);
    }();
    return kit::leaveWindowsUnmanaged(module.substr(path.size()).c_str());
}();

// Every test starts after one first start of the program, so that its starts are later ones that read the
// data file; exports go to a folder of the test's own.
class Hardening : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(unmanagedWindows);
        inproc::forgetEarlierRuns();
        ASSERT_TRUE(scratch.enter("tolvar-hardening"));
        inproc::useCurrencySymbol("$");
        shell.instance = GetModuleHandleA(nullptr);
        startUp();
        DeleteFileA(inproc::dataFilePath().c_str());
    }

    void TearDown() override
    {
        if (IsWindow(details.window))
            DestroyWindow(details.window);
        inproc::forgetEarlierRuns();
        scratch.leave();
    }

    // The program's own start-up on the records as a fresh process has them, with the floating timer off so
    // that a connection opens no window.
    static void startUp()
    {
        inproc::zeroRecords();
        loadStartupState();
        settings.block.showCounterOnConnect = 0;
        details.filter = All;
    }

    // A start of the program on this data file.
    static void startOn(const Bytes& file)
    {
        writeDataFile(file);
        startUp();
    }

    // A connection of `seconds` seen and closed by the monitor's own steps.
    static void connectionOf(double seconds)
    {
        beginConnection();
        accounting.liveConnection.curConnSeconds = seconds;
        accounting.liveConnection.curConnCost = seconds / 100;
        endConnection();
    }

    std::string exportFile() const { return scratch.file("export.txt"); }

    // Save in file of the whole log, which may say there is nothing to save and must leave the data file as it
    // was, then a confirmed Clear until the current month, which leaves a header and whole records, and the
    // reserved header bytes of `before`.
    void exportAndClear(const Bytes& before, const std::string& context) const
    {
        removeExport();
        const Bytes stored = readDataFile();
        kit::BoxAnswerer boxes({savedIn(exportFile(), true), kClear});
        exportLog(All);
        EXPECT_EQ(readDataFile(), stored) << "the export changed the data file, " << context;
        clearLog(ClearUntilCurrentMonth);
        boxes.finish();
        const Bytes cleared = readDataFile();
        ASSERT_GE(cleared.size(), kHeaderSize) << context;
        const int32_t left = getI32(cleared.data() + kRecordCountOffset);
        EXPECT_GE(left, 0) << context;
        EXPECT_EQ(cleared.size(), recordOffset(left)) << context;
        EXPECT_EQ(kit::changedReservedByte(before, cleared), -1) << context;
    }

    // The end of a connection on a damaged file: a record was stored, not over a stored one nor far beyond the
    // file, and the list holds no more than the file's count.
    static void expectConnectionStored(const Bytes& before, const std::string& context)
    {
        connectionOf(42);
        const Bytes after = readDataFile();
        EXPECT_NE(after, before) << "the end of the connection stored nothing, " << context;
        EXPECT_LE(after.size(), 1u << 20) << context;
        expectNothingStoredWasTouched(before, after, -1, context.c_str());
        const int32_t count = kit::fileRecordCount(after);
        if (count >= 1 && count <= 1000) {
            EXPECT_EQ(after.size(), recordOffset(count)) << "the new record is not the last whole one, " << context;
            EXPECT_EQ(kit::fileRecord(after, count - 1).seconds, 42.0) << context;
        }
        const size_t listed = loadStoredLog().size();
        EXPECT_LE(listed, static_cast<size_t>(std::max(count, 0))) << context;
        EXPECT_LE(listed, static_cast<size_t>(kit::wholeSlots(after.size()))) << context;
    }

    // An earlier export, which a new one would have to confirm replacing, is gone.
    void removeExport() const
    {
        SetFileAttributesA(exportFile().c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(exportFile().c_str());
    }

    kit::ScratchFolder scratch;
};

TEST_F(Hardening, StartUpAndTheListOnADataFileCutAnywhereTakeOnlyWhatIsThere)
{
    const Bytes image = validImage();
    const SystemTime now = kit::localNow();
    for (size_t length = 0; length <= kLongestCut; ++length) {
        const Bytes cut = cutTo(image, length);
        startOn(cut);
        const Bytes started = readDataFile();

        Bytes expectedCounters(kCounterBlockSize, 0);
        std::memcpy(expectedCounters.data(), image.data(), length < kCounterBlockSize ? length : kCounterBlockSize);
        uint8_t counters[kCounterBlockSize];
        encodeCounterBlock(accounting.counterBlock, counters);
        EXPECT_EQ(Bytes(counters, counters + kCounterBlockSize), expectedCounters) << "length " << length;

        // A whole stamp is taken as it is; a file without one gets this month's, and nothing before it changes.
        uint8_t stamp[kSystemTimeSize];
        encodeSystemTime(accounting.monthStamp, stamp);
        if (length >= kMonthStampOffset + kSystemTimeSize) {
            EXPECT_EQ(std::memcmp(stamp, image.data() + kMonthStampOffset, kSystemTimeSize), 0) << "length " << length;
            EXPECT_EQ(started, cut) << "start-up changed the file, length " << length;
        } else {
            EXPECT_EQ(accounting.monthStamp.wYear, now.wYear) << "length " << length;
            EXPECT_EQ(accounting.monthStamp.wMonth, now.wMonth) << "length " << length;
            ASSERT_EQ(started.size(), kMonthStampOffset + kSystemTimeSize) << "length " << length;
            const size_t kept = std::min<size_t>(length, kMonthStampOffset); // a part of a stamp is replaced
            EXPECT_TRUE(std::equal(cut.begin(), cut.begin() + static_cast<std::ptrdiff_t>(kept), started.begin()))
                << "length " << length;
            const SystemTime written = decodeSystemTime(started.data() + kMonthStampOffset);
            EXPECT_EQ(written.wYear, now.wYear) << "length " << length;
            EXPECT_EQ(written.wMonth, now.wMonth) << "length " << length;
        }

        // Whatever the count field kept, the program counts the whole records the cut file still holds.
        EXPECT_EQ(accounting.recordCount, kit::wholeSlots(length)) << "length " << length;

        const std::vector<ConnectionRecord> log = loadStoredLog();
        const int expectedRows = kit::wholeSlots(length);
        ASSERT_EQ(static_cast<int>(log.size()), expectedRows) << "length " << length;
        for (int i = 0; i < expectedRows; ++i) {
            uint8_t bytes[kRecordSize];
            encodeRecord(log[static_cast<size_t>(i)], bytes);
            EXPECT_EQ(std::memcmp(bytes, image.data() + recordOffset(i), kRecordSize), 0) << "length " << length;
        }
        EXPECT_EQ(readDataFile(), started) << "listing changed the file, length " << length;
    }
}

TEST_F(Hardening, AConnectionEndOnACutDataFileKeepsEveryWholeRecordAndTheHeader)
{
    const Bytes image = validImage();
    for (size_t length = 0; length <= kLongestCut; ++length) {
        const Bytes cut = cutTo(image, length);
        startOn(cut);
        const int32_t countBefore = accounting.recordCount;

        connectionOf(42);

        const Bytes after = readDataFile();
        const int32_t stored = getI32(after.data() + kRecordCountOffset);
        EXPECT_EQ(stored, countBefore + 1) << "length " << length;
        EXPECT_EQ(stored, accounting.recordCount) << "length " << length;
        EXPECT_GE(stored - 1, kit::wholeSlots(length)) << "the new record went over a stored one, length " << length;
        EXPECT_EQ(after.size(), recordOffset(stored - 1) + kRecordSize) << "length " << length;
        EXPECT_EQ(kit::fileRecord(after, stored - 1).seconds, 42.0) << "length " << length;
        expectNothingStoredWasTouched(cut, after, stored - 1, ("length " + std::to_string(length)).c_str());
    }
}

TEST_F(Hardening, ClearingACutDataFileKeepsTheWholeRecordsOfTheMonth)
{
    const Bytes image = validImage();
    kit::BoxAnswerer boxes(std::vector<kit::Box>(kLongestCut + 1, kClear)); // one confirmation per Clear
    for (size_t length = 0; length <= kLongestCut; ++length) {
        const Bytes cut = cutTo(image, length);
        startOn(cut);
        const Bytes started = readDataFile(); // with this month's stamp where the cut left none
        const int32_t kept = std::min(kit::wholeSlots(length), accounting.recordCount);

        clearLog(ClearUntilCurrentMonth);

        Bytes expected(kHeaderSize, 0);
        std::memcpy(expected.data(), started.data(), std::min<size_t>(started.size(), kHeaderSize));
        putI32(expected.data() + kRecordCountOffset, kept);
        expected.insert(expected.end(), image.begin() + kHeaderSize,
                        image.begin() + static_cast<std::ptrdiff_t>(recordOffset(kept)));
        EXPECT_EQ(readDataFile(), expected) << "length " << length;
        EXPECT_EQ(accounting.recordCount, kept) << "length " << length;
    }
    boxes.finish();
}

TEST_F(Hardening, ExportingACutDataFileWritesTheWholeRecordsOrSaysThereIsNothing)
{
    const Bytes image = validImage();
    const std::string exportPath = exportFile();
    for (size_t length : {0u, 47u, 83u, 99u, 100u, 131u, 132u, 163u, 164u, 300u}) {
        const Bytes cut = cutTo(image, length);
        removeExport();
        startOn(cut);
        const Bytes started = readDataFile();
        const int rows = std::min(kit::wholeSlots(length), accounting.recordCount);

        kit::BoxAnswerer boxes({rows == 0 ? kNoData : savedIn(exportPath, false)});
        exportLog(All);
        boxes.finish();
        if (rows == 0)
            continue;
        std::FILE* file = std::fopen(exportPath.c_str(), "rb");
        ASSERT_NE(file, nullptr) << "length " << length;
        int lines = 0, c;
        while ((c = std::fgetc(file)) != EOF)
            lines += c == '\n';
        std::fclose(file);
        EXPECT_EQ(lines, 1 + rows) << "length " << length;
        EXPECT_EQ(readDataFile(), started) << "exporting changed the data file, length " << length;
    }
}

TEST_F(Hardening, ScrambledDataFilesSurviveAConnectionAListAClearAndAnExport)
{
    for (unsigned seed = 1; seed <= 8; ++seed) {
        std::mt19937 random(seed);
        Bytes scrambled(kLongestCut);
        for (uint8_t& byte : scrambled)
            byte = static_cast<uint8_t>(random());
        // A count that reaches far past the file's end would grow it by up to four gigabytes;
        // that case has a test of its own.
        const int32_t count = getI32(scrambled.data() + kRecordCountOffset);
        if (count > kStoredRecords && count < (1 << 27))
            continue;
        startOn(scrambled);
        const std::string context = "seed " + std::to_string(seed) + ", count " + std::to_string(count);

        expectConnectionStored(scrambled, context);
        exportAndClear(scrambled, context);
    }
}

// Counts no finished connection can leave behind: a new record must still go after the stored ones.
TEST_F(Hardening, OddRecordCountsNeitherOverwriteStoredRecordsNorAllocateForTheCount)
{
    for (int32_t count : {-1, INT32_MIN, 0, INT32_MAX, INT32_MAX - 1}) {
        const Bytes image = validImage(count);
        startOn(image);
        const std::string context = "count " + std::to_string(count);

        const std::vector<ConnectionRecord> listed = loadStoredLog();
        EXPECT_LE(listed.size(), static_cast<size_t>(kStoredRecords)) << context;

        expectConnectionStored(image, context);
        exportAndClear(image, context);
    }
}

// A count far beyond the stored records is taken back to them at start-up, so the next connection's
// record follows them instead of landing far out behind a gap of empty slots.
TEST_F(Hardening, ACountBeyondTheStoredRecordsIsTakenBackToThem)
{
    startOn(validImage(1000));
    ASSERT_EQ(accounting.recordCount, kStoredRecords);
    EXPECT_EQ(loadStoredLog().size(), static_cast<size_t>(kStoredRecords));
    connectionOf(42);
    const Bytes after = readDataFile();
    expectNothingStoredWasTouched(validImage(1000), after, -1, "count 1000");
    EXPECT_EQ(getI32(after.data() + kRecordCountOffset), kStoredRecords + 1);
    EXPECT_EQ(after.size(), recordOffset(kStoredRecords + 1));
}

} // namespace
