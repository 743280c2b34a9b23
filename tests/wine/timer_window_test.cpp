// The floating timer strip under Wine: placement, colours read back as pixels, and how it closes.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "core/ports.h"
#include "core/state.h"
#include "win32/shell.h"
#include "res/resource.h"
#include "core/settings.h"
#include "tests/wine/wine_support.h"
#include "win32/timer_window.h"

namespace {

// Colours found on the strip, by count.
struct StripColours {
    int green = 0;
    int red = 0;
    int black = 0;
    int total = 0;
};

StripColours stripColours(HWND window)
{
    StripColours found;
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    for (int y = client.top; y < client.bottom; ++y)
        for (int x = client.left; x < client.right; ++x) {
            const COLORREF pixel = GetPixel(dc, x, y);
            found.green += pixel == kTimerColour;
            found.red += pixel == kTimerWarningColour;
            found.black += pixel == RGB(0, 0, 0);
            ++found.total;
        }
    ReleaseDC(window, dc);
    return found;
}

bool showTimerGrayed() { return wine::trayItemGrayed(IDC_TRAY_SHOW_TIMER); }

class TimerStrip : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        shell.instance = GetModuleHandleA(nullptr);
        wine::registerTimerStripClass();
    }

    void SetUp() override
    {
        wine::zeroRecords();
        shell.trayMenu = CreateMenu();
        HMENU popup = CreatePopupMenu();
        AppendMenuA(popup, MF_STRING, IDC_TRAY_SHOW_TIMER, "Show Timer");
        AppendMenuA(shell.trayMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), "Tray");
    }

    void TearDown() override
    {
        destroyTimerWindow();
        DestroyMenu(shell.trayMenu);
        shell.trayMenu = nullptr;
        wine::pumpMessages(20);
    }

    void warnAfterHalfAnHour()
    {
        settings.block.warningsEnabled = settings.block.timeWarning = settings.block.timeWarnPerConn = 1;
        settings.block.timeLimitPerConn = Hms{0, 30, 0};
    }
};

TEST_F(TimerStrip, SitsThreeCaptionButtonsLeftOfTheScreenEdgeAndGraysShowTimer)
{
    ASSERT_FALSE(showTimerGrayed());
    showTimerWindow();
    ASSERT_TRUE(timerWindowExists());
    RECT r;
    GetWindowRect(shell.timerWindow, &r);
    EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN) - 3 * GetSystemMetrics(SM_CXSIZE));
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom - r.top, GetSystemMetrics(SM_CYCAPTION));
    EXPECT_GT(r.right - r.left, 0);
    const LONG_PTR exStyle = GetWindowLongPtrA(shell.timerWindow, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(showTimerGrayed());
}

TEST_F(TimerStrip, PaintMessagesLeaveTheDigitsOnTheStrip)
{
    accounting.liveConnection.curConnSeconds = 4000;
    showTimerWindow();
    wine::pumpMessages(150);
    StripColours shown = stripColours(shell.timerWindow);
    EXPECT_GT(shown.green, 0) << "first paint";
    EXPECT_GT(shown.black, shown.total / 2);

    InvalidateRect(shell.timerWindow, nullptr, TRUE);
    UpdateWindow(shell.timerWindow);
    wine::pumpMessages(50);
    shown = stripColours(shell.timerWindow);
    EXPECT_GT(shown.green, 0) << "repaint after uncovering";
    RECT update;
    EXPECT_FALSE(GetUpdateRect(shell.timerWindow, &update, FALSE));
}

TEST_F(TimerStrip, RedOnlyStrictlyAboveTheConnectionLimitWithAllThreeSwitches)
{
    warnAfterHalfAnHour();
    showTimerWindow();
    wine::pumpMessages(50);

    accounting.liveConnection.curConnSeconds = 1800;
    paintTimer();
    StripColours shown = stripColours(shell.timerWindow);
    EXPECT_GT(shown.green, 0);
    EXPECT_EQ(shown.red, 0);

    accounting.liveConnection.curConnSeconds = 1801;
    paintTimer();
    shown = stripColours(shell.timerWindow);
    EXPECT_GT(shown.red, 0);
    EXPECT_EQ(shown.green, 0) << "the strip is redrawn whole";

    for (int32_t* flag : {&settings.block.warningsEnabled, &settings.block.timeWarning, &settings.block.timeWarnPerConn}) {
        *flag = 0;
        paintTimer();
        shown = stripColours(shell.timerWindow);
        EXPECT_GT(shown.green, 0);
        EXPECT_EQ(shown.red, 0);
        *flag = 1;
    }
}

TEST_F(TimerStrip, DoubleClickClosesItAndOffersShowTimerAgain)
{
    showTimerWindow();
    wine::pumpMessages(100);
    HWND strip = shell.timerWindow;
    RECT r;
    GetWindowRect(strip, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT clicks[4] = {};
    const DWORD flags[4] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    for (int i = 0; i < 4; ++i) {
        clicks[i].type = INPUT_MOUSE;
        clicks[i].mi.dwFlags = flags[i];
    }
    SendInput(4, clicks, sizeof(INPUT));
    for (int i = 0; i < 100 && IsWindow(strip); ++i)
        wine::pumpMessages(20);

    EXPECT_FALSE(IsWindow(strip));
    EXPECT_FALSE(timerWindowExists());
    EXPECT_FALSE(showTimerGrayed());

    showTimerWindow();
    EXPECT_TRUE(timerWindowExists()) << "Show Timer opens a new strip";
    EXPECT_TRUE(showTimerGrayed());
}

TEST_F(TimerStrip, ClosedByTheMonitorShowTimerStaysGrayed)
{
    showTimerWindow();
    HWND strip = shell.timerWindow;
    destroyTimerWindow();
    EXPECT_FALSE(IsWindow(strip));
    EXPECT_FALSE(timerWindowExists());
    EXPECT_TRUE(showTimerGrayed());
    paintTimer(); // no strip: nothing to paint, and nothing painted elsewhere
    destroyTimerWindow();
}

TEST_F(TimerStrip, OpeningWhileOneIsOpenKeepsASingleStrip)
{
    accounting.liveConnection.curConnSeconds = 10;
    showTimerWindow();
    HWND first = shell.timerWindow;
    showTimerWindow();
    EXPECT_EQ(shell.timerWindow, first);
    int strips = 0;
    for (HWND w = FindWindowExA(nullptr, nullptr, "Counter", nullptr); w != nullptr;
         w = FindWindowExA(nullptr, w, "Counter", nullptr))
        ++strips;
    EXPECT_EQ(strips, 1);
}

} // namespace
