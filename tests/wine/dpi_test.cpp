// The windows at 96, 120 and 144 DPI: at 96 the paint is the picture of the 96-DPI drawing routines and a trip
// to 144 and back leaves every pixel as it was; at 120 and 144 (a process started with the prefix's LogPixels at
// that DPI) every window's size is scaled and every figure, text and icon sits inside its scaled place, unclipped.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/display.h"
#include "core/settings.h"
#include "core/state.h"
#include "res/resource.h"
#include "tests/wine/in_process.h"
#include "win32/dpi.h"
#include "win32/program_records.h"
#include "win32/statistics_window.h"
#include "win32/time_fields.h"

namespace {

// The DPI a child run of this program was started at, or 0 in the ordinary run.
const char kChildDpiVariable[] = "TOLVAR_DPI_CHILD";

constexpr COLORREF kFigure = RGB(0, 0, 150), kWarning = RGB(200, 0, 0);
constexpr COLORREF kTimerGreen = RGB(85, 180, 0), kTimerRed = RGB(255, 50, 50);

int px(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

// A window's client pixels, read once.
struct Picture {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;

    COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool operator==(const Picture& other) const
    {
        return width == other.width && height == other.height && pixels == other.pixels;
    }
    // The smallest rectangle holding every pixel of `colour` within `area`; empty when there is none.
    RECT boundsOf(COLORREF colour, const RECT& area) const
    {
        RECT found = {area.right, area.bottom, area.left, area.top};
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (at(x, y) == colour) {
                    found.left = x < found.left ? x : found.left;
                    found.top = y < found.top ? y : found.top;
                    found.right = x + 1 > found.right ? x + 1 : found.right;
                    found.bottom = y + 1 > found.bottom ? y + 1 : found.bottom;
                }
        return found;
    }
};

Picture pictureOf(HWND window)
{
    kit::pumpMessages(150);
    RECT client;
    GetClientRect(window, &client);
    Picture picture;
    picture.width = client.right;
    picture.height = client.bottom;
    HDC dc = GetDC(window);
    kit::OffScreen copy(client.right, client.bottom, RGB(255, 0, 255));
    BitBlt(copy.dc(), 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    picture.pixels = copy.pixels(client);
    return picture;
}

bool within(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Inside `outer` with a pixel to spare on every side: a text clipped by its box would reach the box's edge.
bool clearOf(const RECT& inner, const RECT& outer)
{
    return inner.left > outer.left && inner.top > outer.top && inner.right < outer.right &&
           inner.bottom < outer.bottom;
}

SIZE textExtent(const char* text, int height, int weight)
{
    HDC screen = GetDC(nullptr);
    HFONT font = createGuiFont(screen, height, weight);
    HGDIOBJ old = SelectObject(screen, font);
    SIZE extent{};
    GetTextExtentPoint32A(screen, text, lstrlenA(text), &extent);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return extent;
}

// The figures the pictures show: row 0 above the per-connection limit of one hour, four hour digits in row 3.
void connectedWithFigures()
{
    inproc::useCurrencySymbol("$");
    settings.block.calculateCost = 1;
    settings.block.tariffCommon = 60;
    settings.block.warningsEnabled = settings.block.timeWarning = settings.block.timeWarnPerConn = 1;
    settings.block.timeLimitPerConn = Hms{1, 0, 0};
    accounting.counterBlock = CounterBlock{754, 36000, 3600000, 2.5, 120.25, 9999.99};
    accounting.liveConnection.connected = true;
    accounting.liveConnection.lastRasState = kRasConnected;
    accounting.liveConnection.curConnSeconds = 4000;
    accounting.liveConnection.curConnCost = 12.5;
}

// Every figure of the statistics window painted at `dpi` lies inside its cell's scaled outline, clear of the
// inside's edges, in a font whose text fits; the status icon and text lie in their scaled boxes.
void expectStatisticsInPlace(HWND window, UINT dpi)
{
    const Picture shown = pictureOf(window);
    const SIZE widest = textExtent("0000:00:0", px(12, dpi), FW_BOLD);
    for (int row = 0; row < kStatisticsRows; ++row) {
        for (int left : {140, 240}) {
            const RECT outline = {px(left, dpi), px(28 + 20 * row, dpi), px(left + 80, dpi), px(45 + 20 * row, dpi)};
            const RECT inside = {outline.left + px(1, dpi), outline.top + px(1, dpi), outline.right - px(1, dpi),
                                 outline.bottom - px(1, dpi)};
            const COLORREF colour = row == 0 && left == 140 ? kWarning : kFigure;
            const RECT figure = shown.boundsOf(colour, outline);
            SCOPED_TRACE(testing::Message() << "DPI " << dpi << ", row " << row << ", cell at " << left);
            ASSERT_LT(figure.left, figure.right) << "a figure is drawn";
            EXPECT_TRUE(clearOf(figure, inside)) << figure.left << "," << figure.top << "-" << figure.right << ","
                                                 << figure.bottom;
            const int centre = (figure.left + figure.right) / 2;
            EXPECT_LE(std::abs(centre - px(left + 40, dpi)), px(2, dpi)) << "centred in its cell";
            EXPECT_LE(widest.cx, inside.right - inside.left) << "the widest figure fits";
            EXPECT_LE(widest.cy, inside.bottom - inside.top + px(1, dpi));
        }
    }
    RECT client;
    GetClientRect(window, &client);
    const int b = client.bottom;
    const RECT iconBox = {px(5, dpi), b - px(20, dpi), px(20, dpi), b - px(5, dpi)};
    const RECT icon = {px(8, dpi), b - px(17, dpi), px(8, dpi) + px(10, dpi), b - px(17, dpi) + px(10, dpi)};
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    int iconPixels = 0;
    // The box's inside: its sides are lines a pen wide, centred on the box's edges.
    const int pen = px(1, dpi);
    for (int y = iconBox.top + pen; y < iconBox.bottom - pen + 1; ++y)
        for (int x = iconBox.left + pen; x < iconBox.right - pen + 1; ++x) {
            const POINT p = {x, y};
            const bool inIcon = PtInRect(&icon, p) != FALSE;
            iconPixels += inIcon && shown.at(x, y) != face;
            EXPECT_TRUE(inIcon || shown.at(x, y) == face) << "DPI " << dpi << ": icon pixel outside at " << x << ","
                                                          << y;
        }
    EXPECT_GT(iconPixels, px(10, dpi) * px(10, dpi) / 4) << "the icon fills its scaled square";
    EXPECT_TRUE(clearOf(icon, iconBox));
    const RECT textBox = {px(25, dpi), b - px(19, dpi), px(140, dpi), b - px(6, dpi)};
    const RECT text = shown.boundsOf(GetSysColor(COLOR_WINDOWTEXT), textBox);
    ASSERT_LT(text.left, text.right) << "DPI " << dpi << ": the status text is drawn";
    EXPECT_TRUE(clearOf(text, textBox)) << "DPI " << dpi << ": status text unclipped";
}

// The strip at `dpi`: one caption bar tall, ending three caption buttons short of the screen's right edge, its
// digits inside it and unclipped.
void expectStripInPlace(HWND strip, UINT dpi, COLORREF colour)
{
    RECT r;
    GetWindowRect(strip, &r);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom - r.top, metricForDpi(SM_CYCAPTION, dpi)) << "DPI " << dpi;
    EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN) - 3 * metricForDpi(SM_CXSIZE, dpi)) << "DPI " << dpi;
    const SIZE digits = textExtent("000:00:00", metricForDpi(SM_CYCAPTION, dpi), FW_BOLD);
    EXPECT_EQ(r.right - r.left, digits.cx + digits.cx / 10) << "DPI " << dpi;
    const Picture shown = pictureOf(strip);
    const RECT whole = {0, 0, shown.width, shown.height};
    const RECT text = shown.boundsOf(colour, whole);
    ASSERT_LT(text.left, text.right) << "DPI " << dpi;
    EXPECT_TRUE(clearOf(text, whole)) << "DPI " << dpi << ": digits unclipped";
}

const int kTimeHosts[] = {IDC_COMMON_FROM, IDC_COMMON_TO, IDC_TIME_LIMIT_PER_CONN, IDC_TIME_LIMIT_PER_MONTH};

HWND openSettings()
{
    return CreateDialogParamA(shell.instance, MAKEINTRESOURCEA(IDD_SETTINGS), shell.statisticsWindow,
                              settingsDialogProc, 0);
}

// The time fields at `dpi`: every part inside its host and wide enough for its digits in its own font.
void expectTimeFieldsInPlace(HWND dialog, UINT dpi)
{
    for (int host : kTimeHosts) {
        RECT hostRect;
        GetWindowRect(GetDlgItem(dialog, host), &hostRect);
        for (TimePartPlace place : {HoursPart, MinutesPart, SecondsPart}) {
            HWND part = timeFieldPart(dialog, host, place);
            if (part == nullptr)
                continue;
            SCOPED_TRACE(testing::Message() << "DPI " << dpi << ", host " << host << ", part " << place);
            RECT partRect;
            GetWindowRect(part, &partRect);
            EXPECT_TRUE(within(partRect, hostRect));
            HDC dc = GetDC(part);
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(part, WM_GETFONT, 0, 0)));
            SIZE digits{};
            const bool limitHours = place == HoursPart && host >= IDC_TIME_LIMIT_PER_CONN;
            GetTextExtentPoint32A(dc, limitHours ? "000" : "00", limitHours ? 3 : 2, &digits);
            SelectObject(dc, old);
            ReleaseDC(part, dc);
            EXPECT_GE(partRect.right - partRect.left, digits.cx + px(2, dpi));
            EXPECT_GE(partRect.bottom - partRect.top, digits.cy + px(2, dpi));
        }
    }
}

// Each part's rectangle inside its host, field by field.
std::vector<RECT> partPlaces(HWND dialog)
{
    std::vector<RECT> places;
    for (int host : kTimeHosts)
        for (TimePartPlace place : {HoursPart, MinutesPart, SecondsPart}) {
            HWND part = timeFieldPart(dialog, host, place);
            if (part == nullptr)
                continue;
            RECT r;
            GetWindowRect(part, &r);
            MapWindowPoints(nullptr, GetDlgItem(dialog, host), reinterpret_cast<POINT*>(&r), 2);
            places.push_back(r);
        }
    return places;
}

int fontHeightOf(HWND window)
{
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
}

// The hosts as the system sizes a dialog's controls for a monitor of `dpi`, from their size at 96.
void sizeHosts(HWND dialog, const std::vector<SIZE>& at96, UINT dpi)
{
    for (size_t i = 0; i < at96.size(); ++i)
        SetWindowPos(GetDlgItem(dialog, kTimeHosts[i]), nullptr, 0, 0, px(at96[i].cx, dpi), px(at96[i].cy, dpi),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The suggested rectangle the system gives with WM_DPICHANGED: the window where it is, at the size for `dpi`.
RECT suggestedFor(HWND window, int width, int height)
{
    RECT r;
    GetWindowRect(window, &r);
    const RECT suggested = {r.left, r.top, r.left + width, r.top + height};
    return suggested;
}

void sendDpiChange(HWND window, UINT dpi, const RECT& suggested)
{
    SendMessageA(window, kWmDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    UpdateWindow(window);
}

class Dpi : public ::testing::Test {
protected:
    void SetUp() override
    {
        inproc::forgetEarlierRuns();
        ASSERT_TRUE(inproc::startApplication());
        // The pictures show fixed states: no poll may change them.
        KillTimer(shell.statisticsWindow, kFastTimer);
        KillTimer(shell.statisticsWindow, kSlowTimer);
        connectedWithFigures();
        showStatistics();
        SetWindowPos(shell.statisticsWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        UpdateWindow(shell.statisticsWindow);
    }
    void TearDown() override
    {
        inproc::endApplication();
        inproc::forgetEarlierRuns();
    }
};

// At 96 the window's one paint shows exactly what the 96-DPI drawing routines draw: the frame, then the figures.
TEST_F(Dpi, At96ThePaintIsTheDrawingRoutinesPicture)
{
    if (systemDpi() != kDefaultDpi)
        GTEST_SKIP() << "the prefix is not at 96 DPI";
    const Picture shown = pictureOf(shell.statisticsWindow);
    kit::OffScreen drawn(shown.width, shown.height, GetSysColor(COLOR_BTNFACE));
    drawStatisticsFrame(drawn.dc(), drawn.rect(), settings.block, "$", 1);
    drawStatisticsFigures(drawn.dc(), drawn.rect(), FigurePass::Connected, statisticsFiguresNow(true),
                          settings.block);
    EXPECT_TRUE(drawn.pixels(drawn.rect()) == shown.pixels);

    RECT r;
    GetWindowRect(shell.statisticsWindow, &r);
    EXPECT_EQ(r.right - r.left, 400);
    EXPECT_EQ(r.bottom - r.top, GetSystemMetrics(SM_CYMENU) + 170);
}

// WM_DPICHANGED to 144 and back: each window takes its size and fonts for the new DPI, and back at 96 every pixel
// and size is what it was before.
TEST_F(Dpi, ChangeTo144AndBackRestoresEveryPixel)
{
    if (systemDpi() != kDefaultDpi)
        GTEST_SKIP() << "the prefix is not at 96 DPI";
    HWND statistics = shell.statisticsWindow;
    const Picture before = pictureOf(statistics);
    RECT original;
    GetWindowRect(statistics, &original);

    sendDpiChange(statistics, 144, suggestedFor(statistics, 600, metricForDpi(SM_CYMENU, 144) + 255));
    RECT r;
    GetWindowRect(statistics, &r);
    EXPECT_EQ(r.right - r.left, 600);
    expectStatisticsInPlace(statistics, 144);
    // The per-second update at 144 changes only the live cells, in their scaled places.
    const Picture full = pictureOf(statistics);
    accounting.liveConnection.curConnSeconds = 4001;
    paintConnected(false);
    const Picture live = pictureOf(statistics);
    const RECT lastConnection = {px(141, 144), px(49, 144), px(219, 144), px(64, 144)};
    for (int y = lastConnection.top; y < lastConnection.bottom; ++y)
        for (int x = lastConnection.left; x < lastConnection.right; ++x)
            ASSERT_EQ(live.at(x, y), full.at(x, y)) << x << "," << y;
    EXPECT_FALSE(live == full);
    accounting.liveConnection.curConnSeconds = 4000;

    sendDpiChange(statistics, 96, original);
    EXPECT_TRUE(pictureOf(statistics) == before) << "back at 96";

    showTimerWindow();
    HWND strip = shell.timerWindow;
    ASSERT_NE(strip, nullptr);
    const Picture stripBefore = pictureOf(strip);
    sendDpiChange(strip, 144, suggestedFor(strip, 1, 1));
    expectStripInPlace(strip, 144, kTimerRed);
    sendDpiChange(strip, 96, suggestedFor(strip, 1, 1));
    expectStripInPlace(strip, 96, kTimerRed);
    EXPECT_TRUE(pictureOf(strip) == stripBefore);

    openDetails(All);
    ASSERT_TRUE(IsWindow(details.window));
    RECT detailsBefore;
    GetWindowRect(details.window, &detailsBefore);
    sendDpiChange(details.window, 144, suggestedFor(details.window, 900, 700));
    EXPECT_EQ(SendMessageA(details.list, LVM_GETCOLUMNWIDTH, 0, 0), 150);
    RECT list;
    GetWindowRect(details.list, &list);
    MapWindowPoints(nullptr, details.window, reinterpret_cast<POINT*>(&list), 2);
    EXPECT_EQ(list.left, 8) << "the margin at 144";
    sendDpiChange(details.window, 96, detailsBefore);
    EXPECT_EQ(SendMessageA(details.list, LVM_GETCOLUMNWIDTH, 0, 0), 100);
    GetWindowRect(details.list, &list);
    MapWindowPoints(nullptr, details.window, reinterpret_cast<POINT*>(&list), 2);
    EXPECT_EQ(list.left, 5);
}

// A process started at the prefix's DPI: every window sized for it, everything inside its scaled place. Runs only
// as the child the next test starts.
TEST_F(Dpi, ChildAtTheSystemDpi)
{
    const char* wanted = std::getenv(kChildDpiVariable);
    if (wanted == nullptr)
        GTEST_SKIP() << "run by WindowsAt120And144Dpi";
    const UINT dpi = static_cast<UINT>(std::atoi(wanted));
    ASSERT_EQ(systemDpi(), dpi);
    ASSERT_EQ(dpiOfWindow(shell.statisticsWindow), dpi);
    RECT r;
    GetWindowRect(shell.statisticsWindow, &r);
    EXPECT_EQ(r.right - r.left, px(400, dpi));
    EXPECT_EQ(r.bottom - r.top, metricForDpi(SM_CYMENU, dpi) + px(170, dpi));
    expectStatisticsInPlace(shell.statisticsWindow, dpi);

    accounting.liveConnection.curConnSeconds = 61;
    showTimerWindow();
    ASSERT_NE(shell.timerWindow, nullptr);
    expectStripInPlace(shell.timerWindow, dpi, kTimerGreen);

    openDetails(All);
    ASSERT_TRUE(IsWindow(details.window));
    EXPECT_EQ(SendMessageA(details.list, LVM_GETCOLUMNWIDTH, 0, 0), px(100, dpi));
    RECT list;
    GetWindowRect(details.list, &list);
    MapWindowPoints(nullptr, details.window, reinterpret_cast<POINT*>(&list), 2);
    EXPECT_EQ(list.left, px(5, dpi));
    EXPECT_EQ(list.top, px(5, dpi));

    HWND dialog = openSettings();
    ASSERT_NE(dialog, nullptr);
    expectTimeFieldsInPlace(dialog, dpi);
    DestroyWindow(dialog);
}

// The settings dialog moved to a monitor of 144 DPI: with the hosts sized by the system, each field places its
// parts again in a font half as tall again; back at 96 every part is where it was, in the stock font.
TEST_F(Dpi, TimeFieldsPlacedAgainAt144AndBack)
{
    if (systemDpi() != kDefaultDpi)
        GTEST_SKIP() << "the prefix is not at 96 DPI";
    HWND dialog = openSettings();
    ASSERT_NE(dialog, nullptr);
    const std::vector<RECT> before = partPlaces(dialog);
    std::vector<SIZE> hosts;
    for (int host : kTimeHosts) {
        RECT r;
        GetWindowRect(GetDlgItem(dialog, host), &r);
        hosts.push_back(SIZE{r.right - r.left, r.bottom - r.top});
    }
    HWND firstPart = timeFieldPart(dialog, IDC_COMMON_FROM, HoursPart);
    const int stockHeight = fontHeightOf(firstPart);

    sizeHosts(dialog, hosts, 144);
    for (int host : kTimeHosts)
        placeTimeField(GetDlgItem(dialog, host), 144);
    EXPECT_EQ(fontHeightOf(firstPart), MulDiv(stockHeight, 3, 2));
    expectTimeFieldsInPlace(dialog, 144);
    EXPECT_NE(partPlaces(dialog)[0].right, before[0].right);

    sizeHosts(dialog, hosts, 96);
    for (int host : kTimeHosts)
        placeTimeField(GetDlgItem(dialog, host), 96);
    EXPECT_EQ(SendMessageA(firstPart, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)));
    const std::vector<RECT> after = partPlaces(dialog);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_TRUE(EqualRect(&after[i], &before[i]) != FALSE) << "part " << i;
    DestroyWindow(dialog);
}

// Wine reads the DPI from HKCU\Control Panel\Desktop LogPixels when a process starts: this program is started
// again with the value at 120 and at 144, and its child test must pass there.
TEST(DpiPrefix, WindowsAt120And144Dpi)
{
    if (std::getenv(kChildDpiVariable) != nullptr)
        GTEST_SKIP() << "already the child";
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    kit::SavedValue saved(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels");
    for (DWORD dpi : {120u, 144u}) {
        const kit::Bytes value = {static_cast<uint8_t>(dpi), 0, 0, 0};
        ASSERT_TRUE(kit::setRegistryValue(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, value));
        SetEnvironmentVariableA(kChildDpiVariable, std::to_string(dpi).c_str());
        std::string command = std::string("\"") + self + "\" --gtest_filter=Dpi.ChildAtTheSystemDpi";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &process));
        EXPECT_EQ(WaitForSingleObject(process.hProcess, 90000), WAIT_OBJECT_0);
        DWORD exitCode = 1;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        SetEnvironmentVariableA(kChildDpiVariable, nullptr);
        EXPECT_EQ(exitCode, 0u) << "the windows at " << dpi << " DPI";
    }
}

} // namespace
