// Damaged stored data and hostile input, in-process: cut and scrambled data files, odd record counts,
// registry values of every length and type, and pasted amounts in the settings dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/monitor.h"
#include "core/ports.h"
#include "win32/shell.h"
#include "res/resource.h"
#include "core/layout.h"
#include "core/settings.h"
#include "win32/settings_store.h"
#include "tests/wine/in_process.h"
#include "win32/details_window.h"
#include "core/log_format.h"
#include "win32/log_tools.h"
#include "win32/settings_dialog.h"
#include "win32/time_fields.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kStoredRecords = 7;
constexpr size_t kLongestCut = 300;
const char kScratchKey[] = "Software\\Vesk\\TolvarHardening";

Bytes validImage(int32_t count = kStoredRecords) { return kit::storedImage(count, kStoredRecords); }

void writeDataFile(const Bytes& bytes) { ASSERT_TRUE(kit::writeFile("Tq.dat", bytes)); }

Bytes readDataFile() { return kit::fileBytes("Tq.dat"); }

// What survives from `before` in `after`: the reserved header bytes that existed and every record
// slot that was whole, except the one slot the program was entitled to fill.
void expectNothingStoredWasTouched(const Bytes& before, const Bytes& after, int filledSlot, const char* context)
{
    EXPECT_EQ(kit::changedReservedByte(before, after), -1) << context;
    for (int slot = 0; slot < kit::wholeSlots(before.size()); ++slot)
        EXPECT_TRUE(slot == filledSlot || kit::sameSlot(before, after, slot))
            << context << ": stored record " << slot << " was overwritten";
}

const char kClearText[] = "If you'll continue, some data will be lost!\n\nContinue?";
const kit::Box kClear{"Clear?", kClearText, IDYES};
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

// Every test runs in a folder of its own, with the records as a fresh process has them.
class Hardening : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(unmanagedWindows);
        ASSERT_TRUE(scratch.enter("tolvar-hardening"));
        inproc::takeAsProgramFolder(scratch.path());
        inproc::useCurrencySymbol("$");
        instance = GetModuleHandleA(nullptr);
        resetProcess();
    }

    void TearDown() override
    {
        if (IsWindow(detailsWindow))
            DestroyWindow(detailsWindow);
        scratch.leave();
    }

    // Zero records, with the floating timer off so that a connection opens no window.
    static void resetProcess()
    {
        inproc::zeroRecords();
        applyDefaultSettings();
        settingsBlock.showCounterOnConnect = 0;
        currentViewFilter = All;
    }

    // What start-up reads from the data file.
    static void loadLikeStartup()
    {
        readCounterBlock();
        readMonthStamp(monthStamp);
        loadRecordCount();
    }

    // A connection of `seconds` seen and closed by the monitor's own steps.
    static void connectionOf(double seconds)
    {
        beginConnection();
        liveConnection.curConnSeconds = seconds;
        liveConnection.curConnCost = seconds / 100;
        endConnection();
    }

    std::string exportFile() const { return scratch.file("export.txt"); }

    // An earlier export, which a new one would have to confirm replacing, is gone.
    void removeExport() const
    {
        SetFileAttributesA(exportFile().c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(exportFile().c_str());
    }

    kit::ScratchFolder scratch;
};

TEST_F(Hardening, ReadsOfADataFileCutAnywhereTakeOnlyWhatIsThere)
{
    const Bytes image = validImage();
    for (size_t length = 0; length <= kLongestCut; ++length) {
        const Bytes cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
        writeDataFile(cut);
        resetProcess();
        loadLikeStartup();

        Bytes expectedCounters(kCounterBlockSize, 0);
        std::memcpy(expectedCounters.data(), image.data(), length < kCounterBlockSize ? length : kCounterBlockSize);
        uint8_t counters[kCounterBlockSize];
        encodeCounterBlock(counterBlock, counters);
        EXPECT_EQ(Bytes(counters, counters + kCounterBlockSize), expectedCounters) << "length " << length;

        SystemTime stamp{};
        EXPECT_EQ(readMonthStamp(stamp), length >= kMonthStampOffset + kSystemTimeSize) << "length " << length;

        // Whatever the count field kept, the program counts the whole records the cut file still holds.
        EXPECT_EQ(recordCount, kit::wholeSlots(length)) << "length " << length;

        const std::vector<ConnectionRecord> log = loadStoredLog();
        const int expectedRows = kit::wholeSlots(length);
        ASSERT_EQ(static_cast<int>(log.size()), expectedRows) << "length " << length;
        for (int i = 0; i < expectedRows; ++i) {
            uint8_t bytes[kRecordSize];
            encodeRecord(log[static_cast<size_t>(i)], bytes);
            EXPECT_EQ(std::memcmp(bytes, image.data() + recordOffset(i), kRecordSize), 0) << "length " << length;
        }
        EXPECT_EQ(readDataFile(), cut) << "reading changed the file, length " << length;
    }
}

TEST_F(Hardening, AConnectionEndOnACutDataFileKeepsEveryWholeRecordAndTheHeader)
{
    const Bytes image = validImage();
    for (size_t length = 0; length <= kLongestCut; ++length) {
        const Bytes cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
        writeDataFile(cut);
        resetProcess();
        loadLikeStartup();
        const int32_t countBefore = recordCount;

        connectionOf(42);

        const Bytes after = readDataFile();
        const int32_t stored = getI32(after.data() + kRecordCountOffset);
        EXPECT_EQ(stored, countBefore + 1) << "length " << length;
        EXPECT_EQ(stored, recordCount) << "length " << length;
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
        const Bytes cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
        writeDataFile(cut);
        resetProcess();
        loadLikeStartup();
        const int32_t kept = kit::wholeSlots(length) < recordCount ? kit::wholeSlots(length) : recordCount;

        clearLog(ClearUntilCurrentMonth);

        Bytes expected(kHeaderSize, 0);
        std::memcpy(expected.data(), cut.data(), length < kHeaderSize ? length : kHeaderSize);
        putI32(expected.data() + kRecordCountOffset, kept);
        expected.insert(expected.end(), image.begin() + kHeaderSize,
                        image.begin() + static_cast<std::ptrdiff_t>(recordOffset(kept)));
        EXPECT_EQ(readDataFile(), expected) << "length " << length;
        EXPECT_EQ(recordCount, kept) << "length " << length;
    }
    boxes.finish();
}

TEST_F(Hardening, ExportingACutDataFileWritesTheWholeRecordsOrSaysThereIsNothing)
{
    const Bytes image = validImage();
    const std::string exportPath = exportFile();
    for (size_t length : {0u, 47u, 83u, 99u, 100u, 131u, 132u, 163u, 164u, 300u}) {
        const Bytes cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
        writeDataFile(cut);
        removeExport();
        resetProcess();
        loadLikeStartup();
        const int rows = kit::wholeSlots(length) < recordCount ? kit::wholeSlots(length) : recordCount;

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
        EXPECT_EQ(readDataFile(), cut) << "exporting changed the data file, length " << length;
    }
}

TEST_F(Hardening, ScrambledDataFilesSurviveAConnectionAListAClearAndAnExport)
{
    const std::string exportPath = exportFile();
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
        writeDataFile(scrambled);
        resetProcess();
        loadLikeStartup();
        const std::string context = "seed " + std::to_string(seed) + ", count " + std::to_string(count);

        connectionOf(42);
        const Bytes after = readDataFile();
        EXPECT_LE(after.size(), 1u << 20) << context;
        expectNothingStoredWasTouched(scrambled, after, -1, context.c_str());
        EXPECT_LE(loadStoredLog().size(), static_cast<size_t>(kit::wholeSlots(after.size()))) << context;

        removeExport();
        kit::BoxAnswerer boxes({savedIn(exportPath, true), kClear});
        exportLog(All);
        clearLog(ClearUntilCurrentMonth);
        boxes.finish();
        const Bytes cleared = readDataFile();
        ASSERT_GE(cleared.size(), kHeaderSize) << context;
        EXPECT_EQ(cleared.size(), recordOffset(getI32(cleared.data() + kRecordCountOffset))) << context;
        EXPECT_EQ(std::memcmp(cleared.data() + 64, scrambled.data() + 64, 16), 0) << context;
    }
}

// Counts no finished connection can leave behind: a new record must still go after the stored ones.
TEST_F(Hardening, OddRecordCountsNeitherOverwriteStoredRecordsNorAllocateForTheCount)
{
    const std::string exportPath = exportFile();
    for (int32_t count : {-1, INT32_MIN, 0, INT32_MAX, INT32_MAX - 1}) {
        const Bytes image = validImage(count);
        writeDataFile(image);
        resetProcess();
        loadLikeStartup();
        const std::string context = "count " + std::to_string(count);

        const std::vector<ConnectionRecord> listed = loadStoredLog();
        EXPECT_LE(listed.size(), static_cast<size_t>(kStoredRecords)) << context;

        connectionOf(42);
        const Bytes after = readDataFile();
        EXPECT_LE(after.size(), 1u << 20) << context;
        expectNothingStoredWasTouched(image, after, -1, context.c_str());

        removeExport();
        kit::BoxAnswerer boxes({savedIn(exportPath, true), kClear});
        exportLog(All);
        clearLog(ClearUntilCurrentMonth);
        boxes.finish();
        const Bytes cleared = readDataFile();
        ASSERT_GE(cleared.size(), kHeaderSize) << context;
        const int32_t left = getI32(cleared.data() + kRecordCountOffset);
        EXPECT_GE(left, 0) << context;
        EXPECT_EQ(cleared.size(), recordOffset(left)) << context;
    }
}

// A count far beyond the stored records is taken back to them at start-up, so the next connection's
// record follows them instead of landing far out behind a gap of empty slots.
TEST_F(Hardening, ACountBeyondTheStoredRecordsIsTakenBackToThem)
{
    writeDataFile(validImage(1000));
    loadLikeStartup();
    ASSERT_EQ(recordCount, kStoredRecords);
    EXPECT_EQ(loadStoredLog().size(), static_cast<size_t>(kStoredRecords));
    connectionOf(42);
    const Bytes after = readDataFile();
    expectNothingStoredWasTouched(validImage(1000), after, -1, "count 1000");
    EXPECT_EQ(getI32(after.data() + kRecordCountOffset), kStoredRecords + 1);
    EXPECT_EQ(after.size(), recordOffset(kStoredRecords + 1));
}

// A value of the settings key as the registry hands it to a reader; false when it cannot be stored.
bool storeValue(HKEY key, const char* name, DWORD type, const Bytes& bytes, Bytes& readBack)
{
    if (RegSetValueExA(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS)
        return false;
    readBack.assign(1024, 0);
    DWORD length = static_cast<DWORD>(readBack.size());
    if (RegQueryValueExA(key, name, nullptr, nullptr, readBack.data(), &length) != ERROR_SUCCESS)
        return false;
    readBack.resize(length);
    return true;
}

Bytes pattern(size_t length, unsigned salt)
{
    Bytes bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(i * 29 + salt * 7 + 1);
    return bytes;
}

TEST_F(Hardening, SettingsValuesOfEveryLengthAndTypeFillOnlyTheLeadingBytes)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    int cases = 0;
    for (DWORD type : {DWORD{REG_BINARY}, DWORD{REG_SZ}, DWORD{REG_DWORD}}) {
        for (size_t length = 0; length <= 200; ++length) {
            RegDeleteValueA(key, "Settings");
            RegDeleteValueA(key, "Settings1");
            Bytes block, extra;
            if (!storeValue(key, "Settings", type, pattern(length, 1), block) ||
                !storeValue(key, "Settings1", type, pattern(length, 2), extra))
                continue;
            ++cases;
            Bytes before(kSettingsBlockSize, 0xEE), beforeExtra(kSettingsExtraSize, 0xDD);
            settingsBlock = decodeSettingsBlock(before.data());
            settingsExtra = decodeSettingsExtra(beforeExtra.data());

            loadSettings(key);

            std::memcpy(before.data(), block.data(), block.size() < before.size() ? block.size() : before.size());
            std::memcpy(beforeExtra.data(), extra.data(),
                        extra.size() < beforeExtra.size() ? extra.size() : beforeExtra.size());
            uint8_t loaded[kSettingsBlockSize], loadedExtra[kSettingsExtraSize];
            encodeSettingsBlock(settingsBlock, loaded);
            encodeSettingsExtra(settingsExtra, loadedExtra);
            EXPECT_EQ(Bytes(loaded, loaded + sizeof loaded), before) << "type " << type << ", length " << length;
            EXPECT_EQ(Bytes(loadedExtra, loadedExtra + sizeof loadedExtra), beforeExtra)
                << "type " << type << ", length " << length;
        }
    }
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, kScratchKey);
    EXPECT_GE(cases, 3 * 201 - 10) << "the registry refused most of the values";
}

TEST_F(Hardening, PlaceValuesOfEveryLengthAndTypeStillOpenAVisibleWindow)
{
    inproc::registerDetailsClass();
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kit::kPlacementKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);

    for (DWORD type : {DWORD{REG_BINARY}, DWORD{REG_SZ}, DWORD{REG_DWORD}}) {
        for (size_t length = 0; length <= 200; ++length) {
            Bytes stored;
            if (!storeValue(key, "Place", type, pattern(length, 3), stored))
                continue;
            detailPlacement = DetailPlacement{};
            openDetails(All);
            ASSERT_TRUE(IsWindow(detailsWindow)) << "type " << type << ", length " << length;
            EXPECT_TRUE(IsWindowVisible(detailsWindow)) << "type " << type << ", length " << length;
            DestroyWindow(detailsWindow);

            DWORD againType = 0;
            bool found = false;
            const Bytes again =
                kit::registryValue(HKEY_CURRENT_USER, kit::kPlacementKey, "Place", &againType, &found);
            ASSERT_TRUE(found) << "type " << type << ", length " << length;
            EXPECT_EQ(againType, static_cast<DWORD>(REG_BINARY)) << "type " << type << ", length " << length;
            EXPECT_EQ(again.size(), kDetailPlacementSize) << "type " << type << ", length " << length;
        }
    }
    RegDeleteValueA(key, "Place");
    RegCloseKey(key);
}

// The settings dialog with pasted amounts far longer than its edits let anyone type.
class PastedAmounts : public Hardening {
protected:
    void SetUp() override
    {
        Hardening::SetUp();
        trayMenu = CreatePopupMenu();
        AppendMenuA(trayMenu, MF_STRING | MF_GRAYED, IDC_TRAY_SETTINGS, "Settings");
    }
    void TearDown() override
    {
        if (dialog != nullptr)
            DestroyWindow(dialog);
        DestroyMenu(trayMenu);
        trayMenu = nullptr;
        Hardening::TearDown();
    }

    std::string textOf(int id) { return kit::windowText(GetDlgItem(dialog, id)); }

    HWND dialog = nullptr;
};

bool validAmountText(const std::string& text)
{
    if (text.empty() || text[0] == '.')
        return false;
    int points = 0;
    for (char c : text) {
        if (c == '.')
            ++points;
        else if (c < '0' || c > '9')
            return false;
    }
    return points <= 1;
}

TEST_F(PastedAmounts, AreRefusedOrNormalisedAndStoredFromTheirFirstTenCharacters)
{
    const struct {
        std::string pasted;
        bool refused;
    } rows[] = {
        {"1234567890123456789", false},
        {"12345678901234567890", false},
        {"123456789.123456789", false},
        {"00000000000000000001.5", false},
        {"12345678901234567a", true},
        {"1234567890123456789x", true},
        {"1.2345678901234567.9", true},
        {std::string(1000, '9'), false},
        {std::string(30000, '7'), false},
        {std::string(25, '0') + "." + std::string(25, '0'), false},
    };
    for (const auto& row : rows) {
        const std::string& pasted = row.pasted;
        settingsBlock.tariffCommon = 1.5;
        dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_SETTINGS), nullptr, settingsDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
        const std::string context = pasted.substr(0, 40) + " (" + std::to_string(pasted.size()) + " characters)";
        SCOPED_TRACE(context);

        kit::BoxAnswerer boxes(row.refused ? std::vector<kit::Box>{{"Input error", "Invalid currency format!", IDOK}}
                                           : std::vector<kit::Box>{});
        SendDlgItemMessageA(dialog, IDC_TARIFF_COMMON, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pasted.c_str()));
        SetFocus(GetDlgItem(dialog, IDC_TARIFF_COMMON));
        SetFocus(GetDlgItem(dialog, IDC_SHOW_COUNTER));
        boxes.finish();

        const std::string shown = textOf(IDC_TARIFF_COMMON);
        if (row.refused)
            EXPECT_EQ(shown, "0");
        else
            EXPECT_TRUE(validAmountText(shown)) << " became " << shown.substr(0, 40);

        SendDlgItemMessageA(dialog, IDC_OK, BM_CLICK, 0, 0);
        EXPECT_TRUE(std::isfinite(settingsBlock.tariffCommon)) << context;
        EXPECT_EQ(settingsBlock.tariffCommon, std::atof(shown.substr(0, 10).c_str())) << context;
        DestroyWindow(dialog);
        dialog = nullptr;
    }
}

} // namespace
