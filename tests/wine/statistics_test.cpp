// The statistics window as painted under Wine: fills, colours, texts and the per-second update, read back as pixels.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/ports.h"
#include "core/state.h"
#include "win32/shell.h"
#include "res/resource.h"
#include "core/settings.h"
#include "tests/wine/in_process.h"
#include "win32/statistics_window.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kLightGray = RGB(192, 192, 192);

using Pixels = std::vector<COLORREF>;

LRESULT CALLBACK testStatisticsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT)
        paintStatistics(window);
    return DefWindowProcA(window, message, wParam, lParam);
}

Pixels capture(HDC dc, const RECT& r)
{
    Pixels pixels;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            pixels.push_back(GetPixel(dc, x, y));
    return pixels;
}

int countColour(const Pixels& pixels, COLORREF colour)
{
    int n = 0;
    for (COLORREF p : pixels)
        n += p == colour;
    return n;
}

// Draws with `draw` on a bitmap of this size compatible with `like`, in the window's font of this height and
// weight, and gives what `read` reads back from it.
Pixels drawnAside(HDC like, SIZE size, int fontHeight, int weight, const std::function<void(HDC)>& draw,
                  const std::function<Pixels(HDC)>& read)
{
    HDC mem = CreateCompatibleDC(like);
    HBITMAP bitmap = CreateCompatibleBitmap(like, size.cx, size.cy);
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
    HFONT font = createGuiFont(mem, fontHeight, weight);
    HGDIOBJ oldFont = SelectObject(mem, font);
    draw(mem);
    const Pixels pixels = read(mem);
    SelectObject(mem, oldFont);
    DeleteObject(font);
    SelectObject(mem, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(mem);
    return pixels;
}

// What a figure text looks like when drawn as the window draws figures, for comparison with the window.
Pixels referenceFigure(HDC like, const RECT& inside, int centre, const char* text, COLORREF colour)
{
    return drawnAside(
        like, SIZE{400, 100}, 12, FW_BOLD,
        [&](HDC mem) {
            SetBkColor(mem, kWhite);
            SetBkMode(mem, TRANSPARENT);
            SetTextColor(mem, colour);
            SetTextAlign(mem, TA_CENTER | TA_TOP);
            ExtTextOutA(mem, centre, inside.top + 1, ETO_OPAQUE | ETO_CLIPPED, &inside, text, lstrlenA(text),
                        nullptr);
        },
        [&](HDC mem) { return capture(mem, inside); });
}

// The inside of the icon box, then the status text's box.
Pixels captureStatus(HDC dc, const RECT& client)
{
    Pixels pixels = capture(dc, RECT{6, client.bottom - 19, 20, client.bottom - 5});
    const Pixels text = capture(dc, RECT{25, client.bottom - 19, 140, client.bottom - 6});
    pixels.insert(pixels.end(), text.begin(), text.end());
    return pixels;
}

// The status box and icon as they should look for one state, drawn on the button face.
Pixels referenceStatus(HDC like, const RECT& client, const char* text, int iconId)
{
    return drawnAside(
        like, SIZE{client.right, client.bottom}, 10, FW_NORMAL,
        [&](HDC mem) {
            FillRect(mem, &client, GetSysColorBrush(COLOR_BTNFACE));
            HICON icon =
                static_cast<HICON>(LoadImageA(shell.instance, MAKEINTRESOURCEA(iconId), IMAGE_ICON, 10, 10, 0));
            if (icon != nullptr) {
                DrawIconEx(mem, 8, client.bottom - 17, icon, 10, 10, 0, nullptr, DI_NORMAL);
                DestroyIcon(icon);
            }
            SetBkMode(mem, TRANSPARENT);
            SetTextColor(mem, GetSysColor(COLOR_WINDOWTEXT));
            const RECT box = {25, client.bottom - 19, 140, client.bottom - 6};
            ExtTextOutA(mem, 26, client.bottom - 18, ETO_CLIPPED, &box, text, lstrlenA(text), nullptr);
        },
        [&](HDC mem) { return captureStatus(mem, client); });
}

class StatisticsWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        shell.instance = GetModuleHandleA(nullptr);
        kit::registerWindowClass("LinkStatistics", testStatisticsProc, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                                  LoadIconA(shell.instance, MAKEINTRESOURCEA(IDI_MAIN)));
    }

    void SetUp() override
    {
        inproc::zeroRecords();
        settings.block.calculateCost = 1;
        settings.block.tariffCommon = 60;
        inproc::useCurrencySymbol("$");
        window = CreateWindowExA(0, "LinkStatistics", "Link Statistics", WS_POPUPWINDOW | WS_CAPTION | WS_MINIMIZEBOX,
                                 40, 80, 400, GetSystemMetrics(SM_CYMENU) + 170, nullptr, nullptr, shell.instance, nullptr);
        ASSERT_NE(window, nullptr);
        shell.statisticsWindow = window;
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        kit::pumpMessages(100);
        dc = GetDC(window);
        GetClientRect(window, &client);
    }

    void TearDown() override
    {
        ReleaseDC(window, dc);
        DestroyWindow(window);
        shell.statisticsWindow = nullptr;
        kit::pumpMessages(20);
    }

    void connect(double seconds, double cost)
    {
        accounting.liveConnection.connected = true;
        accounting.liveConnection.lastRasState = kRasConnected;
        accounting.liveConnection.curConnSeconds = seconds;
        accounting.liveConnection.curConnCost = cost;
    }

    void repaint()
    {
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
    }

    Pixels timeCell(int row) { return capture(dc, timeCellInside(row)); }
    Pixels costCell(int row) { return capture(dc, costCellInside(row)); }
    RECT symbolArea(int row) { return RECT{330, 30 + 20 * row, 350, 43 + 20 * row}; }
    Pixels statusArea() { return captureStatus(dc, client); }

    // The figure's colour: only the normal one, only the warning one, or neither (an empty cell).
    COLORREF figureColour(const Pixels& cell)
    {
        const int normal = countColour(cell, kFigureColour);
        const int warning = countColour(cell, kWarningColour);
        if (normal > 0 && warning == 0)
            return kFigureColour;
        if (warning > 0 && normal == 0)
            return kWarningColour;
        return CLR_INVALID;
    }

    HWND window = nullptr;
    HDC dc = nullptr;
    RECT client = {};
};

TEST_F(StatisticsWindow, IdleLayoutFillsCellsAndGraysTheCurrentConnection)
{
    accounting.counterBlock.lastConnSeconds = 61;
    accounting.counterBlock.curMonthSeconds = 3600;
    accounting.counterBlock.lastMonthSeconds = 7200;
    accounting.counterBlock.lastConnCost = 1;
    repaint();

    EXPECT_EQ(GetPixel(dc, 20, 5), GetSysColor(COLOR_APPWORKSPACE)) << "inside of the panel";
    EXPECT_EQ(GetPixel(dc, 140, 28), GetSysColor(COLOR_3DDKSHADOW)) << "cell outline";
    EXPECT_EQ(countColour(timeCell(0), kLightGray), 78 * 15);
    EXPECT_EQ(countColour(costCell(0), kLightGray), 78 * 15);
    for (int row = 1; row < 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(GetPixel(dc, 142, 43 + 20 * row), kWhite);
        EXPECT_EQ(GetPixel(dc, 242, 43 + 20 * row), kWhite);
        EXPECT_EQ(figureColour(timeCell(row)), kFigureColour);
        EXPECT_EQ(figureColour(costCell(row)), kFigureColour);
        EXPECT_GT(countColour(capture(dc, symbolArea(row)), GetSysColor(COLOR_WINDOW)), 0) << "currency symbol";
    }
}

TEST_F(StatisticsWindow, CostOffGraysTheCostColumnAndDropsTheSymbols)
{
    settings.block.calculateCost = 0;
    connect(30, 5);
    accounting.counterBlock.lastConnCost = 7;
    repaint();

    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(countColour(costCell(row), kLightGray), 78 * 15);
        EXPECT_EQ(countColour(capture(dc, symbolArea(row)), GetSysColor(COLOR_APPWORKSPACE)), 20 * 13);
        EXPECT_EQ(figureColour(timeCell(row)), kFigureColour) << "durations are still shown";
    }
}

TEST_F(StatisticsWindow, FailedCurrencyLookupDrawsNoSymbol)
{
    shell.currencySymbolLength = 0;
    repaint();
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(countColour(capture(dc, symbolArea(row)), GetSysColor(COLOR_APPWORKSPACE)), 20 * 13) << row;
}

TEST_F(StatisticsWindow, StatusLineFollowsTheConnectionState)
{
    const Pixels idle = referenceStatus(dc, client, "No connection", IDI_DISCONNECTED);
    const Pixels online = referenceStatus(dc, client, "Connected...", IDI_CONNECTED);
    ASSERT_NE(idle, online);

    repaint();
    EXPECT_EQ(statusArea(), idle);

    connect(10, 0);
    repaint();
    EXPECT_EQ(statusArea(), online);
    EXPECT_EQ(figureColour(timeCell(0)), kFigureColour);

    // An open connection that is not in the connected state (re-authenticating) shows the idle layout.
    accounting.liveConnection.lastRasState = 0;
    accounting.counterBlock.curMonthSeconds = 100;
    repaint();
    EXPECT_EQ(statusArea(), idle);
    EXPECT_EQ(countColour(timeCell(0), kLightGray), 78 * 15);
    EXPECT_EQ(timeCell(2), referenceFigure(dc, timeCellInside(2), 180, "000:01:40", kFigureColour))
        << "the finished figures only";

    paintConnected(true);
    EXPECT_EQ(statusArea(), online);
    paintNotConnected();
    EXPECT_EQ(statusArea(), idle) << "the shorter text leaves nothing of the longer one";
}

struct WarningCase {
    const char* name;
    std::function<void(double)> setFigure; // puts the figure into the records
    double limit;                          // the figure at the limit
    double step;                           // the smallest step above it that shows
    bool time;                             // time cell (else cost cell)
    int row;
};

TEST_F(StatisticsWindow, WarningColourOnlyStrictlyAboveTheLimitOfTheFourWarningCells)
{
    const WarningCase cases[] = {
        {"connection time", [this](double v) { connect(v, 0); }, 3600, 1, true, 0},
        {"month time", [](double v) { accounting.counterBlock.curMonthSeconds = v; }, 7200, 1, true, 2},
        {"connection cost", [this](double v) { connect(1, v); }, 2.5, 0.01, false, 0},
        {"month cost", [](double v) { accounting.counterBlock.curMonthCost = v; }, 12, 0.01, false, 2},
    };
    for (const WarningCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        settings.block.warningsEnabled = settings.block.timeWarning = settings.block.costWarning = 1;
        settings.block.timeWarnPerConn = settings.block.timeWarnPerMonth = 1;
        settings.block.costWarnPerConn = settings.block.costWarnPerMonth = 1;
        settings.block.timeLimitPerConn = Hms{1, 0, 0};
        settings.block.timeLimitPerMonth = Hms{2, 0, 0};
        settings.block.costLimitPerConn = 2.5;
        settings.block.costLimitPerMonth = 12;
        auto cell = [&] { return c.time ? timeCell(c.row) : costCell(c.row); };

        c.setFigure(c.limit);
        repaint();
        EXPECT_EQ(figureColour(cell()), kFigureColour) << "at the limit";
        c.setFigure(c.limit + c.step);
        repaint();
        EXPECT_EQ(figureColour(cell()), kWarningColour) << "one step above";

        int32_t* switches[] = {&settings.block.warningsEnabled, c.time ? &settings.block.timeWarning : &settings.block.costWarning,
                               c.time ? (c.row == 0 ? &settings.block.timeWarnPerConn : &settings.block.timeWarnPerMonth)
                                      : (c.row == 0 ? &settings.block.costWarnPerConn : &settings.block.costWarnPerMonth)};
        for (int32_t* flag : switches) {
            *flag = 0;
            repaint();
            EXPECT_EQ(figureColour(cell()), kFigureColour) << "with one switch off";
            *flag = 1;
        }
        TearDown();
    }
    SetUp();
}

TEST_F(StatisticsWindow, LastConnectionAndLastMonthNeverWarn)
{
    settings.block.warningsEnabled = settings.block.timeWarning = settings.block.costWarning = 1;
    settings.block.timeWarnPerConn = settings.block.timeWarnPerMonth = 1;
    settings.block.costWarnPerConn = settings.block.costWarnPerMonth = 1;
    accounting.counterBlock.lastConnSeconds = accounting.counterBlock.lastMonthSeconds = 99999;
    accounting.counterBlock.lastConnCost = accounting.counterBlock.lastMonthCost = 999;
    connect(5, 0);
    repaint();
    for (int row : {1, 3}) {
        EXPECT_EQ(figureColour(timeCell(row)), kFigureColour) << row;
        EXPECT_EQ(figureColour(costCell(row)), kFigureColour) << row;
    }
    EXPECT_EQ(figureColour(timeCell(0)), kWarningColour) << "limits of 0 are exceeded by the live connection";
}

TEST_F(StatisticsWindow, CurrentMonthWhileConnectedLeavesOutWhatASumUpCarried)
{
    connect(900, 0);
    accounting.liveConnection.carriedSeconds = 600;
    accounting.counterBlock.curMonthSeconds = 0;
    accounting.counterBlock.lastConnSeconds = 300; // row 1 then shows the same text, 000:05:00
    repaint();
    const Pixels month = timeCell(2);
    EXPECT_EQ(month, timeCell(1));
    EXPECT_NE(month, timeCell(0)) << "the live row shows 000:15:00";
    EXPECT_EQ(month, referenceFigure(dc, timeCellInside(2), 180, "000:05:00", kFigureColour));
}

TEST_F(StatisticsWindow, CommonTariffChoosesTwoOrFourDecimals)
{
    accounting.counterBlock.lastConnCost = 1.5;
    const Pixels two = referenceFigure(dc, costCellInside(1), 280, "1.50", kFigureColour);
    const Pixels four = referenceFigure(dc, costCellInside(1), 280, "1.5000", kFigureColour);
    ASSERT_NE(two, four);

    settings.block.tariffCommon = 60;
    repaint();
    EXPECT_EQ(costCell(1), two);
    settings.block.tariffCommon = 59.99;
    repaint();
    EXPECT_EQ(costCell(1), four);
}

TEST_F(StatisticsWindow, OversizedFiguresStayInsideTheirCells)
{
    accounting.counterBlock.lastConnSeconds = 3600.0 * 1000;
    accounting.counterBlock.lastMonthSeconds = -61;
    accounting.counterBlock.lastConnCost = 1e300;
    accounting.counterBlock.lastMonthCost = -1e300;
    repaint();
    EXPECT_EQ(timeCell(1), referenceFigure(dc, timeCellInside(1), 180, "1000:00:0", kFigureColour))
        << "the first nine characters";
    EXPECT_EQ(figureColour(timeCell(3)), kFigureColour);
    EXPECT_EQ(figureColour(costCell(1)), kFigureColour);
    const COLORREF panel = GetSysColor(COLOR_APPWORKSPACE);
    for (int row : {1, 3}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(countColour(capture(dc, RECT{222, 28 + 20 * row, 239, 45 + 20 * row}), panel), 17 * 17);
        EXPECT_EQ(GetPixel(dc, 319, 35 + 20 * row), GetSysColor(COLOR_3DDKSHADOW)) << "cell outline intact";
        EXPECT_EQ(GetPixel(dc, 139, 35 + 20 * row), panel);
    }
}

TEST_F(StatisticsWindow, PerSecondUpdateRepaintsOnlyTheTwoChangingCellsWithoutInvalidating)
{
    connect(100, 1);
    accounting.counterBlock.lastConnSeconds = 50;
    accounting.counterBlock.lastMonthSeconds = 60;
    accounting.counterBlock.lastConnCost = 2;
    accounting.counterBlock.lastMonthCost = 3;
    repaint();
    const Pixels before[] = {timeCell(0), timeCell(1), timeCell(2), timeCell(3),
                             costCell(0), costCell(1), costCell(2), costCell(3), statusArea()};

    accounting.liveConnection.curConnSeconds = 101;
    accounting.liveConnection.curConnCost = 1.01;
    accounting.counterBlock.lastConnSeconds = 51; // would show if the update touched row 1
    accounting.counterBlock.lastConnCost = 2.01;
    accounting.counterBlock.lastMonthSeconds = 61;
    ValidateRect(window, nullptr);
    paintConnected(false);

    RECT update;
    EXPECT_FALSE(GetUpdateRect(window, &update, FALSE));
    EXPECT_NE(timeCell(0), before[0]);
    EXPECT_NE(timeCell(2), before[2]);
    EXPECT_NE(costCell(0), before[4]);
    EXPECT_NE(costCell(2), before[6]);
    EXPECT_EQ(timeCell(1), before[1]);
    EXPECT_EQ(timeCell(3), before[3]);
    EXPECT_EQ(costCell(1), before[5]);
    EXPECT_EQ(costCell(3), before[7]);
    EXPECT_EQ(statusArea(), before[8]);
    EXPECT_EQ(timeCell(0), referenceFigure(dc, timeCellInside(0), 180, "000:01:41", kFigureColour));
}

} // namespace
