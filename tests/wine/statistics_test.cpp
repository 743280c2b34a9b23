// The statistics window under Wine: its drawing routines on an off-screen picture with chosen figures, read back
// against the colours and cells of its layout, and the window's painting wired to the records.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "core/display.h"
#include "core/settings.h"
#include "core/state.h"
#include "res/resource.h"
#include "tests/wine/in_process.h"
#include "win32/program_records.h"
#include "win32/statistics_window.h"

namespace {

constexpr COLORREF kFigure = RGB(0, 0, 150);
constexpr COLORREF kWarning = RGB(200, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kLightGray = RGB(192, 192, 192);
constexpr int kCellInsidePixels = 78 * 15;

using Pixels = std::vector<COLORREF>;

RECT timeCell(int row) { return RECT{141, 29 + 20 * row, 219, 44 + 20 * row}; }
RECT costCell(int row) { return RECT{241, 29 + 20 * row, 319, 44 + 20 * row}; }
RECT symbolArea(int row) { return RECT{330, 30 + 20 * row, 350, 43 + 20 * row}; }
// The inside of the icon box, then the status text's box.
RECT iconArea(const RECT& client) { return RECT{6, client.bottom - 19, 20, client.bottom - 5}; }
RECT statusTextArea(const RECT& client) { return RECT{25, client.bottom - 19, 140, client.bottom - 6}; }

// The colour a figure was drawn in: the normal or the warning one alone, else CLR_INVALID (none, or both).
COLORREF figureColour(const kit::OffScreen& picture, const RECT& cell)
{
    const int normal = picture.count(cell, kFigure);
    const int warning = picture.count(cell, kWarning);
    if (normal > 0 && warning == 0)
        return kFigure;
    if (warning > 0 && normal == 0)
        return kWarning;
    return CLR_INVALID;
}

SettingsBlock costInTwoDecimals()
{
    SettingsBlock block{};
    block.calculateCost = 1;
    block.tariffCommon = 60;
    return block;
}

// The window's client area, with the frame drawn as the window draws it with "$".
class Picture : public kit::OffScreen {
public:
    explicit Picture(const SettingsBlock& block, const char* symbol = "$")
        : OffScreen(400, 170, GetSysColor(COLOR_BTNFACE))
    {
        drawStatisticsFrame(dc(), rect(), block, symbol, lstrlenA(symbol));
    }
    COLORREF time(int row) const { return figureColour(*this, timeCell(row)); }
    COLORREF cost(int row) const { return figureColour(*this, costCell(row)); }
};

const StatisticsFigures kSomeFigures = {{100, 50, 200, 60}, {1, 2, 3, 4}};

class StatisticsDrawing : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shell.instance = GetModuleHandleA(nullptr); }
};

TEST_F(StatisticsDrawing, IdleGraysTheCurrentConnectionAndShowsTheOtherRowsBesideTheirSymbols)
{
    const SettingsBlock block = costInTwoDecimals();
    Picture picture(block);
    drawStatisticsFigures(picture.dc(), picture.rect(), FigurePass::Idle, kSomeFigures, block);

    EXPECT_EQ(picture.pixel(20, 5), GetSysColor(COLOR_APPWORKSPACE)) << "inside of the panel";
    EXPECT_EQ(picture.pixel(140, 28), GetSysColor(COLOR_3DDKSHADOW)) << "cell outline";
    EXPECT_EQ(picture.count(timeCell(0), kLightGray), kCellInsidePixels);
    EXPECT_EQ(picture.count(costCell(0), kLightGray), kCellInsidePixels);
    for (int row = 1; row < 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(picture.pixel(142, 43 + 20 * row), kWhite);
        EXPECT_EQ(picture.pixel(242, 43 + 20 * row), kWhite);
        EXPECT_EQ(picture.time(row), kFigure);
        EXPECT_EQ(picture.cost(row), kFigure);
        EXPECT_GT(picture.count(symbolArea(row), GetSysColor(COLOR_WINDOW)), 0) << "currency symbol";
    }
}

TEST_F(StatisticsDrawing, CostOffGraysTheCostColumnAndDropsTheSymbols)
{
    SettingsBlock block = costInTwoDecimals();
    block.calculateCost = 0;
    Picture picture(block);
    drawStatisticsFigures(picture.dc(), picture.rect(), FigurePass::Connected, kSomeFigures, block);
    const COLORREF panel = GetSysColor(COLOR_APPWORKSPACE);
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(picture.count(costCell(row), kLightGray), kCellInsidePixels);
        EXPECT_EQ(picture.count(symbolArea(row), panel), 20 * 13);
        EXPECT_EQ(picture.time(row), kFigure) << "durations are still shown";
    }

    block.calculateCost = 1;
    Picture withoutSymbol(block, "");
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(withoutSymbol.count(symbolArea(row), panel), 20 * 13) << "a failed lookup draws none, row " << row;
}

// Each watched cell warns on its own figure's limit: the first drawing has both rows 0 and 2 above the limits of
// the current connection only, the second row 2 above the month's; the last rows never warn.
TEST_F(StatisticsDrawing, EachWatchedCellWarnsAboveItsOwnLimit)
{
    SettingsBlock block = costInTwoDecimals();
    block.warningsEnabled = block.timeWarning = block.costWarning = 1;
    block.timeWarnPerConn = block.timeWarnPerMonth = block.costWarnPerConn = block.costWarnPerMonth = 1;
    block.timeLimitPerConn = Hms{1, 0, 0};
    block.timeLimitPerMonth = Hms{2, 0, 0};
    block.costLimitPerConn = 2.5;
    block.costLimitPerMonth = 12;

    Picture connected(block);
    const StatisticsFigures aboveTheConnection = {{3601, 99999, 3601, 99999}, {2.51, 999, 2.51, 999}};
    drawStatisticsFigures(connected.dc(), connected.rect(), FigurePass::Connected, aboveTheConnection, block);
    EXPECT_EQ(connected.time(0), kWarning);
    EXPECT_EQ(connected.cost(0), kWarning);
    EXPECT_EQ(connected.time(2), kFigure);
    EXPECT_EQ(connected.cost(2), kFigure);

    Picture idle(block);
    const StatisticsFigures aboveTheMonth = {{0, 99999, 7201, 99999}, {0, 999, 12.01, 999}};
    drawStatisticsFigures(idle.dc(), idle.rect(), FigurePass::Idle, aboveTheMonth, block);
    EXPECT_EQ(idle.time(2), kWarning);
    EXPECT_EQ(idle.cost(2), kWarning);

    for (const Picture* picture : {&connected, &idle})
        for (int row : {1, 3}) {
            EXPECT_EQ(picture->time(row), kFigure) << row;
            EXPECT_EQ(picture->cost(row), kFigure) << row;
        }
}

TEST_F(StatisticsDrawing, OversizedFiguresStayInsideTheirCells)
{
    const SettingsBlock block = costInTwoDecimals();
    Picture picture(block);
    const StatisticsFigures oversized = {{0, 3600.0 * 1000, 0, -61}, {0, 1e300, 0, -1e300}};
    drawStatisticsFigures(picture.dc(), picture.rect(), FigurePass::Idle, oversized, block);
    const COLORREF panel = GetSysColor(COLOR_APPWORKSPACE);
    for (int row : {1, 3}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(picture.time(row), kFigure);
        EXPECT_EQ(picture.cost(row), kFigure);
        EXPECT_EQ(picture.count(RECT{222, 28 + 20 * row, 239, 45 + 20 * row}, panel), 17 * 17) << "between the cells";
        EXPECT_EQ(picture.pixel(319, 35 + 20 * row), GetSysColor(COLOR_3DDKSHADOW)) << "cell outline intact";
        EXPECT_EQ(picture.pixel(139, 35 + 20 * row), panel);
    }
}

// The status line is text on the button face beside an icon; the idle one, drawn over the connected one, leaves
// the same pixels as on a fresh frame.
TEST_F(StatisticsDrawing, StatusLineShowsTheStateAndLeavesNothingOfTheOtherOne)
{
    const SettingsBlock block = costInTwoDecimals();
    Picture picture(block);
    const RECT& client = picture.rect();
    drawStatisticsFigures(picture.dc(), client, FigurePass::Connected, kSomeFigures, block);
    const Pixels connectedIcon = picture.pixels(iconArea(client));
    const Pixels connectedText = picture.pixels(statusTextArea(client));
    const int textPixels = picture.count(statusTextArea(client), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_GT(textPixels, 0);
    EXPECT_EQ(textPixels + picture.count(statusTextArea(client), GetSysColor(COLOR_BTNFACE)),
              115 * 13) << "text on the button face";

    drawStatisticsFigures(picture.dc(), client, FigurePass::Idle, kSomeFigures, block);
    EXPECT_NE(picture.pixels(iconArea(client)), connectedIcon);
    EXPECT_NE(picture.pixels(statusTextArea(client)), connectedText);
    Picture fresh(block);
    drawStatisticsFigures(fresh.dc(), client, FigurePass::Idle, kSomeFigures, block);
    EXPECT_EQ(picture.pixels(iconArea(client)), fresh.pixels(iconArea(client)));
    EXPECT_EQ(picture.pixels(statusTextArea(client)), fresh.pixels(statusTextArea(client)));
}

TEST(StatisticsFiguresNow, ConnectedRowsShowTheLiveFiguresAndTheMonthWithoutWhatASumUpCarried)
{
    inproc::zeroRecords();
    accounting.counterBlock = CounterBlock{61, 100, 7200, 1, 2, 3};
    accounting.liveConnection.connected = true;
    accounting.liveConnection.curConnSeconds = 900;
    accounting.liveConnection.carriedSeconds = 600;
    accounting.liveConnection.curConnCost = 5;
    accounting.liveConnection.carriedCost = 1;

    const StatisticsFigures connected = statisticsFiguresNow(true);
    const double seconds[] = {900, 61, 400, 7200};
    const double costs[] = {5, 1, 6, 3};
    for (int row = 0; row < kStatisticsRows; ++row) {
        EXPECT_EQ(connected.seconds[row], seconds[row]) << row;
        EXPECT_EQ(connected.costs[row], costs[row]) << row;
    }
    // Open but not in the connected state: the finished figures only.
    const StatisticsFigures idle = statisticsFiguresNow(false);
    EXPECT_EQ(idle.seconds[2], 100);
    EXPECT_EQ(idle.costs[2], 2);
}

LRESULT CALLBACK testStatisticsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT)
        paintStatistics(window);
    return DefWindowProcA(window, message, wParam, lParam);
}

// The window as the program paints it: WM_PAINT and the monitor's direct paintings.
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
    }

    void TearDown() override
    {
        if (dc != nullptr)
            ReleaseDC(window, dc);
        if (window != nullptr)
            DestroyWindow(window);
        shell.statisticsWindow = nullptr;
        kit::pumpMessages(20);
    }

    void connect(double seconds)
    {
        accounting.liveConnection.connected = true;
        accounting.liveConnection.lastRasState = kRasConnected;
        accounting.liveConnection.curConnSeconds = seconds;
    }

    void repaint()
    {
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
    }

    Pixels pixels(const RECT& area)
    {
        Pixels found;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                found.push_back(GetPixel(dc, x, y));
        return found;
    }

    int count(const RECT& area, COLORREF colour)
    {
        int n = 0;
        for (COLORREF found : pixels(area))
            n += found == colour;
        return n;
    }

    bool rowZeroGray() { return count(timeCell(0), kLightGray) == kCellInsidePixels; }

    HWND window = nullptr;
    HDC dc = nullptr;
};

// The layout follows the connection and its reported state; the symbol is the locale's, none when it failed.
TEST_F(StatisticsWindow, PaintChoosesTheLayoutByTheConnectionsStateAndDrawsTheLocalesSymbol)
{
    repaint();
    EXPECT_TRUE(rowZeroGray());
    EXPECT_GT(count(symbolArea(1), GetSysColor(COLOR_WINDOW)), 0);

    connect(10);
    repaint();
    EXPECT_FALSE(rowZeroGray());
    EXPECT_GT(count(timeCell(0), kFigure), 0);
    EXPECT_GT(count(timeCell(1), kFigure), 0) << "all four rows";

    // Re-authenticating, the connection stays open without being in the connected state.
    accounting.liveConnection.lastRasState = 0;
    shell.currencySymbolLength = 0;
    repaint();
    EXPECT_TRUE(rowZeroGray());
    EXPECT_EQ(count(symbolArea(1), GetSysColor(COLOR_APPWORKSPACE)), 20 * 13);
}

// The monitor's update draws the live row at once and only the changing rows: row 1 would show its new figure.
TEST_F(StatisticsWindow, PerSecondUpdateDrawsTheLiveRowWithoutInvalidating)
{
    connect(100);
    accounting.counterBlock.lastConnSeconds = 50;
    repaint();
    const Pixels live = pixels(timeCell(0));
    const Pixels last = pixels(timeCell(1));
    ValidateRect(window, nullptr);

    accounting.liveConnection.curConnSeconds = 101;
    accounting.counterBlock.lastConnSeconds = 51;
    paintConnected(false);
    RECT update;
    EXPECT_FALSE(GetUpdateRect(window, &update, FALSE));
    EXPECT_NE(pixels(timeCell(0)), live);
    EXPECT_EQ(pixels(timeCell(1)), last);
}

} // namespace
