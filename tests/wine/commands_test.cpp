// The statistics window's commands in-process: confirmations answered from a watcher thread, About, Settings,
// the tray item states and the detailed views.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "accounting/state.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "app/shell.h"
#include "res/resource.h"
#include "storage/settings.h"
#include "ui/details_window.h"
#include "ui/timer_window.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvar";

void deleteTree(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::string> children;
    char name[256];
    DWORD length = sizeof name;
    for (DWORD index = 0; RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++index, length = sizeof name)
        children.emplace_back(name);
    RegCloseKey(key);
    for (const std::string& child : children)
        deleteTree(root, path + "\\" + child);
    RegDeleteKeyA(root, path.c_str());
}

void forgetEarlierRuns()
{
    deleteTree(HKEY_CURRENT_USER, "Software\\Vesk");
    HKEY run = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
        RegDeleteValueA(run, "Tolvar");
        RegCloseKey(run);
    }
    deleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string data(path);
    DeleteFileA((data.substr(0, data.rfind('\\') + 1) + "Tq.dat").c_str());
}

void pumpFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < milliseconds) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
}

bool trayGrayed(UINT command) { return (GetMenuState(trayMenu, command, MF_BYCOMMAND) & MF_GRAYED) != 0; }

// A visible dialog-class window owned by the statistics window, waited for up to five seconds.
HWND waitForOwnedBox()
{
    for (int wait = 0; wait < 500; ++wait) {
        HWND box = nullptr;
        while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr)
            if (GetWindow(box, GW_OWNER) == mainWindow && IsWindowVisible(box))
                return box;
        Sleep(10);
    }
    return nullptr;
}

std::string textOf(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The icon a message box shows, taken from its icon static whatever that control's id.
HICON boxIcon(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = {};
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    }
    return nullptr;
}

struct BoxSeen {
    bool found = false;
    std::string caption;
    std::string text;
    bool yes = false;
    bool no = false;
    bool okOrCancel = false;
    int defaultButton = 0;
    HICON icon = nullptr;
    bool timerGrayedMeanwhile = false;
};

// Runs `command` on this thread while a second thread reads the box it opens and presses `answer`.
BoxSeen answerBox(WPARAM command, int answer, const std::function<void(BoxSeen&)>& whileOpen = nullptr)
{
    BoxSeen seen;
    std::thread watcher([&] {
        const HWND box = waitForOwnedBox();
        if (box == nullptr)
            return;
        seen.found = true;
        seen.caption = textOf(box);
        seen.text = textOf(GetDlgItem(box, 0xFFFF));
        seen.yes = GetDlgItem(box, IDYES) != nullptr;
        seen.no = GetDlgItem(box, IDNO) != nullptr;
        seen.okOrCancel = GetDlgItem(box, IDOK) != nullptr || GetDlgItem(box, IDCANCEL) != nullptr;
        for (int id : {IDYES, IDNO})
            if (HWND button = GetDlgItem(box, id))
                if ((GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                    seen.defaultButton = id;
        seen.icon = boxIcon(box);
        if (whileOpen)
            whileOpen(seen);
        SendMessageA(GetDlgItem(box, answer), BM_CLICK, 0, 0);
    });
    SendMessageA(mainWindow, WM_COMMAND, command, 0);
    watcher.join();
    return seen;
}

// Whether a WM_QUIT waits in the queue; returns its wParam through `code`.
bool quitPosted(WPARAM& code)
{
    MSG message;
    if (!PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        return false;
    code = message.wParam;
    return true;
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
        forgetEarlierRuns();
        instance = GetModuleHandleA(nullptr);
        std::memset(&counterBlock, 0, sizeof counterBlock);
        std::memset(&liveConnection, 0, sizeof liveConnection);
        ASSERT_TRUE(initApplication());
    }

    void TearDown() override
    {
        if (timerWindow != nullptr && IsWindow(timerWindow))
            DestroyWindow(timerWindow);
        if (detailsWindow != nullptr && IsWindow(detailsWindow))
            DestroyWindow(detailsWindow);
        DestroyWindow(mainWindow);
        DestroyMenu(trayMenu);
        for (const char* name : {"LinkStatistics", "Counter", "Details"})
            UnregisterClassA(name, instance);
        mainWindow = nullptr;
        mainMenu = nullptr;
        trayMenu = nullptr;
        pumpFor(20);
        WPARAM ignored = 0;
        while (quitPosted(ignored)) {
        }
        forgetEarlierRuns();
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
    {IDC_MAIN_EXIT, exitQuestion, "Tolvar 2.2", IDI_WARNING},
    {IDC_TRAY_RESET_COUNTERS, resetQuestion, "Reset counters?", IDI_QUESTION},
    {IDC_MAIN_RESET_COUNTERS, resetQuestion, "Reset counters?", IDI_QUESTION},
    {IDC_TRAY_SUM_UP, sumUpQuestion, "Sum Up?", IDI_QUESTION},
    {IDC_MAIN_SUM_UP, sumUpQuestion, "Sum Up?", IDI_QUESTION},
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
        const BoxSeen seen = answerBox(box.command, IDNO);
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
    counterBlock = sample;
    for (const Confirmation& box : kConfirmations) {
        ASSERT_TRUE(answerBox(box.command, IDNO).found) << box.command;
        WPARAM code = 0;
        EXPECT_FALSE(quitPosted(code)) << box.command;
        EXPECT_EQ(std::memcmp(&counterBlock, &sample, sizeof counterBlock), 0) << box.command;
    }
}

TEST_F(CommandsTest, ExitAnsweredYesEndsTheLoopWithCodeOne)
{
    for (WPARAM command : {IDC_TRAY_EXIT, IDC_MAIN_EXIT}) {
        ASSERT_TRUE(answerBox(command, IDYES).found);
        WPARAM code = 0;
        ASSERT_TRUE(quitPosted(code)) << command;
        EXPECT_EQ(code, 1u);
    }
}

TEST_F(CommandsTest, ResetAnsweredYesClearsAllSixTotals)
{
    for (WPARAM command : {IDC_TRAY_RESET_COUNTERS, IDC_MAIN_RESET_COUNTERS}) {
        counterBlock = sampleTotals();
        ASSERT_TRUE(answerBox(command, IDYES).found);
        const CounterBlock zero{};
        EXPECT_EQ(std::memcmp(&counterBlock, &zero, sizeof zero), 0) << command;
    }
}

TEST_F(CommandsTest, SumUpAnsweredYesMovesTheCurrentMonthToTheLast)
{
    for (WPARAM command : {IDC_TRAY_SUM_UP, IDC_MAIN_SUM_UP}) {
        counterBlock = sampleTotals();
        ASSERT_TRUE(answerBox(command, IDYES).found);
        EXPECT_EQ(counterBlock.lastMonthSeconds, 7200.0) << command;
        EXPECT_EQ(counterBlock.lastMonthCost, 40.0) << command;
        EXPECT_EQ(counterBlock.curMonthSeconds, 0.0) << command;
        EXPECT_EQ(counterBlock.curMonthCost, 0.0) << command;
        EXPECT_EQ(counterBlock.lastConnSeconds, 90.0) << command;
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
            const HWND box = waitForOwnedBox();
            if (box == nullptr)
                return;
            caption = textOf(box);
            title = textOf(GetDlgItem(box, IDC_ABOUT_TITLE));
            okIsDefault = (GetWindowLongA(GetDlgItem(box, IDOK), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
            const HWND icon = GetDlgItem(box, IDC_ABOUT_ICON);
            iconShown = SendMessageA(icon, STM_GETICON, 0, 0) != 0 &&
                        (GetWindowLongA(icon, GWL_EXSTYLE) & WS_EX_STATICEDGE) != 0;
            credits = !textOf(GetDlgItem(box, IDC_ABOUT_CREDIT1)).empty() &&
                      !textOf(GetDlgItem(box, IDC_ABOUT_CREDIT2)).empty();
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
        const INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), mainWindow, aboutDialogProc, 0);
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
        const HWND box = waitForOwnedBox();
        if (box == nullptr)
            return;
        caption = textOf(box);
        SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    });
    SendMessageA(mainWindow, WM_COMMAND, IDC_MAIN_ABOUT, 0);
    watcher.join();
    EXPECT_EQ(caption, "About Tolvar 2.2");
}

TEST_F(CommandsTest, ShowAndHideStatisticsGrayAndEnableTheTrayItem)
{
    SendMessageA(mainWindow, WM_COMMAND, IDC_TRAY_SHOW_STATISTICS, 0);
    EXPECT_TRUE(IsWindowVisible(mainWindow));
    EXPECT_TRUE(trayGrayed(IDC_TRAY_SHOW_STATISTICS));
    SendMessageA(mainWindow, WM_COMMAND, IDC_MAIN_HIDE_STATISTICS, 0);
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    EXPECT_FALSE(trayGrayed(IDC_TRAY_SHOW_STATISTICS));
    // Only the low word names the command.
    SendMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDC_TRAY_SHOW_STATISTICS, 1), 0);
    EXPECT_TRUE(IsWindowVisible(mainWindow));
    // The menu bar's items keep their template states.
    EXPECT_EQ(GetMenuState(mainMenu, IDC_MAIN_HIDE_STATISTICS, MF_BYCOMMAND) & MF_GRAYED, 0u);
}

TEST_F(CommandsTest, AtStartShowTimerAndResetCountersAreGrayed)
{
    EXPECT_TRUE(trayGrayed(IDC_TRAY_SHOW_TIMER));
    EXPECT_TRUE(trayGrayed(IDC_TRAY_RESET_COUNTERS));
    EXPECT_NE(GetMenuState(mainMenu, IDC_MAIN_RESET_COUNTERS, MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_FALSE(trayGrayed(IDC_TRAY_SETTINGS));
    EXPECT_FALSE(trayGrayed(IDC_TRAY_SUM_UP));
}

TEST_F(CommandsTest, ShowTimerOpensAFloatingTimer)
{
    SendMessageA(mainWindow, WM_COMMAND, IDC_TRAY_SHOW_TIMER, 0);
    ASSERT_TRUE(timerWindow != nullptr && IsWindow(timerWindow));
    char className[16] = {};
    GetClassNameA(timerWindow, className, sizeof className);
    EXPECT_STREQ(className, "Counter");
}

TEST_F(CommandsTest, SettingsGraysItsTrayItemWhileTheDialogIsOpen)
{
    for (WPARAM command : {IDC_TRAY_SETTINGS, IDC_MAIN_SETTINGS}) {
        bool grayedWhileOpen = false;
        std::thread watcher([&] {
            const HWND dialog = waitForOwnedBox();
            if (dialog == nullptr)
                return;
            grayedWhileOpen = trayGrayed(IDC_TRAY_SETTINGS);
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        SendMessageA(mainWindow, WM_COMMAND, command, 0);
        watcher.join();
        EXPECT_TRUE(grayedWhileOpen) << command;
        EXPECT_FALSE(trayGrayed(IDC_TRAY_SETTINGS)) << command;
    }
}

TEST_F(CommandsTest, TheDetailedCommandsOpenTheListAndRememberTheirFilter)
{
    struct Case {
        WPARAM command;
        ViewFilter filter;
    };
    for (const Case& view : {Case{IDC_MAIN_DETAILS_LAST_MONTH, ViewFilter::LastMonth},
                             Case{IDC_TRAY_DETAILS_ALL, ViewFilter::All},
                             Case{IDC_TRAY_DETAILS_CURRENT_MONTH, ViewFilter::CurrentMonth},
                             Case{IDC_TRAY_DETAILS_LAST_MONTH, ViewFilter::LastMonth},
                             Case{IDC_MAIN_DETAILS_CURRENT_MONTH, ViewFilter::CurrentMonth},
                             Case{IDC_MAIN_DETAILS_ALL, ViewFilter::All}}) {
        SendMessageA(mainWindow, WM_COMMAND, view.command, 0);
        EXPECT_EQ(currentViewFilter, view.filter) << view.command;
        EXPECT_TRUE(detailsWindow != nullptr && IsWindow(detailsWindow)) << view.command;
    }
}

TEST_F(CommandsTest, CommandsOfOtherMenusAndUnknownIdsDoNothing)
{
    const CounterBlock sample = sampleTotals();
    counterBlock = sample;
    std::atomic<bool> boxOpened{false};
    std::thread watcher([&] {
        if (HWND box = waitForOwnedBox()) {
            boxOpened = true;
            PostMessageA(box, WM_COMMAND, IDNO, 0);
        }
    });
    for (WPARAM command : {0, 1, IDC_DETAILS_CLOSE, IDC_DETAILS_CLEAR_ALL, IDC_DETAILS_SHOW_LAST_MONTH, 40027, 40099})
        SendMessageA(mainWindow, WM_COMMAND, command, 0);
    watcher.join();
    EXPECT_FALSE(boxOpened);
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    EXPECT_TRUE(detailsWindow == nullptr || !IsWindow(detailsWindow));
    EXPECT_TRUE(timerWindow == nullptr || !IsWindow(timerWindow));
    EXPECT_EQ(std::memcmp(&counterBlock, &sample, sizeof counterBlock), 0);
    WPARAM code = 0;
    EXPECT_FALSE(quitPosted(code));
}

} // namespace
