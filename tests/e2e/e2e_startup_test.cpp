// The real program's start, first run, single instance, a simulated connection, exit and uninstallation.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/inf_text.h"
#include "res/resource.h"
#include "tests/e2e/real_program.h"

using namespace e2e;
using namespace kit;

namespace {

const std::string kProgramDefaults = std::string(kAppDefaultsKey) + "\\Tolvar.exe";

std::string windowsDirectory()
{
    char directory[272] = {};
    GetWindowsDirectoryA(directory, sizeof directory);
    return directory;
}

std::string infPath() { return windowsDirectory() + "\\INF\\Tolvar.inf"; }

// The script as a real run leaves it: the program's text (pinned line by line by the native tests) with the
// CR LF line ends of a text-mode stream.
std::string expectedInf(bool windowsNt, const std::string& folder)
{
    std::string text;
    for (const char c : uninstallInfText(windowsNt, folder.c_str())) {
        if (c == '\n')
            text += '\r';
        text += c;
    }
    return text;
}

std::string asText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

class StartAndExit : public ::testing::Test {
protected:
    void SetUp() override
    {
        forgetProgramRegistry();
        DeleteFileA(infPath().c_str());
        install = std::make_unique<InstallFolder>(::testing::UnitTest::GetInstance()->current_test_info()->name());
        folder = install->path();
    }

    void TearDown() override
    {
        stopProgram(program);
        stopProgram(second);
        deleteKeyTree(HKEY_CURRENT_USER, kProgramDefaults);
    }

    std::string dataFile() const { return folder + "Tq.dat"; }

    std::unique_ptr<InstallFolder> install;
    std::string folder;
    Program program;
    Program second;
};

TEST_F(StartAndExit, FirstStartRegistersTheProgramAndStoresDefaults)
{
    SYSTEMTIME before;
    GetLocalTime(&before);
    const int iconsBefore = trayIconCount();
    program = startProgram(folder);
    ASSERT_NE(program.mainWindow, nullptr);
    ASSERT_TRUE(waitUntil([&] { return fileBytes(dataFile()).size() >= 64; }));
    EXPECT_TRUE(waitUntil([&] { return trayIconCount() == iconsBefore + 1; }));

    DWORD type = 0;
    bool found = false;
    const Bytes settings = registryValue(HKEY_CURRENT_USER, kSettingsKey, "Settings", &type, &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    std::vector<uint8_t> expected(136, 0);
    expected[0] = expected[4] = expected[12] = 1;
    expected[88] = 7;
    expected[100] = 20;
    EXPECT_EQ(settings, expected);
    EXPECT_EQ(registryValue(HKEY_CURRENT_USER, kSettingsKey, "Settings1", nullptr, &found),
              (std::vector<uint8_t>{0, 0, 0, 0, 1, 0, 0, 0}));
    ASSERT_TRUE(found);
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, kPlacementKey));

    const Bytes run = registryValue(HKEY_LOCAL_MACHINE, kRunKey, "Tolvar", &type, &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(asText(run), folder + "Tolvar.exe" + std::string(1, '\0'));
    const Bytes name = registryValue(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", nullptr, &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(asText(name), std::string("Tolvar") + '\0');
    const Bytes command = registryValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UnInstallString", nullptr, &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(asText(command),
              "RunDll32 advpack.dll,LaunchINFSectionEx " + infPath() + ",Uninstall" + std::string(1, '\0'));
    EXPECT_EQ(asText(fileBytes(infPath())), expectedInf(true, folder));

    const std::vector<uint8_t> data = fileBytes(dataFile());
    ASSERT_EQ(data.size(), 64u);
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 48), std::vector<uint8_t>(48, 0));
    const SystemTime stamp = decodeSystemTime(data.data() + kMonthStampOffset);
    EXPECT_EQ(stamp.wYear, before.wYear);
    EXPECT_EQ(stamp.wMonth, before.wMonth);

    // Only the tray icon is visible: the statistics window stays hidden.
    EXPECT_FALSE(IsWindowVisible(program.mainWindow));
    char title[64] = {};
    GetWindowTextA(program.mainWindow, title, sizeof title);
    EXPECT_STREQ(title, "Link Statistics");

    // Exit removes the icon and ends the process with exit code 1.
    EXPECT_EQ(exitThroughMenu(program), 1u);
    EXPECT_TRUE(waitUntil([&] { return trayIconCount() == iconsBefore; }));
}

TEST_F(StartAndExit, ASecondInstanceEndsAtOnceAndLeavesTheFirstAlone)
{
    program = startProgram(folder);
    ASSERT_NE(program.mainWindow, nullptr);
    second = startProgram(folder, false);
    EXPECT_EQ(waitForExit(second, 10000), 1u);
    EXPECT_EQ(waitForExit(program, 0), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(IsWindow(program.mainWindow));
    EXPECT_EQ(exitThroughMenu(program), 1u);
}

TEST_F(StartAndExit, AFinishedConnectionLeavesRecordCountAndTotalsInTheDataFile)
{
    program = startProgram(folder);
    ASSERT_NE(program.mainWindow, nullptr);
    SYSTEMTIME before;
    GetLocalTime(&before);
    // Waits for the count, the record and the totals, three writes, to land.
    ASSERT_TRUE(connectionOf(folder, 2500));
    ASSERT_TRUE(waitUntil([&] { return fileBytes(dataFile()).size() == 132; }));

    const std::vector<uint8_t> data = fileBytes(dataFile());
    EXPECT_EQ(fileRecordCount(data), 1);
    const ConnectionRecord record = fileRecord(data, 0);
    EXPECT_GE(record.seconds, 1.0);
    EXPECT_LE(record.seconds, 4.0);
    EXPECT_EQ(record.start.wYear, before.wYear);
    EXPECT_EQ(record.start.wDay, before.wDay);
    const CounterBlock counters = fileCounters(data);
    EXPECT_EQ(counters.lastConnSeconds, record.seconds);
    EXPECT_EQ(counters.curMonthSeconds, record.seconds);
    EXPECT_EQ(exitThroughMenu(program), 1u);
}

TEST_F(StartAndExit, ADataFileLeftBeforeAFirstRunKeepsItsRecords)
{
    const ConnectionRecord first{{1999, 12, 5, 31, 23, 0, 0, 0}, 61, 0.5};
    const ConnectionRecord second{{2000, 1, 6, 1, 1, 2, 3, 0}, 3725, 1.25};
    const Bytes old = DataImage().totals(CounterBlock{10, 20, 30, 1, 2, 3}).records({first, second}).bytes();
    ASSERT_TRUE(writeFile(dataFile(), old));

    program = startProgram(folder);
    ASSERT_NE(program.mainWindow, nullptr);
    EXPECT_EQ(exitThroughMenu(program), 1u);

    const std::vector<uint8_t> data = fileBytes(dataFile());
    ASSERT_EQ(data.size(), old.size());
    EXPECT_EQ(fileRecordCount(data), 2);
    EXPECT_EQ(std::memcmp(data.data() + 100, old.data() + 100, 64), 0);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(decodeSystemTime(data.data() + kMonthStampOffset).wYear, now.wYear);
}

TEST_F(StartAndExit, AMissingDataFileAtALaterStartGetsAFreshStamp)
{
    program = startProgram(folder);
    ASSERT_NE(program.mainWindow, nullptr);
    ASSERT_EQ(exitThroughMenu(program), 1u);
    stopProgram(program);
    ASSERT_TRUE(DeleteFileA(dataFile().c_str()));

    program = startProgram(folder);
    ASSERT_NE(program.mainWindow, nullptr);
    ASSERT_TRUE(waitUntil([&] { return fileBytes(dataFile()).size() >= 64; }));
    const std::vector<uint8_t> data = fileBytes(dataFile());
    EXPECT_EQ(data.size(), 64u);
    SYSTEMTIME now;
    GetLocalTime(&now);
    const SystemTime stamp = decodeSystemTime(data.data() + kMonthStampOffset);
    EXPECT_EQ(stamp.wYear, now.wYear);
    EXPECT_EQ(stamp.wMonth, now.wMonth);
    EXPECT_EQ(exitThroughMenu(program), 1u);
}

TEST_F(StartAndExit, OnWindows98TheScriptCarriesTheChicagoSignature)
{
    ASSERT_TRUE(setRegistryValue(HKEY_CURRENT_USER, kProgramDefaults.c_str(), "Version", REG_SZ,
                                 Bytes{'w', 'i', 'n', '9', '8', 0}));

    program = startProgram(folder);
    ASSERT_NE(program.mainWindow, nullptr);
    ASSERT_TRUE(waitUntil([&] { return fileExists(infPath()); }));
    EXPECT_EQ(asText(fileBytes(infPath())), expectedInf(false, folder));
    EXPECT_EQ(exitThroughMenu(program), 1u);
}

TEST_F(StartAndExit, TheUninstallScriptRemovesTheProgramAndNothingElse)
{
    program = startProgram(folder);
    ASSERT_NE(program.mainWindow, nullptr);
    ASSERT_TRUE(waitUntil([&] { return fileExists(dataFile()); }));
    ASSERT_EQ(exitThroughMenu(program), 1u);
    stopProgram(program);

    // Neighbours the script must leave alone.
    const std::string keep = folder + "keep.txt";
    ASSERT_TRUE(writeFile(keep, Bytes()));
    ASSERT_TRUE(setRegistryValue(HKEY_CURRENT_USER, "Software\\Vesk\\Other", "Kept", REG_DWORD, Bytes(4, 0)));
    ASSERT_TRUE(setRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "TolvarNeighbour", REG_SZ, Bytes{'x', 0}));

    bool found = false;
    std::string line = asText(registryValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UnInstallString", nullptr, &found));
    ASSERT_TRUE(found);
    line.resize(std::strlen(line.c_str()));
    std::vector<char> mutableLine(line.begin(), line.end());
    mutableLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION uninstall{};
    ASSERT_TRUE(CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &uninstall));
    WaitForSingleObject(uninstall.hProcess, 30000);
    CloseHandle(uninstall.hProcess);
    CloseHandle(uninstall.hThread);

    EXPECT_FALSE(fileExists(folder + "Tolvar.exe"));
    EXPECT_FALSE(fileExists(dataFile()));
    EXPECT_TRUE(fileExists(keep));
    EXPECT_TRUE(fileExists(folder + "rasapi32.dll"));
    registryValue(HKEY_LOCAL_MACHINE, kRunKey, "Tolvar", nullptr, &found);
    EXPECT_FALSE(found);
    registryValue(HKEY_LOCAL_MACHINE, kRunKey, "TolvarNeighbour", nullptr, &found);
    EXPECT_TRUE(found);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Vesk\\Tolvar"));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "Software\\Vesk\\Other"));

    deleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "TolvarNeighbour");
}

} // namespace
