// The real program's commands driven from outside: confirmations, the tray callback, windows and the strip.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "res/resource.h"
#include "tests/e2e/harness.h"

using namespace e2e;

namespace {

constexpr UINT kTrayNotify = WM_USER + 1;

const char kExitText[] = "If you will close program now, connection data may be incorrect.\nRun Tolvar before "
                         "connection.\n\nDo you want to close the program? ";
const char kResetText[] = "If you'll reset counters, all data will be lost!\n\nContinue?";
const char kSumUpText[] = "If you will continue, data for current month will become as data for last month. Line "
                          "\"current month\" will become 0.\nContinue? ";

class UserCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        deleteProgramRegistry();
        folder = makeInstallFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        program = startProgram(folder);
        ASSERT_NE(program.mainWindow, nullptr);
        ASSERT_TRUE(waitUntil([&] { return readFileBytes(dataFile()).size() >= 64; }));
    }

    void TearDown() override
    {
        clearService(folder);
        stopProgram(program);
    }

    std::string dataFile() const { return folder + "Tq.dat"; }
    DWORD processId() const { return program.process.dwProcessId; }
    void command(int id) { PostMessageA(program.mainWindow, WM_COMMAND, static_cast<WPARAM>(id), 0); }
    void tray(UINT mouseMessage) { PostMessageA(program.mainWindow, kTrayNotify, 0, mouseMessage); }

    // Asks through `id`, checks the box, and answers it with `answer`.
    void confirm(int id, const char* text, const char* caption, int answer)
    {
        command(id);
        const MessageBoxInfo box = waitForMessageBox(processId());
        ASSERT_NE(box.window, nullptr) << id;
        EXPECT_EQ(box.text, text) << id;
        EXPECT_EQ(box.caption, caption) << id;
        EXPECT_EQ(box.buttons.size(), 2u) << id;
        EXPECT_EQ(box.defaultButton, IDNO) << id;
        pressButton(box.window, answer);
        EXPECT_TRUE(waitForNoWindowOf(processId(), "#32770")) << id;
    }

    // Stores totals in the data file as if earlier connections had been counted, then restarts the program
    // so that it loads them.
    void restartWithTotals(const CounterBlock& totals)
    {
        stopProgram(program);
        std::vector<uint8_t> data = readFileBytes(dataFile());
        data.resize(100, 0);
        encodeCounterBlock(totals, data.data());
        HANDLE file = CreateFileA(dataFile().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
        CloseHandle(file);
        program = startProgram(folder);
        ASSERT_NE(program.mainWindow, nullptr);
    }

    std::string folder;
    Program program;
};

TEST_F(UserCommands, AnsweringNoToAnyConfirmationChangesNothing)
{
    restartWithTotals(CounterBlock{5, 1000, 7, 0.5, 2.5, 0.7});
    const std::vector<uint8_t> before = readFileBytes(dataFile());
    std::vector<uint8_t> settingsBefore, settingsAfter;
    readRegistryValue(HKEY_CURRENT_USER, "Software\\Vesk\\Tolvar\\1.0", "Settings", settingsBefore);

    confirm(IDC_TRAY_EXIT, kExitText, "Tolvar 2.2", IDNO);
    confirm(IDC_STATISTICS_EXIT, kExitText, "Tolvar 2.2", IDNO);
    confirm(IDC_TRAY_RESET_COUNTERS, kResetText, "Reset counters?", IDNO);
    confirm(IDC_STATISTICS_RESET_COUNTERS, kResetText, "Reset counters?", IDNO);
    confirm(IDC_TRAY_SUM_UP, kSumUpText, "Sum Up?", IDNO);
    confirm(IDC_STATISTICS_SUM_UP, kSumUpText, "Sum Up?", IDNO);

    EXPECT_EQ(waitForExit(program, 0), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(readFileBytes(dataFile()), before);
    readRegistryValue(HKEY_CURRENT_USER, "Software\\Vesk\\Tolvar\\1.0", "Settings", settingsAfter);
    EXPECT_EQ(settingsAfter, settingsBefore);
}

TEST_F(UserCommands, ResetCountersAnsweredYesZeroesTheTotalsOnly)
{
    restartWithTotals(CounterBlock{5, 1000, 7, 0.5, 2.5, 0.7});
    const std::vector<uint8_t> before = readFileBytes(dataFile());
    confirm(IDC_STATISTICS_RESET_COUNTERS, kResetText, "Reset counters?", IDYES);
    const std::vector<uint8_t> after = readFileBytes(dataFile());
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(std::vector<uint8_t>(after.begin(), after.begin() + 48), std::vector<uint8_t>(48, 0));
    EXPECT_EQ(std::vector<uint8_t>(after.begin() + 48, after.end()),
              std::vector<uint8_t>(before.begin() + 48, before.end()));
}

TEST_F(UserCommands, SumUpAnsweredYesMovesTheCurrentMonthIntoTheLastMonth)
{
    restartWithTotals(CounterBlock{5, 1000, 7, 0.5, 2.5, 0.7});
    confirm(IDC_TRAY_SUM_UP, kSumUpText, "Sum Up?", IDYES);
    const CounterBlock totals = fileCounters(readFileBytes(dataFile()));
    EXPECT_EQ(totals.lastMonthSeconds, 1000);
    EXPECT_EQ(totals.lastMonthCost, 2.5);
    EXPECT_EQ(totals.curMonthSeconds, 0);
    EXPECT_EQ(totals.curMonthCost, 0);
    EXPECT_EQ(totals.lastConnSeconds, 5);
}

TEST_F(UserCommands, SumUpDuringAConnectionCarriesTheLivePartIntoTheLastMonth)
{
    restartWithTotals(CounterBlock{5, 1000, 7, 0, 0, 0});
    setService(folder, 1, "connected");
    Sleep(2500);
    confirm(IDC_STATISTICS_SUM_UP, kSumUpText, "Sum Up?", IDYES);
    const CounterBlock atSumUp = fileCounters(readFileBytes(dataFile()));
    const double carried = atSumUp.lastMonthSeconds - 1000;
    EXPECT_GE(carried, 1);
    EXPECT_LE(carried, 5);
    EXPECT_EQ(atSumUp.curMonthSeconds, 0);

    Sleep(1500);
    clearService(folder);
    ASSERT_TRUE(waitUntil([&] { return fileRecordCount(readFileBytes(dataFile())) == 1; }));
    ASSERT_TRUE(waitUntil([&] { return fileCounters(readFileBytes(dataFile())).lastConnSeconds != 5; }));
    const std::vector<uint8_t> data = readFileBytes(dataFile());
    const CounterBlock after = fileCounters(data);
    const ConnectionRecord record = fileRecord(data, 0);
    EXPECT_EQ(after.lastConnSeconds, record.seconds);
    EXPECT_EQ(after.curMonthSeconds, record.seconds - carried);
    EXPECT_GE(after.curMonthSeconds, 1);
    EXPECT_EQ(after.lastMonthSeconds, atSumUp.lastMonthSeconds);
}

TEST_F(UserCommands, ExitAnsweredYesRemovesTheIconAndEndsWithCodeOne)
{
    ASSERT_TRUE(waitUntil([&] { return trayIconCount() >= 1; }));
    const int icons = trayIconCount();
    confirm(IDC_STATISTICS_EXIT, kExitText, "Tolvar 2.2", IDYES);
    EXPECT_EQ(waitForExit(program, 10000), 1u);
    EXPECT_TRUE(waitUntil([&] { return trayIconCount() == icons - 1; }));
}

TEST_F(UserCommands, TheStatisticsWindowIsShownAndHiddenOnRequest)
{
    EXPECT_FALSE(IsWindowVisible(program.mainWindow));
    command(IDC_TRAY_SHOW_STATISTICS);
    EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(program.mainWindow) != FALSE; }));
    command(IDC_STATISTICS_HIDE_STATISTICS);
    EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(program.mainWindow); }));

    tray(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(program.mainWindow) != FALSE; }));
    tray(WM_LBUTTONDBLCLK);
    Sleep(200);
    EXPECT_TRUE(IsWindowVisible(program.mainWindow));

    // The close box only hides: the program goes on in the tray.
    PostMessageA(program.mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(program.mainWindow); }));
    EXPECT_EQ(waitForExit(program, 300), static_cast<DWORD>(STILL_ACTIVE));
}

TEST_F(UserCommands, TheStripOpensAtAConnectionClosesByDoubleClickAndReopensOnRequest)
{
    setService(folder, 1, "connected");
    HWND strip = waitForWindowOf(processId(), "Counter");
    ASSERT_NE(strip, nullptr);
    EXPECT_TRUE(IsWindowVisible(strip));
    PostMessageA(strip, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    ASSERT_TRUE(waitForNoWindowOf(processId(), "Counter"));

    command(IDC_TRAY_SHOW_TIMER);
    HWND again = waitForWindowOf(processId(), "Counter");
    ASSERT_NE(again, nullptr);

    // The end of the connection closes the strip the program painted last.
    clearService(folder);
    EXPECT_TRUE(waitForNoWindowOf(processId(), "Counter"));
}

TEST_F(UserCommands, ShowDetailedOpensOneWindowAndLaterRefillsKeepTheFilter)
{
    SYSTEMTIME today;
    GetLocalTime(&today);
    char current[64];
    std::snprintf(current, sizeof current, "Detailed statistics (%02u.%4u)", today.wMonth, today.wYear);
    const unsigned lastMonth = today.wMonth == 1 ? 12 : today.wMonth - 1u;
    const unsigned lastYear = today.wMonth == 1 ? today.wYear - 1u : today.wYear;
    char last[64];
    std::snprintf(last, sizeof last, "Detailed statistics (%02u.%4u)", lastMonth, lastYear);

    command(IDC_STATISTICS_DETAILS_ALL);
    HWND details = waitForWindowOf(processId(), "Details", "Detailed statistics (All)");
    ASSERT_NE(details, nullptr);
    command(IDC_TRAY_DETAILS_LAST_MONTH);
    EXPECT_EQ(waitForWindowOf(processId(), "Details", last), details);
    command(IDC_STATISTICS_DETAILS_CURRENT_MONTH);
    EXPECT_EQ(waitForWindowOf(processId(), "Details", current), details);

    HWND list = FindWindowExA(details, nullptr, "SysListView32", nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 0);

    // A connection that ends refills the open list with the filter chosen last.
    setService(folder, 1, "connected");
    Sleep(1500);
    clearService(folder);
    EXPECT_TRUE(waitUntil([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 1; }));
    char title[64] = {};
    GetWindowTextA(details, title, sizeof title);
    EXPECT_STREQ(title, current);

    command(IDC_TRAY_DETAILS_ALL);
    EXPECT_EQ(waitForWindowOf(processId(), "Details", "Detailed statistics (All)"), details);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 1);
}

TEST_F(UserCommands, SettingsAndAboutOpenTheirDialogs)
{
    command(IDC_TRAY_SETTINGS);
    HWND settings = waitForWindowOf(processId(), "#32770", "Settings");
    ASSERT_NE(settings, nullptr);
    PostMessageA(settings, WM_COMMAND, MAKEWPARAM(IDC_CANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(settings, IDC_CANCEL)));
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(settings); }));

    command(IDC_STATISTICS_ABOUT);
    HWND about = waitForWindowOf(processId(), "#32770", "About Tolvar 2.2");
    ASSERT_NE(about, nullptr);
    PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(about); }));
}

TEST_F(UserCommands, TheTrayMenuOpensAtTheCursorAndShowsTheStatistics)
{
    SetCursorPos(300, 250);
    POINT cursor;
    GetCursorPos(&cursor);
    tray(WM_RBUTTONDOWN);
    HWND menu = waitForWindowOf(processId(), "#32768");
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(menu) != FALSE; }));
    RECT place;
    GetWindowRect(menu, &place);
    EXPECT_EQ(place.left, cursor.x);
    EXPECT_EQ(place.top, cursor.y);

    // The first item, "Show Statistics", is chosen with the keyboard.
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(program.mainWindow) != FALSE; }));
}

} // namespace
