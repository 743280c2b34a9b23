// The real program on damaged data files, odd record counts, a data file it cannot write, damaged
// stored values and a currency symbol that does not fit: it runs on and loses nothing it stored.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>

#include "res/resource.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/hardening_support.h"

using namespace e2e;

namespace {

const char kSettingsKey[] = "Software\\Vesk\\Tolvar\\1.0";
const char kPlacementKey[] = "Software\\Vesk\\Tolvar\\2.0";
const char kInternationalKey[] = "Control Panel\\International";
constexpr int kStoredRecords = 7;

std::string testName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// A folder of its own for each test, after one first start so that later starts load the data file.
class Damaged : public ::testing::Test {
protected:
    void SetUp() override
    {
        deleteProgramRegistry();
        leaveProgramWindowsUnmanaged();
        std::string name = testName();
        for (char& c : name)
            if (c == '/')
                c = '_';
        folder = makeInstallFolder(("harden-" + name).c_str());
        ASSERT_TRUE(firstStartAndExit(folder));
        DeleteFileA(dataFile().c_str());
    }

    void TearDown() override
    {
        stopProgram(program);
        clearService(folder);
        SetFileAttributesA(exportFile().c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(exportFile().c_str());
    }

    std::string dataFile() const { return folder + "Tq.dat"; }
    std::string exportFile() const { return folder + "export.txt"; }

    void start()
    {
        program = startProgram(folder);
        ASSERT_NE(program.mainWindow, nullptr) << "the program did not start";
    }


    bool alive() { return waitForExit(program, 0) == STILL_ACTIVE && IsWindow(program.mainWindow); }

    // A connection, the list, an export and a Clear of the whole records of this month, checking after
    // each step that the program still runs and that nothing it had stored was overwritten.
    void runEverything(const Bytes& before)
    {
        const int whole = wholeSlots(before.size());
        ASSERT_TRUE(connectionOf(folder, 1200)) << "the end of the connection changed nothing";
        ASSERT_TRUE(alive());
        const Bytes after = readFileBytes(dataFile());
        EXPECT_EQ(changedReservedByte(before, after), -1);
        for (int slot = 0; slot < whole; ++slot)
            EXPECT_TRUE(sameSlot(before, after, slot)) << "stored record " << slot << " was overwritten";
        const int32_t count = fileRecordCount(after);
        EXPECT_LE(after.size(), 1u << 20);
        if (count >= 1 && count <= 1000) {
            EXPECT_EQ(after.size(), recordOffset(count)) << "the new record is not the last whole one";
            EXPECT_GE(fileRecord(after, count - 1).seconds, 1.0);
        }

        const HWND details = openDetailsList(program);
        ASSERT_NE(details, nullptr);
        EXPECT_GE(listRows(details), 0);
        EXPECT_LE(listRows(details), count > 0 ? count : 0);
        const std::string exported = exportAll(program, details, exportFile());
        EXPECT_TRUE(exported == "saved" || exported == "No data|Nothing to save.") << exported;
        ASSERT_TRUE(alive());
        EXPECT_EQ(readFileBytes(dataFile()), after) << "the export changed the data file";

        EXPECT_EQ(clearUntilCurrentMonth(program, details),
                  "Clear?|If you'll continue, some data will be lost!\n\nContinue?");
        ASSERT_TRUE(alive());
        ASSERT_TRUE(waitUntil([&] { return readFileBytes(dataFile()).size() >= kHeaderSize; }, 3000));
        const Bytes cleared = readFileBytes(dataFile());
        EXPECT_EQ(cleared.size(), recordOffset(fileRecordCount(cleared)));
        EXPECT_EQ(changedReservedByte(before, cleared), -1);
        EXPECT_EQ(exitThroughMenu(program), 1u);
    }

    std::string folder;
    Program program;
};

class CutDataFile : public Damaged, public ::testing::WithParamInterface<size_t> {};

TEST_P(CutDataFile, RunsOnAndKeepsEveryWholeRecord)
{
    const Bytes image = dataImage(kStoredRecords, kStoredRecords);
    const size_t length = GetParam() < image.size() ? GetParam() : image.size();
    Bytes cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
    if (GetParam() > image.size())
        cut.resize(GetParam(), 0x3C);
    ASSERT_TRUE(writeBytes(dataFile(), cut));
    start();
    runEverything(cut);
}

INSTANTIATE_TEST_SUITE_P(Lengths, CutDataFile,
                         ::testing::Values(0, 1, 47, 48, 63, 64, 79, 80, 83, 84, 99, 100, 101, 131, 132, 133, 163,
                                           300));

class ScrambledDataFile : public Damaged, public ::testing::WithParamInterface<unsigned> {};

TEST_P(ScrambledDataFile, RunsOnAndKeepsEveryWholeSlot)
{
    std::mt19937 random(GetParam());
    Bytes scrambled(300);
    for (uint8_t& byte : scrambled)
        byte = static_cast<uint8_t>(random());
    ASSERT_TRUE(writeBytes(dataFile(), scrambled));
    start();
    runEverything(scrambled);
}

// Four scrambled files; the third one's count is negative.
INSTANTIATE_TEST_SUITE_P(Seeds, ScrambledDataFile, ::testing::Values(1u, 2u, 3u, 5u));

class OddRecordCount : public Damaged, public ::testing::WithParamInterface<int32_t> {};

TEST_P(OddRecordCount, NeitherOverwritesStoredRecordsNorAllocatesForTheCount)
{
    const Bytes image = dataImage(GetParam(), kStoredRecords);
    ASSERT_TRUE(writeBytes(dataFile(), image));
    start();
    runEverything(image);
}

INSTANTIATE_TEST_SUITE_P(Counts, OddRecordCount, ::testing::Values(-1, 0, INT_MAX));

TEST_F(Damaged, ADataFileHeldOpenAtAConnectionsEndLosesOnlyThatConnection)
{
    const Bytes image = dataImage(kStoredRecords, kStoredRecords);
    ASSERT_TRUE(writeBytes(dataFile(), image));
    start();
    // The window is found while its creation, and with it the start-up's reads, may still be going on.
    Sleep(1000);

    HANDLE held = CreateFileA(dataFile().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(connectionOf(folder, 1200)) << "the file changed although it was held";
    Sleep(500);
    CloseHandle(held);
    ASSERT_TRUE(alive());
    EXPECT_EQ(readFileBytes(dataFile()), image);

    // The next connection is stored whole after the records that were there; the totals include both.
    ASSERT_TRUE(connectionOf(folder, 1200));
    const Bytes after = readFileBytes(dataFile());
    for (int slot = 0; slot < kStoredRecords; ++slot)
        EXPECT_TRUE(sameSlot(image, after, slot)) << "stored record " << slot << " was overwritten";
    EXPECT_EQ(changedReservedByte(image, after), -1);
    const int32_t count = fileRecordCount(after);
    ASSERT_GT(count, kStoredRecords);
    EXPECT_EQ(after.size(), recordOffset(count));
    const ConnectionRecord last = fileRecord(after, count - 1);
    EXPECT_GE(last.seconds, 1.0);
    EXPECT_GT(fileCounters(after).curMonthSeconds, 22 + last.seconds) << "the lost connection left the totals";
    EXPECT_EQ(exitThroughMenu(program), 1u);
}

// A data file held by another process while the program starts: the program cannot read the count,
// and the next connection must still not land on a stored record.
TEST_F(Damaged, ADataFileHeldWhileTheProgramStartsKeepsItsRecords)
{
    const Bytes image = dataImage(kStoredRecords, kStoredRecords);
    ASSERT_TRUE(writeBytes(dataFile(), image));
    HANDLE held = CreateFileA(dataFile().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    start();
    Sleep(1000);
    CloseHandle(held);
    ASSERT_TRUE(alive());

    ASSERT_TRUE(connectionOf(folder, 1200));
    const Bytes after = readFileBytes(dataFile());
    for (int slot = 0; slot < kStoredRecords; ++slot)
        EXPECT_TRUE(sameSlot(image, after, slot)) << "stored record " << slot << " was overwritten";
    EXPECT_GE(fileRecordCount(after), kStoredRecords) << "the stored records fell out of the log";
    EXPECT_EQ(exitThroughMenu(program), 1u);
}

// As root Wine ignores read-only attributes; a folder named like the data file makes every open of it fail.
TEST_F(Damaged, ADataFileThatCannotBeOpenedLeavesTheProgramRunning)
{
    RemoveDirectoryA(dataFile().c_str());
    ASSERT_TRUE(CreateDirectoryA(dataFile().c_str(), nullptr));
    start();
    EXPECT_FALSE(connectionOf(folder, 1200));
    ASSERT_TRUE(alive());
    const HWND details = openDetailsList(program);
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(listRows(details), 0);
    EXPECT_EQ(exportAll(program, details, exportFile()), "No data|Nothing to save.");
    EXPECT_EQ(clearUntilCurrentMonth(program, details),
              "Clear?|If you'll continue, some data will be lost!\n\nContinue?");
    ASSERT_TRUE(alive());
    EXPECT_TRUE(PathIsDirectoryA(dataFile().c_str()));
    EXPECT_EQ(exitThroughMenu(program), 1u);
    RemoveDirectoryA(dataFile().c_str());
}

// Stored values of odd lengths and types: the program starts and takes their leading bytes.
struct StoredValue {
    const char* key;
    const char* name;
    DWORD type;
    Bytes bytes;
};

class DamagedValue : public Damaged, public ::testing::WithParamInterface<StoredValue> {};

TEST_P(DamagedValue, StartsAndReadsTheLeadingBytes)
{
    const StoredValue& value = GetParam();
    ASSERT_TRUE(setUserValue(value.key, value.name, value.type, value.bytes));
    start();
    ASSERT_TRUE(alive());
    const std::string name = value.name;
    if (name == "Settings1") {
        // The extra seconds are the value's first bytes: the record shows them from the first second.
        ASSERT_TRUE(connectionOf(folder, 300));
        const Bytes data = readFileBytes(dataFile());
        ASSERT_EQ(fileRecordCount(data), 1);
        Bytes leading(4, 0);
        std::memcpy(leading.data(), value.bytes.data(), value.bytes.size() < 4 ? value.bytes.size() : 4);
        EXPECT_GE(fileRecord(data, 0).seconds, getI32(leading.data()));
        EXPECT_LE(fileRecord(data, 0).seconds, getI32(leading.data()) + 2);
    } else if (name == "Settings") {
        // The first four bytes switch the floating timer on or off.
        const bool timerOn = value.bytes.size() >= 4 && getI32(value.bytes.data()) != 0;
        setService(folder, 1, "connected");
        const HWND timer = waitForWindowOf(program.process.dwProcessId, "Counter", nullptr, timerOn ? 5000 : 1000);
        EXPECT_EQ(timer != nullptr, timerOn);
        clearService(folder);
        ASSERT_TRUE(waitUntil([&] { return fileRecordCount(readFileBytes(dataFile())) == 1; }, 3000));
    } else {
        const HWND details = openDetailsList(program);
        ASSERT_NE(details, nullptr);
        EXPECT_TRUE(IsWindowVisible(details));
        PostMessageA(details, WM_COMMAND, IDC_DETAILS_CLOSE, 0);
        ASSERT_TRUE(waitForNoWindowOf(program.process.dwProcessId, "Details", 5000));
        Bytes stored;
        DWORD type = 0;
        ASSERT_TRUE(readRegistryValue(HKEY_CURRENT_USER, kPlacementKey, "Place", stored, &type));
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        EXPECT_EQ(stored.size(), kDetailPlacementSize);
    }
    ASSERT_TRUE(alive());
    EXPECT_EQ(exitThroughMenu(program), 1u);
}

Bytes leadingInt(int32_t value, size_t length)
{
    Bytes bytes(length, 0);
    uint8_t le[4];
    putI32(le, value);
    std::memcpy(bytes.data(), le, length < 4 ? length : 4);
    return bytes;
}

Bytes patterned(size_t length)
{
    Bytes bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(i * 29 + 3);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Values, DamagedValue,
    ::testing::Values(StoredValue{kSettingsKey, "Settings1", REG_BINARY, Bytes{}},
                      StoredValue{kSettingsKey, "Settings1", REG_BINARY, Bytes{5}},
                      StoredValue{kSettingsKey, "Settings1", REG_SZ, leadingInt(3, 4)},
                      StoredValue{kSettingsKey, "Settings1", REG_DWORD, leadingInt(3, 4)},
                      StoredValue{kSettingsKey, "Settings1", REG_BINARY, leadingInt(4, 200)},
                      StoredValue{kSettingsKey, "Settings", REG_BINARY, Bytes{}},
                      StoredValue{kSettingsKey, "Settings", REG_SZ, leadingInt(1, 4)},
                      StoredValue{kSettingsKey, "Settings", REG_DWORD, leadingInt(0, 4)},
                      StoredValue{kSettingsKey, "Settings", REG_BINARY, leadingInt(1, 135)},
                      StoredValue{kSettingsKey, "Settings", REG_BINARY, leadingInt(1, 200)},
                      StoredValue{kPlacementKey, "Place", REG_BINARY, Bytes{}},
                      StoredValue{kPlacementKey, "Place", REG_BINARY, patterned(7)},
                      StoredValue{kPlacementKey, "Place", REG_SZ, patterned(40)},
                      StoredValue{kPlacementKey, "Place", REG_DWORD, leadingInt(8, 4)},
                      StoredValue{kPlacementKey, "Place", REG_BINARY, patterned(200)}),
    [](const ::testing::TestParamInfo<StoredValue>& info) {
        const char* type = info.param.type == REG_SZ ? "Text" : info.param.type == REG_DWORD ? "Dword" : "Binary";
        return std::string(info.param.name) + type + std::to_string(info.param.bytes.size());
    });

// A user currency symbol of seven characters does not fit the program's six: the program runs on
// without a symbol.
class LongCurrencySymbol : public Damaged {
protected:
    void SetUp() override
    {
        had = readRegistryValue(HKEY_CURRENT_USER, kInternationalKey, "sCurrency", previous, &previousType);
        ASSERT_TRUE(setUserValue(kInternationalKey, "sCurrency", REG_SZ, Bytes{'E', 'U', 'R', 'O', '-', 'D', 'M', 0}));
        Damaged::SetUp();
    }
    void TearDown() override
    {
        Damaged::TearDown();
        if (had) {
            setUserValue(kInternationalKey, "sCurrency", previousType, previous);
        } else {
            HKEY key;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternationalKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, "sCurrency");
                RegCloseKey(key);
            }
        }
    }

    bool had = false;
    Bytes previous;
    DWORD previousType = 0;
};

TEST_F(LongCurrencySymbol, LeavesEveryWindowAndTheExportWithoutASymbol)
{
    start();
    PostMessageA(program.mainWindow, WM_COMMAND, IDC_TRAY_SHOW_STATISTICS, 0);
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(program.mainWindow) != FALSE; }, 5000));
    ASSERT_TRUE(connectionOf(folder, 1200));
    ASSERT_TRUE(alive());

    const HWND details = openDetailsList(program);
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(listRows(details), 1);
    ASSERT_EQ(exportAll(program, details, exportFile()), "saved");
    ASSERT_TRUE(waitUntil([&] { return fileExists(exportFile()); }, 5000));
    const Bytes text = readFileBytes(exportFile());
    const std::string exported(text.begin(), text.end());
    EXPECT_NE(exported.find(" | 0.0000 \r\n"), std::string::npos) << exported;
    EXPECT_EQ(exported.find("EURO"), std::string::npos) << exported;

    PostMessageA(program.mainWindow, WM_COMMAND, IDC_STATISTICS_SETTINGS, 0);
    const HWND settings = waitForWindowOf(program.process.dwProcessId, "#32770", "Settings", 5000);
    ASSERT_NE(settings, nullptr);
    char label[64] = "";
    GetDlgItemTextA(settings, IDC_PER_MIN_COMMON, label, sizeof label);
    EXPECT_STREQ(label, "/min");
    pressButton(settings, IDC_CANCEL);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(settings); }, 5000));
    ASSERT_TRUE(alive());
    EXPECT_EQ(exitThroughMenu(program), 1u);
}

} // namespace
