// The always-on-top strip that shows the live connection's duration.
#include "win32/timer_window.h"

#include "core/display.h"
#include "core/settings.h"
#include "core/state.h"
#include "core/text.h"
#include "core/warning.h"
#include "res/resource.h"
#include "win32/accessible_figures.h"
#include "win32/program_records.h"

namespace {

const char kTemplate[] = "000:00:00";

// Text colours of the strip: the normal one, and the one above the time limit.
constexpr COLORREF kTimerColour = RGB(85, 180, 0);
constexpr COLORREF kTimerWarningColour = RGB(255, 50, 50);

// Size of "000:00:00" in the timer font, which is one caption bar tall.
SIZE measureTemplate(HDC dc, HFONT timerFont)
{
    HGDIOBJ oldFont = SelectObject(dc, timerFont);
    SIZE extent = {};
    GetTextExtentPoint32A(dc, kTemplate, kDurationDrawnLength, &extent);
    SelectObject(dc, oldFont);
    return extent;
}

void onTimerCreate() { EnableMenuItem(shell.trayMenu, IDC_TRAY_SHOW_TIMER, MF_BYCOMMAND | MF_GRAYED); }

// The strip is drawn after the paint is validated: validating it later would erase the digits again with the
// black class background whenever the update asks for erasing.
void onTimerPaint(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    paintTimer();
}

void onTimerDoubleClick(HWND window)
{
    DestroyWindow(window);
    EnableMenuItem(shell.trayMenu, IDC_TRAY_SHOW_TIMER, MF_BYCOMMAND | MF_ENABLED);
}

// A destroyed handle may be reused by an unrelated window, which the strip must then never paint.
void onTimerNcDestroy(HWND window)
{
    if (shell.timerWindow == window)
        shell.timerWindow = nullptr;
}

} // namespace

LRESULT CALLBACK timerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: onTimerCreate(); break;
    case WM_PAINT: onTimerPaint(window); break;
    case WM_LBUTTONDBLCLK: onTimerDoubleClick(window); return 0;
    case WM_NCDESTROY: onTimerNcDestroy(window); break;
    case WM_DESTROY: releaseFiguresObject(window); break;
    case WM_GETOBJECT: return answerFiguresObject(window, FigureSet::TimerStrip, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void showTimerWindow()
{
    if (timerWindowExists()) {
        // One strip at a time: the open one becomes the connection's strip.
        paintTimer();
        return;
    }
    HDC screen = GetDC(nullptr);
    HFONT timerFont = createGuiFont(screen, GetSystemMetrics(SM_CYCAPTION), FW_BOLD);
    const int cx = measureTemplate(screen, timerFont).cx;
    DeleteObject(timerFont);
    ReleaseDC(nullptr, screen);

    const int x = GetSystemMetrics(SM_CXSCREEN) - 3 * GetSystemMetrics(SM_CXSIZE) - cx / 10 - cx;
    shell.timerWindow =
        CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "Counter", "", WS_POPUP | WS_VISIBLE, x, 0, cx + cx / 10,
                        GetSystemMetrics(SM_CYCAPTION), nullptr, nullptr, shell.instance, nullptr);
}

bool timerWindowExists() { return shell.timerWindow != nullptr && IsWindow(shell.timerWindow) != FALSE; }

void drawTimerStrip(HDC dc, const RECT& client, int captionHeight, double seconds, const SettingsBlock& block)
{
    SetTextColor(dc, timerStripWarns(seconds, block) ? kTimerWarningColour : kTimerColour);

    HFONT timerFont = createGuiFont(dc, captionHeight, FW_BOLD);
    const SIZE extent = measureTemplate(dc, timerFont);
    HGDIOBJ oldFont = SelectObject(dc, timerFont);
    char text[kDurationTextSize];
    const int length = timerStripText(seconds, text, sizeof text);

    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    ExtTextOutA(dc, extent.cx / 20, (captionHeight - extent.cy) / 2, ETO_CLIPPED, &client, text, length,
                nullptr);

    SelectObject(dc, oldFont);
    DeleteObject(timerFont);
}

int timerStripText(double seconds, char* text, size_t size)
{
    const int length = formatDuration(seconds, text, size);
    return length > kDurationDrawnLength ? kDurationDrawnLength : length;
}

bool timerStripWarns(double seconds, const SettingsBlock& block)
{
    return aboveLimit(block, WatchedFigure::ConnectionTime, seconds);
}

void paintTimer()
{
    if (!timerWindowExists())
        return; // GetDC of no window would draw on the whole screen
    HDC dc = GetDC(shell.timerWindow);
    RECT client;
    GetClientRect(shell.timerWindow, &client);
    drawTimerStrip(dc, client, GetSystemMetrics(SM_CYCAPTION), accounting.liveConnection.curConnSeconds,
                   settings.block);
    ReleaseDC(shell.timerWindow, dc);
}

void destroyTimerWindow()
{
    if (timerWindowExists())
        DestroyWindow(shell.timerWindow);
}
