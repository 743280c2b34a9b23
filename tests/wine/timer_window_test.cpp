// The floating timer strip under Wine: its drawing routine's colours read back as pixels, its placement, its
// painting wired to the live connection, and how it closes.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "core/display.h"
#include "core/state.h"
#include "win32/program_records.h"
#include "res/resource.h"
#include "core/settings.h"
#include "tests/wine/in_process.h"
#include "win32/timer_window.h"

namespace {

constexpr COLORREF kGreen = RGB(85, 180, 0);
constexpr COLORREF kRed = RGB(255, 50, 50);
constexpr COLORREF kBlack = RGB(0, 0, 0);
// A colour the strip never uses: what the strip leaves undrawn off the screen.
constexpr COLORREF kUndrawn = RGB(255, 0, 255);

// Colours found on the strip, by count.
struct StripColours {
    int green = 0;
    int red = 0;
    int black = 0;
    int undrawn = 0;
    int total = 0;
};

StripColours coloursOf(HDC dc, const RECT& area)
{
    StripColours found;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const COLORREF pixel = GetPixel(dc, x, y);
            found.green += pixel == kGreen;
            found.red += pixel == kRed;
            found.black += pixel == kBlack;
            found.undrawn += pixel == kUndrawn;
            ++found.total;
        }
    return found;
}

StripColours stripColours(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    const StripColours found = coloursOf(dc, client);
    ReleaseDC(window, dc);
    return found;
}

// The per-connection time limit of half an hour with its three switches on.
SettingsBlock warnAfterHalfAnHour()
{
    SettingsBlock block{};
    block.warningsEnabled = block.timeWarning = block.timeWarnPerConn = 1;
    block.timeLimitPerConn = Hms{0, 30, 0};
    return block;
}

// The strip drawn off the screen, over a colour it never uses.
StripColours drawnStrip(double seconds, const SettingsBlock& block)
{
    const int height = GetSystemMetrics(SM_CYCAPTION);
    kit::OffScreen picture(160, height, kUndrawn);
    drawTimerStrip(picture.dc(), picture.rect(), height, seconds, block);
    return coloursOf(picture.dc(), picture.rect());
}

// The colours are the strip's own; the limit is the current connection's, watched by its own switch.
TEST(TimerStripDrawing, GreenOnBlackAndRedAboveTheConnectionLimit)
{
    SettingsBlock block = warnAfterHalfAnHour();
    StripColours shown = drawnStrip(1801, block);
    EXPECT_GT(shown.red, 0);
    EXPECT_EQ(shown.green, 0);
    EXPECT_GT(shown.black, shown.total / 2);
    EXPECT_EQ(shown.undrawn, 0) << "filled whole";

    shown = drawnStrip(1800, block);
    EXPECT_GT(shown.green, 0);
    EXPECT_EQ(shown.red, 0);

    block.timeWarnPerConn = 0;
    block.timeWarnPerMonth = 1;
    shown = drawnStrip(1801, block);
    EXPECT_GT(shown.green, 0) << "the month's switch does not count";
    EXPECT_EQ(shown.red, 0);
}

bool showTimerGrayed() { return inproc::trayItemGrayed(IDC_TRAY_SHOW_TIMER); }

class TimerStrip : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        shell.instance = GetModuleHandleA(nullptr);
        inproc::registerTimerStripClass();
    }

    void SetUp() override
    {
        inproc::zeroRecords();
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
        kit::pumpMessages(20);
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

// Painting draws the live duration under the settings in force: above the limit, red.
TEST_F(TimerStrip, PaintMessagesLeaveTheLiveDurationOnTheStrip)
{
    settings.block = warnAfterHalfAnHour();
    accounting.liveConnection.curConnSeconds = 4000;
    showTimerWindow();
    kit::pumpMessages(150);
    StripColours shown = stripColours(shell.timerWindow);
    EXPECT_GT(shown.red, 0) << "first paint";
    EXPECT_GT(shown.black, shown.total / 2);

    InvalidateRect(shell.timerWindow, nullptr, TRUE);
    UpdateWindow(shell.timerWindow);
    kit::pumpMessages(50);
    shown = stripColours(shell.timerWindow);
    EXPECT_GT(shown.red, 0) << "repaint after uncovering";
    RECT update;
    EXPECT_FALSE(GetUpdateRect(shell.timerWindow, &update, FALSE));

    accounting.liveConnection.curConnSeconds = 1000;
    paintTimer();
    shown = stripColours(shell.timerWindow);
    EXPECT_GT(shown.green, 0) << "the monitor's repaint";
    EXPECT_EQ(shown.red, 0);
}

TEST_F(TimerStrip, DoubleClickClosesItAndOffersShowTimerAgain)
{
    showTimerWindow();
    kit::pumpMessages(100);
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
        kit::pumpMessages(20);

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
