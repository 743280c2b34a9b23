// The statistics window's commands in-process: confirmations, About, Settings, the tray item states and the
// detailed views, with every box the commands open answered as each test scripts it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "core/data_store.h"
#include "core/state.h"
#include "core/monitor.h"
#include "win32/startup.h"
#include "win32/program_records.h"
#include "win32/statistics_window.h"
#include "res/resource.h"
#include "core/settings.h"
#include "win32/details_window.h"
#include "win32/timer_window.h"
#include "tests/wine/in_process.h"

namespace {

using inproc::trayItemGrayed;
using kit::quitPosted;
using kit::windowText;

// Totals of the last connection, the current and the last month: seconds, then costs.
CounterBlock sampleTotals() { return CounterBlock{90, 7200, 3600, 1.5, 40, 20}; }

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        inproc::forgetEarlierRuns();
        ASSERT_TRUE(inproc::startApplication());
    }

    void TearDown() override
    {
        inproc::endApplication();
        inproc::forgetEarlierRuns();
    }

    // Totals counted before, in memory and in the data file as the program stores them; the file's bytes.
    static kit::Bytes storedTotals()
    {
        accounting.counterBlock = sampleTotals();
        writeCounterBlock();
        return kit::fileBytes(inproc::dataFilePath());
    }
};

// The texts of the three questions, word for word with their trailing blanks.
const char kExitText[] = "If you will close program now, connection data may be incorrect.\nRun Tolvar before "
                         "connection.\n\nDo you want to close the program? ";
const char kResetText[] = "If you'll reset counters, all data will be lost!\n\nContinue?";
const char kSumUpText[] = "If you will continue, data for current month will become as data for last month. Line "
                          "\"current month\" will become 0.\nContinue? ";

struct Confirmation {
    WPARAM command;
    const char* text;
    const char* caption;
    LPCSTR systemIcon;
};

// Runs the command, answering its confirmation with `answer`; what the box showed. An empty `text` leaves the
// box's text unchecked: each text is checked once, where every confirmation is.
kit::BoxSeen confirm(WPARAM command, const char* caption, const char* text, int answer)
{
    kit::BoxAnswerer boxes({{caption, text, answer}});
    SendMessageA(shell.statisticsWindow, WM_COMMAND, command, 0);
    const std::vector<kit::BoxSeen> seen = boxes.finish();
    return seen.empty() ? kit::BoxSeen{} : seen.front();
}

const Confirmation kConfirmations[] = {
    {IDC_TRAY_EXIT, kExitText, "Tolvar 2.2", IDI_WARNING},
    {IDC_STATISTICS_EXIT, kExitText, "Tolvar 2.2", IDI_WARNING},
    {IDC_TRAY_RESET_COUNTERS, kResetText, "Reset counters?", IDI_QUESTION},
    {IDC_STATISTICS_RESET_COUNTERS, kResetText, "Reset counters?", IDI_QUESTION},
    {IDC_TRAY_SUM_UP, kSumUpText, "Sum Up?", IDI_QUESTION},
    {IDC_STATISTICS_SUM_UP, kSumUpText, "Sum Up?", IDI_QUESTION},
};

TEST_F(CommandsTest, EachConfirmationShowsItsTextWithYesAndNoAndNoAsDefaultAndAnsweredNoChangesNothing)
{
    const CounterBlock sample = sampleTotals();
    const kit::Bytes stored = storedTotals();
    const kit::Bytes settingsBefore = kit::registryValue(HKEY_CURRENT_USER, kit::kSettingsKey, "Settings");
    for (const Confirmation& box : kConfirmations) {
        SCOPED_TRACE(box.command);
        const kit::BoxSeen seen = confirm(box.command, box.caption, box.text, IDNO);
        EXPECT_EQ(seen.buttons, (std::vector<int>{IDYES, IDNO}));
        EXPECT_EQ(seen.defaultButton, IDNO);
        EXPECT_EQ(seen.icon, LoadIconA(nullptr, box.systemIcon));
        WPARAM code = 0;
        EXPECT_FALSE(quitPosted(code));
        EXPECT_EQ(std::memcmp(&accounting.counterBlock, &sample, sizeof accounting.counterBlock), 0);
        EXPECT_EQ(kit::fileBytes(inproc::dataFilePath()), stored);
        EXPECT_EQ(kit::registryValue(HKEY_CURRENT_USER, kit::kSettingsKey, "Settings"), settingsBefore);
    }
}

TEST_F(CommandsTest, ExitAnsweredYesEndsTheLoopWithCodeOne)
{
    for (WPARAM command : {IDC_TRAY_EXIT, IDC_STATISTICS_EXIT}) {
        confirm(command, "Tolvar 2.2", "", IDYES);
        WPARAM code = 0;
        ASSERT_TRUE(quitPosted(code)) << command;
        EXPECT_EQ(code, 1u);
    }
}

// In memory and in the data file, whose other bytes stay as they were.
TEST_F(CommandsTest, ResetAnsweredYesClearsAllSixTotals)
{
    for (WPARAM command : {IDC_TRAY_RESET_COUNTERS, IDC_STATISTICS_RESET_COUNTERS}) {
        const kit::Bytes before = storedTotals();
        confirm(command, "Reset counters?", "", IDYES);
        const CounterBlock zero{};
        EXPECT_EQ(std::memcmp(&accounting.counterBlock, &zero, sizeof zero), 0) << command;
        kit::Bytes expected = before;
        std::fill(expected.begin(), expected.begin() + kCounterBlockSize, 0);
        EXPECT_EQ(kit::fileBytes(inproc::dataFilePath()), expected) << command;
    }
}

// The command reaches the Sum Up that carries a live connection's part; the rule's cases are the native tests'.
TEST_F(CommandsTest, SumUpAnsweredYesMovesTheCurrentMonthAndTheLiveConnectionToTheLast)
{
    // No poll may end the connection, which the simulated service does not know, while the box is open.
    KillTimer(shell.statisticsWindow, kFastTimer);
    KillTimer(shell.statisticsWindow, kSlowTimer);
    for (WPARAM command : {IDC_TRAY_SUM_UP, IDC_STATISTICS_SUM_UP}) {
        storedTotals();
        accounting.liveConnection.connected = true;
        accounting.liveConnection.curConnSeconds = 600;
        accounting.liveConnection.curConnCost = 10;
        accounting.liveConnection.carriedSeconds = accounting.liveConnection.carriedCost = 0;
        confirm(command, "Sum Up?", "", IDYES);
        // In memory, and stored.
        for (const CounterBlock& totals : {accounting.counterBlock,
                                           kit::fileCounters(kit::fileBytes(inproc::dataFilePath()))}) {
            EXPECT_EQ(totals.lastMonthSeconds, 7800.0) << command;
            EXPECT_EQ(totals.lastMonthCost, 50.0) << command;
            EXPECT_EQ(totals.curMonthSeconds, 0.0) << command;
            EXPECT_EQ(totals.curMonthCost, 0.0) << command;
            EXPECT_EQ(totals.lastConnSeconds, 90.0) << command;
        }
        EXPECT_EQ(accounting.liveConnection.carriedSeconds, 600.0) << command;
        EXPECT_EQ(accounting.liveConnection.carriedCost, 10.0) << command;
    }
}

TEST_F(CommandsTest, TheAboutBoxShowsItsTextsAndEndsWithOneThroughOkAndThroughTheCloseBox)
{
    for (int answer : {IDOK, kit::kCloseBox}) {
        std::string title;
        bool iconShown = false;
        bool credits = false;
        const auto lookAtIt = [&](HWND box) {
            title = windowText(GetDlgItem(box, IDC_ABOUT_TITLE));
            const HWND icon = GetDlgItem(box, IDC_ABOUT_ICON);
            iconShown = SendMessageA(icon, STM_GETICON, 0, 0) != 0 &&
                        (GetWindowLongA(icon, GWL_EXSTYLE) & WS_EX_STATICEDGE) != 0;
            credits = !windowText(GetDlgItem(box, IDC_ABOUT_CREDIT1)).empty() &&
                      !windowText(GetDlgItem(box, IDC_ABOUT_CREDIT2)).empty();
        };
        kit::BoxAnswerer boxes({{"About Tolvar 2.2", "", answer, "", lookAtIt}});
        const INT_PTR result = DialogBoxParamA(shell.instance, MAKEINTRESOURCEA(IDD_ABOUT), shell.statisticsWindow,
                                               aboutDialogProc, 0);
        const std::vector<kit::BoxSeen> seen = boxes.finish();
        EXPECT_EQ(result, 1) << answer;
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].defaultButton, IDOK);
        EXPECT_EQ(title, "Tolvar 2.2");
        EXPECT_TRUE(iconShown);
        EXPECT_TRUE(credits);
    }
}

TEST_F(CommandsTest, TheAboutCommandOpensTheBoxOwnedByTheStatisticsWindow)
{
    HWND owner = nullptr;
    kit::BoxAnswerer boxes({{"About Tolvar 2.2", "", IDOK, "", [&](HWND box) { owner = GetWindow(box, GW_OWNER); }}});
    SendMessageA(shell.statisticsWindow, WM_COMMAND, IDC_STATISTICS_ABOUT, 0);
    boxes.finish();
    EXPECT_EQ(owner, shell.statisticsWindow);
}

TEST_F(CommandsTest, ShowAndHideStatisticsGrayAndEnableTheTrayItem)
{
    SendMessageA(shell.statisticsWindow, WM_COMMAND, IDC_TRAY_SHOW_STATISTICS, 0);
    EXPECT_TRUE(IsWindowVisible(shell.statisticsWindow));
    EXPECT_TRUE(trayItemGrayed(IDC_TRAY_SHOW_STATISTICS));
    SendMessageA(shell.statisticsWindow, WM_COMMAND, IDC_STATISTICS_HIDE_STATISTICS, 0);
    EXPECT_FALSE(IsWindowVisible(shell.statisticsWindow));
    EXPECT_FALSE(trayItemGrayed(IDC_TRAY_SHOW_STATISTICS));
    // Only the low word names the command.
    SendMessageA(shell.statisticsWindow, WM_COMMAND, MAKEWPARAM(IDC_TRAY_SHOW_STATISTICS, 1), 0);
    EXPECT_TRUE(IsWindowVisible(shell.statisticsWindow));
    // The menu bar's items keep their template states.
    EXPECT_EQ(GetMenuState(shell.statisticsMenu, IDC_STATISTICS_HIDE_STATISTICS, MF_BYCOMMAND) & MF_GRAYED, 0u);
}

TEST_F(CommandsTest, AtStartShowTimerAndResetCountersAreGrayed)
{
    EXPECT_TRUE(trayItemGrayed(IDC_TRAY_SHOW_TIMER));
    EXPECT_TRUE(trayItemGrayed(IDC_TRAY_RESET_COUNTERS));
    EXPECT_NE(GetMenuState(shell.statisticsMenu, IDC_STATISTICS_RESET_COUNTERS, MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_FALSE(trayItemGrayed(IDC_TRAY_SETTINGS));
    EXPECT_FALSE(trayItemGrayed(IDC_TRAY_SUM_UP));
}

TEST_F(CommandsTest, ShowTimerOpensAFloatingTimer)
{
    SendMessageA(shell.statisticsWindow, WM_COMMAND, IDC_TRAY_SHOW_TIMER, 0);
    ASSERT_TRUE(shell.timerWindow != nullptr && IsWindow(shell.timerWindow));
    char className[16] = {};
    GetClassNameA(shell.timerWindow, className, sizeof className);
    EXPECT_STREQ(className, "Counter");
}

TEST_F(CommandsTest, SettingsGraysItsTrayItemWhileTheDialogIsOpen)
{
    for (WPARAM command : {IDC_TRAY_SETTINGS, IDC_STATISTICS_SETTINGS}) {
        bool grayedWhileOpen = false;
        kit::BoxAnswerer boxes(
            {{"Settings", "", kit::kCloseBox, "", [&](HWND) { grayedWhileOpen = trayItemGrayed(IDC_TRAY_SETTINGS); }}});
        SendMessageA(shell.statisticsWindow, WM_COMMAND, command, 0);
        boxes.finish();
        EXPECT_TRUE(grayedWhileOpen) << command;
        EXPECT_FALSE(trayItemGrayed(IDC_TRAY_SETTINGS)) << command;
    }
}

TEST_F(CommandsTest, TheDetailedCommandsOpenTheListAndRememberTheirFilter)
{
    struct Case {
        WPARAM command;
        ViewFilter filter;
    };
    for (const Case& view : {Case{IDC_STATISTICS_DETAILS_LAST_MONTH, ViewFilter::LastMonth},
                             Case{IDC_TRAY_DETAILS_ALL, ViewFilter::All},
                             Case{IDC_TRAY_DETAILS_CURRENT_MONTH, ViewFilter::CurrentMonth},
                             Case{IDC_TRAY_DETAILS_LAST_MONTH, ViewFilter::LastMonth},
                             Case{IDC_STATISTICS_DETAILS_CURRENT_MONTH, ViewFilter::CurrentMonth},
                             Case{IDC_STATISTICS_DETAILS_ALL, ViewFilter::All}}) {
        SendMessageA(shell.statisticsWindow, WM_COMMAND, view.command, 0);
        EXPECT_EQ(details.filter, view.filter) << view.command;
        EXPECT_TRUE(details.window != nullptr && IsWindow(details.window)) << view.command;
    }
}

TEST_F(CommandsTest, CommandsOfOtherMenusAndUnknownIdsDoNothing)
{
    const CounterBlock sample = sampleTotals();
    accounting.counterBlock = sample;
    kit::BoxAnswerer noBoxes(std::vector<kit::Box>{});
    for (WPARAM command : {0, 1, IDC_DETAILS_CLOSE, IDC_DETAILS_CLEAR_ALL, IDC_DETAILS_SHOW_LAST_MONTH, 40027, 40099})
        SendMessageA(shell.statisticsWindow, WM_COMMAND, command, 0);
    noBoxes.finish();
    EXPECT_FALSE(IsWindowVisible(shell.statisticsWindow));
    EXPECT_TRUE(details.window == nullptr || !IsWindow(details.window));
    EXPECT_TRUE(shell.timerWindow == nullptr || !IsWindow(shell.timerWindow));
    EXPECT_EQ(std::memcmp(&accounting.counterBlock, &sample, sizeof accounting.counterBlock), 0);
    WPARAM code = 0;
    EXPECT_FALSE(quitPosted(code));
}

} // namespace
