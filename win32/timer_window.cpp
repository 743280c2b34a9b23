// The always-on-top strip that shows the live connection's duration.
#include "win32/timer_window.h"

#include "core/display.h"
#include "core/settings.h"
#include "core/state.h"
#include "core/text.h"
#include "core/warning.h"
#include "res/resource.h"
#include "win32/accessible_figures.h"
#include "win32/dpi.h"
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

// The strip's one font: bold, one caption bar tall at the strip's DPI.
const WindowFontRecipe kTimerFonts[] = {{0, SM_CYCAPTION, FW_BOLD}};

// Where the strip stands at `dpi`: at the screen's top edge, one caption bar tall, as wide as "000:00:00" and a
// tenth, and ending three caption buttons short of the screen's right edge.
RECT stripPlace(UINT dpi)
{
    HDC screen = GetDC(nullptr);
    HFONT timerFont = createGuiFont(screen, metricForDpi(SM_CYCAPTION, dpi), FW_BOLD);
    const int cx = measureTemplate(screen, timerFont).cx;
    DeleteObject(timerFont);
    ReleaseDC(nullptr, screen);
    const int right = GetSystemMetrics(SM_CXSCREEN) - 3 * metricForDpi(SM_CXSIZE, dpi);
    const RECT place = {right - cx / 10 - cx, 0, right, metricForDpi(SM_CYCAPTION, dpi)};
    return place;
}

void drawStrip(HDC dc, const RECT& client, int captionHeight, HFONT timerFont, double seconds,
               const SettingsBlock& block)
{
    SetTextColor(dc, timerStripWarns(seconds, block) ? kTimerWarningColour : kTimerColour);

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
}

// The strip keeps its font for the DPI it stands at.
void onTimerCreate(HWND window)
{
    attachWindowScale(window, dpiOfWindow(window), kTimerFonts, 1);
    EnableMenuItem(shell.trayMenu, IDC_TRAY_SHOW_TIMER, MF_BYCOMMAND | MF_GRAYED);
}

// The whole strip on the paint's own device context, over the black the erasing may have left.
void onTimerPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const WindowScale* scale = windowScaleOf(window);
    const UINT dpi = scale != nullptr ? scale->dpi : systemDpi();
    const int captionHeight = metricForDpi(SM_CYCAPTION, dpi);
    if (scale != nullptr && scale->fonts[0] != nullptr)
        drawStrip(dc, client, captionHeight, scale->fonts[0], accounting.liveConnection.curConnSeconds,
                  settings.block);
    else
        drawTimerStrip(dc, client, captionHeight, accounting.liveConnection.curConnSeconds, settings.block);
    EndPaint(window, &paint);
}

void onTimerDoubleClick(HWND window)
{
    DestroyWindow(window);
    EnableMenuItem(shell.trayMenu, IDC_TRAY_SHOW_TIMER, MF_BYCOMMAND | MF_ENABLED);
}

// A destroyed handle may be reused by an unrelated window, which the strip must then never paint.
void onTimerNcDestroy(HWND window)
{
    detachWindowScale(window);
    if (shell.timerWindow == window)
        shell.timerWindow = nullptr;
}

// The strip's place follows from the screen's edge at the new DPI rather than from the system's suggestion, which
// only scales the strip where it stands.
void onTimerDpiChanged(HWND window, WPARAM wParam)
{
    const UINT dpi = LOWORD(wParam);
    rescaleWindow(window, dpi);
    const RECT place = stripPlace(dpi);
    SetWindowPos(window, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
}

} // namespace

LRESULT CALLBACK timerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: onTimerCreate(window); break;
    case WM_PAINT: onTimerPaint(window); break;
    case WM_LBUTTONDBLCLK: onTimerDoubleClick(window); return 0;
    case WM_NCDESTROY: onTimerNcDestroy(window); break;
    case kWmDpiChanged: onTimerDpiChanged(window, wParam); return 0;
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
    // The strip stands on the primary screen, so it is made for that screen's DPI.
    const RECT place = stripPlace(systemDpi());
    shell.timerWindow = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "Counter", "", WS_POPUP | WS_VISIBLE,
                                        place.left, place.top, place.right - place.left, place.bottom - place.top,
                                        nullptr, nullptr, shell.instance, nullptr);
}

bool timerWindowExists() { return shell.timerWindow != nullptr && IsWindow(shell.timerWindow) != FALSE; }

void drawTimerStrip(HDC dc, const RECT& client, int captionHeight, double seconds, const SettingsBlock& block)
{
    HFONT timerFont = createGuiFont(dc, captionHeight, FW_BOLD);
    drawStrip(dc, client, captionHeight, timerFont, seconds, block);
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

// The new duration is painted at once by the strip's own paint.
void paintTimer()
{
    if (!timerWindowExists())
        return;
    InvalidateRect(shell.timerWindow, nullptr, FALSE);
    UpdateWindow(shell.timerWindow);
}

void destroyTimerWindow()
{
    if (timerWindowExists())
        DestroyWindow(shell.timerWindow);
}
