// Damaged stored data and hostile input, in-process: cut and scrambled data files, odd record counts,
// registry values of every length and type, and pasted amounts in the settings dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/monitor.h"
#include "core/ports.h"
#include "win32/shell.h"
#include "res/resource.h"
#include "core/layout.h"
#include "core/settings.h"
#include "win32/settings_store.h"
#include "tests/wine/wine_support.h"
#include "win32/details_window.h"
#include "core/log_format.h"
#include "win32/time_fields.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kStoredRecords = 7;
constexpr size_t kLongestCut = 300;
const char kScratchKey[] = "Software\\Vesk\\TolvarHardening";

// A whole data file: recognisable totals and stamp, patterned reserved bytes, the count and
// kStoredRecords records of this month, each different from the others.
Bytes validImage(int32_t count = kStoredRecords)
{
    Bytes image(kHeaderSize + kRecordSize * kStoredRecords, 0);
    encodeCounterBlock(CounterBlock{11, 22, 33, 1.5, 2.5, 3.5}, image.data());
    encodeSystemTime(wine::localNow(), image.data() + kMonthStampOffset);
    for (size_t i = 64; i < 80; ++i)
        image[i] = 0xA5;
    for (size_t i = 84; i < kHeaderSize; ++i)
        image[i] = 0x5A;
    putI32(image.data() + kRecordCountOffset, count);
    for (int i = 0; i < kStoredRecords; ++i) {
        SystemTime start = wine::localNow();
        start.wDay = 1;
        start.wHour = static_cast<uint16_t>(i);
        start.wMilliseconds = static_cast<uint16_t>(100 + i);
        encodeRecord(ConnectionRecord{start, 60.0 * (i + 1), 0.25 * (i + 1)}, image.data() + recordOffset(i));
    }
    return image;
}

void writeDataFile(const Bytes& bytes) { ASSERT_TRUE(wine::writeFileBytes("Tq.dat", bytes.data(), bytes.size())); }

Bytes readDataFile() { return wine::fileBytes("Tq.dat"); }

int wholeSlots(size_t length) { return length < kHeaderSize ? 0 : static_cast<int>((length - kHeaderSize) / kRecordSize); }

Bytes slice(const Bytes& bytes, size_t from, size_t size)
{
    if (from >= bytes.size())
        return {};
    const size_t end = from + size < bytes.size() ? from + size : bytes.size();
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(end));
}

// The seconds of a record slot of a file image, or NaN when the slot is not whole.
double fileRecordSeconds(const Bytes& bytes, int slot)
{
    if (slot < 0 || recordOffset(slot) + kRecordSize > bytes.size())
        return std::nan("");
    return decodeRecord(bytes.data() + recordOffset(slot)).seconds;
}

// What survives from `before` in `after`: the reserved header bytes that existed and every record
// slot that was whole, except the one slot the program was entitled to fill.
void expectNothingStoredWasTouched(const Bytes& before, const Bytes& after, int filledSlot, const char* context)
{
    for (size_t i = 64; i < kHeaderSize && i < before.size(); ++i) {
        if (i >= kRecordCountOffset && i < kRecordCountOffset + kRecordCountSize)
            continue;
        ASSERT_LT(i, after.size()) << context;
        EXPECT_EQ(after[i], before[i]) << context << ": reserved header byte " << i;
    }
    for (int slot = 0; slot < wholeSlots(before.size()); ++slot) {
        if (slot == filledSlot)
            continue;
        EXPECT_TRUE(slice(after, recordOffset(slot), kRecordSize) == slice(before, recordOffset(slot), kRecordSize))
            << context << ": stored record " << slot << " was overwritten";
    }
}

// Answers every dialog box of this thread from a second one: Yes where there is one, a file name
// in a save dialog, otherwise OK. Notes the caption and text of each. Not wine::MessageBoxWatcher, which
// finds boxes by owner: Clear and Save in file give theirs the detailed window, closed here, so they are
// as unowned as the settings dialog; and a save dialog must be filled in.
class BoxAnswerer {
public:
    explicit BoxAnswerer(std::string fileName = "") : fileName_(std::move(fileName)), thread_([this] { run(); }) {}
    ~BoxAnswerer() { stop(); }

    void stop()
    {
        running_ = false;
        if (thread_.joinable())
            thread_.join();
    }
    std::vector<std::string> seen()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

private:
    void answer(HWND box)
    {
        const std::string shown =
            wine::windowText(box) + "|" + wine::windowText(GetDlgItem(box, wine::kMessageBoxText));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.push_back(shown);
        }
        if (HWND name = GetDlgItem(box, wine::kFileNameCombo)) {
            SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fileName_.c_str()));
            PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        } else {
            const HWND yes = GetDlgItem(box, IDYES);
            PostMessageA(yes != nullptr ? yes : GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        }
        for (int wait = 0; wait < 300 && IsWindow(box) && IsWindowVisible(box); ++wait)
            Sleep(10);
    }

    void run()
    {
        while (running_) {
            // The settings dialog, with the program's own OK, is the test's to drive.
            const HWND box =
                wine::findThreadBox(uiThread_, [](HWND window) { return GetDlgItem(window, IDC_OK) == nullptr; });
            if (box != nullptr)
                answer(box);
            Sleep(5);
        }
    }

    std::string fileName_;
    DWORD uiThread_ = GetCurrentThreadId();
    std::atomic<bool> running_{true};
    std::mutex mutex_;
    std::vector<std::string> seen_;
    std::thread thread_;
};

// Without a window manager, Wine waits up to two seconds for every hidden window it manages to be
// withdrawn; this process's windows are left unmanaged so that each message box ends at once.
// Set before the first window exists, when the display driver reads its options.
const bool unmanagedWindows = [] {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    const char* name = std::strrchr(path, '\\') != nullptr ? std::strrchr(path, '\\') + 1 : path;
    char keyPath[MAX_PATH + 64];
    std::snprintf(keyPath, sizeof keyPath, "Software\\Wine\\AppDefaults\\%s\\X11 Driver", name);
    return wine::setRegistryValue(HKEY_CURRENT_USER, keyPath, "Managed", REG_SZ, "N", 2);
}();

// Every test runs in a folder of its own, with the records as a fresh process has them.
class Hardening : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(unmanagedWindows);
        ASSERT_TRUE(scratch.enter("tolvar-hardening"));
        wine::takeAsProgramFolder(scratch.path());
        wine::useCurrencySymbol("$");
        shell.instance = GetModuleHandleA(nullptr);
        resetProcess();
    }

    void TearDown() override
    {
        if (IsWindow(details.window))
            DestroyWindow(details.window);
        scratch.leave();
    }

    // Zero records, with the floating timer off so that a connection opens no window.
    static void resetProcess()
    {
        wine::zeroRecords();
        applyDefaultSettings();
        settings.block.showCounterOnConnect = 0;
        details.filter = All;
    }

    // What start-up reads from the data file.
    static void loadLikeStartup()
    {
        readCounterBlock();
        readMonthStamp(accounting.monthStamp);
        loadRecordCount();
    }

    // A connection of `seconds` seen and closed by the monitor's own steps.
    static void connectionOf(double seconds)
    {
        beginConnection();
        accounting.liveConnection.curConnSeconds = seconds;
        accounting.liveConnection.curConnCost = seconds / 100;
        endConnection();
    }

    std::string exportFile() const { return scratch.path() + "\\export.txt"; }

    wine::ScratchFolder scratch;
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
        encodeCounterBlock(accounting.counterBlock, counters);
        EXPECT_EQ(Bytes(counters, counters + kCounterBlockSize), expectedCounters) << "length " << length;

        SystemTime stamp{};
        EXPECT_EQ(readMonthStamp(stamp), length >= kMonthStampOffset + kSystemTimeSize) << "length " << length;

        // Whatever the count field kept, the program counts the whole records the cut file still holds.
        EXPECT_EQ(accounting.recordCount, wholeSlots(length)) << "length " << length;

        const std::vector<ConnectionRecord> log = loadStoredLog();
        const int expectedRows = wholeSlots(length);
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
        const int32_t countBefore = accounting.recordCount;

        connectionOf(42);

        const Bytes after = readDataFile();
        const int32_t stored = getI32(after.data() + kRecordCountOffset);
        EXPECT_EQ(stored, countBefore + 1) << "length " << length;
        EXPECT_EQ(stored, accounting.recordCount) << "length " << length;
        EXPECT_GE(stored - 1, wholeSlots(length)) << "the new record went over a stored one, length " << length;
        EXPECT_EQ(after.size(), recordOffset(stored - 1) + kRecordSize) << "length " << length;
        EXPECT_EQ(fileRecordSeconds(after, stored - 1), 42.0) << "length " << length;
        expectNothingStoredWasTouched(cut, after, stored - 1, ("length " + std::to_string(length)).c_str());
    }
}

TEST_F(Hardening, ClearingACutDataFileKeepsTheWholeRecordsOfTheMonth)
{
    const Bytes image = validImage();
    BoxAnswerer answerer;
    for (size_t length = 0; length <= kLongestCut; ++length) {
        const Bytes cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
        writeDataFile(cut);
        resetProcess();
        loadLikeStartup();
        const int32_t kept = wholeSlots(length) < accounting.recordCount ? wholeSlots(length) : accounting.recordCount;

        clearLog(ClearUntilCurrentMonth);

        Bytes expected(kHeaderSize, 0);
        std::memcpy(expected.data(), cut.data(), length < kHeaderSize ? length : kHeaderSize);
        putI32(expected.data() + kRecordCountOffset, kept);
        expected.insert(expected.end(), image.begin() + kHeaderSize,
                        image.begin() + static_cast<std::ptrdiff_t>(recordOffset(kept)));
        EXPECT_EQ(readDataFile(), expected) << "length " << length;
        EXPECT_EQ(accounting.recordCount, kept) << "length " << length;
    }
    answerer.stop();
    EXPECT_EQ(answerer.seen().size(), kLongestCut + 1) << "one confirmation per Clear";
}

TEST_F(Hardening, ExportingACutDataFileWritesTheWholeRecordsOrSaysThereIsNothing)
{
    const Bytes image = validImage();
    const std::string exportPath = exportFile();
    for (size_t length : {0u, 47u, 83u, 99u, 100u, 131u, 132u, 163u, 164u, 300u}) {
        const Bytes cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
        writeDataFile(cut);
        SetFileAttributesA(exportPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(exportPath.c_str());
        resetProcess();
        loadLikeStartup();
        const int rows = wholeSlots(length) < accounting.recordCount ? wholeSlots(length) : accounting.recordCount;

        BoxAnswerer answerer(exportPath);
        exportLog(All);
        answerer.stop();

        const std::vector<std::string> seen = answerer.seen();
        ASSERT_EQ(seen.size(), 1u) << "length " << length;
        if (rows == 0) {
            EXPECT_EQ(seen[0], "No data|Nothing to save.") << "length " << length;
            continue;
        }
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
        EXPECT_LE(loadStoredLog().size(), static_cast<size_t>(wholeSlots(after.size()))) << context;

        BoxAnswerer answerer(exportPath);
        exportLog(All);
        clearLog(ClearUntilCurrentMonth);
        answerer.stop();
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

        BoxAnswerer answerer(exportPath);
        exportLog(All);
        clearLog(ClearUntilCurrentMonth);
        answerer.stop();
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
    ASSERT_EQ(accounting.recordCount, kStoredRecords);
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
            settings.block = decodeSettingsBlock(before.data());
            settings.extra = decodeSettingsExtra(beforeExtra.data());

            loadSettings(key);

            std::memcpy(before.data(), block.data(), block.size() < before.size() ? block.size() : before.size());
            std::memcpy(beforeExtra.data(), extra.data(),
                        extra.size() < beforeExtra.size() ? extra.size() : beforeExtra.size());
            uint8_t loaded[kSettingsBlockSize], loadedExtra[kSettingsExtraSize];
            encodeSettingsBlock(settings.block, loaded);
            encodeSettingsExtra(settings.extra, loadedExtra);
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
    wine::registerDetailsClass();
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, wine::kPlacementKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);

    for (DWORD type : {DWORD{REG_BINARY}, DWORD{REG_SZ}, DWORD{REG_DWORD}}) {
        for (size_t length = 0; length <= 200; ++length) {
            Bytes stored;
            if (!storeValue(key, "Place", type, pattern(length, 3), stored))
                continue;
            details.placement = DetailPlacement{};
            openDetails(All);
            ASSERT_TRUE(IsWindow(details.window)) << "type " << type << ", length " << length;
            EXPECT_TRUE(IsWindowVisible(details.window)) << "type " << type << ", length " << length;
            DestroyWindow(details.window);

            DWORD againType = 0;
            bool found = false;
            const Bytes again =
                wine::registryValue(HKEY_CURRENT_USER, wine::kPlacementKey, "Place", &againType, &found);
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
        shell.trayMenu = CreatePopupMenu();
        AppendMenuA(shell.trayMenu, MF_STRING | MF_GRAYED, IDC_TRAY_SETTINGS, "Settings");
    }
    void TearDown() override
    {
        if (dialog != nullptr)
            DestroyWindow(dialog);
        DestroyMenu(shell.trayMenu);
        shell.trayMenu = nullptr;
        Hardening::TearDown();
    }

    std::string textOf(int id) { return wine::windowText(GetDlgItem(dialog, id)); }

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
    const std::string texts[] = {
        "1234567890123456789",
        "12345678901234567890",
        "123456789.123456789",
        "00000000000000000001.5",
        "12345678901234567a",
        "1234567890123456789x",
        "1.2345678901234567.9",
        std::string(1000, '9'),
        std::string(30000, '7'),
        std::string(25, '0') + "." + std::string(25, '0'),
    };
    for (const std::string& pasted : texts) {
        settings.block.tariffCommon = 1.5;
        dialog = CreateDialogParamA(shell.instance, MAKEINTRESOURCEA(IDD_SETTINGS), nullptr, settingsDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
        const std::string context = pasted.substr(0, 40) + " (" + std::to_string(pasted.size()) + " characters)";

        BoxAnswerer answerer;
        SendDlgItemMessageA(dialog, IDC_TARIFF_COMMON, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pasted.c_str()));
        SetFocus(GetDlgItem(dialog, IDC_TARIFF_COMMON));
        SetFocus(GetDlgItem(dialog, IDC_SHOW_COUNTER));
        answerer.stop();

        const std::string shown = textOf(IDC_TARIFF_COMMON);
        const std::vector<std::string> boxes = answerer.seen();
        if (boxes.empty()) {
            EXPECT_TRUE(validAmountText(shown)) << context << " became " << shown.substr(0, 40);
        } else {
            EXPECT_EQ(boxes, std::vector<std::string>{"Input error|Invalid currency format!"}) << context;
            EXPECT_EQ(shown, "0") << context;
        }

        SendDlgItemMessageA(dialog, IDC_OK, BM_CLICK, 0, 0);
        EXPECT_TRUE(std::isfinite(settings.block.tariffCommon)) << context;
        EXPECT_EQ(settings.block.tariffCommon, std::atof(shown.substr(0, 10).c_str())) << context;
        DestroyWindow(dialog);
        dialog = nullptr;
    }
}

} // namespace
