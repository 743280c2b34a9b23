// The statistics window's commands in-process: confirmations answered from a watcher thread, About, Settings,
// the tray item states and the detailed views.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "core/state.h"
#include "win32/commands.h"
#include "win32/startup.h"
#include "win32/shell.h"
#include "res/resource.h"
#include "core/settings.h"
#include "tests/wine/wine_support.h"
#include "win32/details_window.h"
#include "win32/timer_window.h"

namespace {

using wine::quitPosted;
using wine::trayItemGrayed;
using wine::windowText;

// Runs `command` on this thread while a second thread reads the box it opens and presses `answer`.
wine::BoxSeen answerBox(WPARAM command, int answer)
{
    return wine::answerOwnedBox(shell.statisticsWindow, answer, [command] { SendMessageA(shell.statisticsWindow, WM_COMMAND, command, 0); });
}

CounterBlock sampleTotals()
{
    CounterBlock totals{};
    totals.lastConnSeconds = 90;
    totals.curMonthSeconds = 7200;
    totals.lastMonthSeconds = 3600;
    totals.lastConnCost = 1.5;
    totals.curMonthCost = 40;
    totals.lastMonthCost = 20;
    return totals;
}

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wine::forgetEarlierRuns();
        ASSERT_TRUE(wine::startApplication());
    }

    void TearDown() override
    {
        wine::endApplication();
        wine::forgetEarlierRuns();
    }
};

struct Confirmation {
    WPARAM command;
    const char* text;
    const char* caption;
    LPCSTR systemIcon;
};

const Confirmation kConfirmations[] = {
    {IDC_TRAY_EXIT, exitQuestion, "Tolvar 2.2", IDI_WARNING},
    {IDC_STATISTICS_EXIT, exitQuestion, "Tolvar 2.2", IDI_WARNING},
    {IDC_TRAY_RESET_COUNTERS, resetQuestion, "Reset counters?", IDI_QUESTION},
    {IDC_STATISTICS_RESET_COUNTERS, resetQuestion, "Reset counters?", IDI_QUESTION},
    {IDC_TRAY_SUM_UP, sumUpQuestion, "Sum Up?", IDI_QUESTION},
    {IDC_STATISTICS_SUM_UP, sumUpQuestion, "Sum Up?", IDI_QUESTION},
};

TEST(ConfirmationTexts, AreWordForWordWithTheirTrailingBlanks)
{
    EXPECT_STREQ(exitQuestion, "If you will close program now, connection data may be incorrect.\nRun Tolvar before "
                               "connection.\n\nDo you want to close the program? ");
    EXPECT_STREQ(resetQuestion, "If you'll reset counters, all data will be lost!\n\nContinue?");
    EXPECT_STREQ(sumUpQuestion, "If you will continue, data for current month will become as data for last month. "
                                "Line \"current month\" will become 0.\nContinue? ");
}

TEST_F(CommandsTest, EachConfirmationOffersYesAndNoWithNoAsDefaultAndItsTextCaptionAndIcon)
{
    for (const Confirmation& box : kConfirmations) {
        const wine::BoxSeen seen = answerBox(box.command, IDNO);
        ASSERT_TRUE(seen.found) << box.command;
        EXPECT_EQ(seen.caption, box.caption) << box.command;
        EXPECT_EQ(seen.text, box.text) << box.command;
        EXPECT_TRUE(seen.yes && seen.no) << box.command;
        EXPECT_FALSE(seen.okOrCancel) << box.command;
        EXPECT_EQ(seen.defaultButton, IDNO) << box.command;
        EXPECT_EQ(seen.icon, LoadIconA(nullptr, box.systemIcon)) << box.command;
    }
}

TEST_F(CommandsTest, AnsweringNoChangesNothing)
{
    const CounterBlock sample = sampleTotals();
    accounting.counterBlock = sample;
    for (const Confirmation& box : kConfirmations) {
        ASSERT_TRUE(answerBox(box.command, IDNO).found) << box.command;
        WPARAM code = 0;
        EXPECT_FALSE(quitPosted(code)) << box.command;
        EXPECT_EQ(std::memcmp(&accounting.counterBlock, &sample, sizeof accounting.counterBlock), 0) << box.command;
    }
}

TEST_F(CommandsTest, ExitAnsweredYesEndsTheLoopWithCodeOne)
{
    for (WPARAM command : {IDC_TRAY_EXIT, IDC_STATISTICS_EXIT}) {
        ASSERT_TRUE(answerBox(command, IDYES).found);
        WPARAM code = 0;
        ASSERT_TRUE(quitPosted(code)) << command;
        EXPECT_EQ(code, 1u);
    }
}

TEST_F(CommandsTest, ResetAnsweredYesClearsAllSixTotals)
{
    for (WPARAM command : {IDC_TRAY_RESET_COUNTERS, IDC_STATISTICS_RESET_COUNTERS}) {
        accounting.counterBlock = sampleTotals();
        ASSERT_TRUE(answerBox(command, IDYES).found);
        const CounterBlock zero{};
        EXPECT_EQ(std::memcmp(&accounting.counterBlock, &zero, sizeof zero), 0) << command;
    }
}

TEST_F(CommandsTest, SumUpAnsweredYesMovesTheCurrentMonthToTheLast)
{
    for (WPARAM command : {IDC_TRAY_SUM_UP, IDC_STATISTICS_SUM_UP}) {
        accounting.counterBlock = sampleTotals();
        ASSERT_TRUE(answerBox(command, IDYES).found);
        EXPECT_EQ(accounting.counterBlock.lastMonthSeconds, 7200.0) << command;
        EXPECT_EQ(accounting.counterBlock.lastMonthCost, 40.0) << command;
        EXPECT_EQ(accounting.counterBlock.curMonthSeconds, 0.0) << command;
        EXPECT_EQ(accounting.counterBlock.curMonthCost, 0.0) << command;
        EXPECT_EQ(accounting.counterBlock.lastConnSeconds, 90.0) << command;
    }
}

TEST_F(CommandsTest, TheAboutBoxShowsItsTextsAndEndsWithOneThroughOkAndThroughTheCloseBox)
{
    for (bool closeBox : {false, true}) {
        std::string caption;
        std::string title;
        bool okIsDefault = false;
        bool ended = false;
        bool iconShown = false;
        bool credits = false;
        std::thread watcher([&] {
            const HWND box = wine::waitForOwnedBox(shell.statisticsWindow);
            if (box == nullptr)
                return;
            caption = windowText(box);
            title = windowText(GetDlgItem(box, IDC_ABOUT_TITLE));
            okIsDefault = (GetWindowLongA(GetDlgItem(box, IDOK), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
            const HWND icon = GetDlgItem(box, IDC_ABOUT_ICON);
            iconShown = SendMessageA(icon, STM_GETICON, 0, 0) != 0 &&
                        (GetWindowLongA(icon, GWL_EXSTYLE) & WS_EX_STATICEDGE) != 0;
            credits = !windowText(GetDlgItem(box, IDC_ABOUT_CREDIT1)).empty() &&
                      !windowText(GetDlgItem(box, IDC_ABOUT_CREDIT2)).empty();
            if (closeBox)
                PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
            else
                SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            for (int wait = 0; wait < 300 && IsWindow(box); ++wait)
                Sleep(10);
            ended = !IsWindow(box);
            // A box that ignored the request is released so that the test can report it.
            if (!ended)
                SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        });
        const INT_PTR result = DialogBoxParamA(shell.instance, MAKEINTRESOURCEA(IDD_ABOUT), shell.statisticsWindow, aboutDialogProc, 0);
        watcher.join();
        EXPECT_TRUE(ended) << closeBox;
        EXPECT_EQ(result, 1) << closeBox;
        EXPECT_EQ(caption, "About Tolvar 2.2");
        EXPECT_EQ(title, "Tolvar 2.2");
        EXPECT_TRUE(okIsDefault);
        EXPECT_TRUE(iconShown);
        EXPECT_TRUE(credits);
    }
}

TEST_F(CommandsTest, TheAboutCommandOpensTheBoxOwnedByTheStatisticsWindow)
{
    std::string caption;
    std::thread watcher([&] {
        const HWND box = wine::waitForOwnedBox(shell.statisticsWindow);
        if (box == nullptr)
            return;
        caption = windowText(box);
        SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    });
    SendMessageA(shell.statisticsWindow, WM_COMMAND, IDC_STATISTICS_ABOUT, 0);
    watcher.join();
    EXPECT_EQ(caption, "About Tolvar 2.2");
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
        std::thread watcher([&] {
            const HWND dialog = wine::waitForOwnedBox(shell.statisticsWindow);
            if (dialog == nullptr)
                return;
            grayedWhileOpen = trayItemGrayed(IDC_TRAY_SETTINGS);
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        SendMessageA(shell.statisticsWindow, WM_COMMAND, command, 0);
        watcher.join();
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
    std::atomic<bool> boxOpened{false};
    std::thread watcher([&] {
        if (HWND box = wine::waitForOwnedBox(shell.statisticsWindow)) {
            boxOpened = true;
            PostMessageA(box, WM_COMMAND, IDNO, 0);
        }
    });
    for (WPARAM command : {0, 1, IDC_DETAILS_CLOSE, IDC_DETAILS_CLEAR_ALL, IDC_DETAILS_SHOW_LAST_MONTH, 40027, 40099})
        SendMessageA(shell.statisticsWindow, WM_COMMAND, command, 0);
    watcher.join();
    EXPECT_FALSE(boxOpened);
    EXPECT_FALSE(IsWindowVisible(shell.statisticsWindow));
    EXPECT_TRUE(details.window == nullptr || !IsWindow(details.window));
    EXPECT_TRUE(shell.timerWindow == nullptr || !IsWindow(shell.timerWindow));
    EXPECT_EQ(std::memcmp(&accounting.counterBlock, &sample, sizeof accounting.counterBlock), 0);
    WPARAM code = 0;
    EXPECT_FALSE(quitPosted(code));
}

} // namespace
