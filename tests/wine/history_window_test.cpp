// The spreadsheet export's bytes, the history chart's pixels, and the history window over a stored log, in-process.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/stored_log.h"
#include "res/resource.h"
#include "tests/wine/in_process.h"
#include "win32/history_window.h"
#include "win32/program_records.h"

namespace {

using kit::monthsBefore;

// The rows of one pixel column of `area` that are of `colour`.
int columnCount(const kit::OffScreen& picture, int x, int top, int bottom, COLORREF colour)
{
    return picture.count(RECT{x, top, x + 1, bottom}, colour);
}

class HistoryWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.enter("tolvar-history"));
        inproc::takeAsProgramFolder(scratch.path());
        inproc::prepareDetailsWindow(1);
    }

    void TearDown() override
    {
        for (HWND open; (open = kit::findWindowOf(GetCurrentProcessId(), "History")) != nullptr;)
            DestroyWindow(open);
        if (IsWindow(details.window))
            DestroyWindow(details.window);
        kit::pumpMessages(20);
        scratch.leave();
    }

    kit::ScratchFolder scratch;
};

} // namespace

TEST_F(HistoryWindow, SaveInFileAsCsvWritesUtf8WithTheLocalesSymbolAndLeavesTheTextExportAlone)
{
    ASSERT_EQ(GetACP(), 1252u) << "the symbol below is the euro sign of code page 1252";
    inproc::useCurrencySymbol("\x80");
    const SystemTime now = monthsBefore(0);
    inproc::logOf({{SystemTime{1999, 8, 0, 5, 14, 3, 27, 0}, 3725, 1.5}, {now, 60, 0.25}});
    openDetails(All);
    const std::string target = scratch.file("connections.csv");
    kit::BoxAnswerer boxes({{"Save connection data", "all1999", IDOK, target}});
    exportLog(All);
    boxes.finish();

    char line[64];
    std::snprintf(line, sizeof line, "%04u-%02u-01,10:20:30,60,0:01:00,0.25\r\n", now.wYear, now.wMonth);
    EXPECT_EQ(kit::fileText(target), std::string("\xEF\xBB\xBF") + "Date,Start,Duration (s),Duration,Cost (\xE2\x82\xAC)\r\n" +
                                         "1999-08-05,14:03:27,3725,1:02:05,1.50\r\n" + line);
    EXPECT_FALSE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY) << "a spreadsheet may save it";
}

TEST_F(HistoryWindow, ChartBarsStandInProportionWithTheLimitsLineAndItsWarningColour)
{
    HistoryChart chart{};
    chart.values.assign(kChartPeriods, 0.0);
    chart.values[kChartPeriods - 2] = 10.0;
    chart.values[kChartPeriods - 1] = 20.0;
    chart.lastPeriod = 12 * 2001 + 1;
    chart.limit = 15.0;
    chart.forecast = 20.0;
    chart.cost = true;
    chart.tariffCommon = 60;
    for (const int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        const int width = 480 * dpi / 96, height = 220 * dpi / 96;
        kit::OffScreen picture(width, height, RGB(1, 2, 3));
        drawHistoryChart(picture.dc(), picture.rect(), chart, dpi);
        EXPECT_EQ(picture.count(picture.rect(), RGB(1, 2, 3)), 0) << "the chart fills its area";

        // Bar centres: the plot spans the width less the scale's labels, twelve slots to the right margin.
        const int right = width - 8 * dpi / 96;
        int last = right - 1, previous = 0, empty = 0;
        while (last > 0 && picture.pixel(last, height / 2) != kChartWarningColour)
            --last;
        for (int x = last; x > 0 && previous == 0; --x)
            previous = columnCount(picture, x, 0, height, kChartBarColour) > 0 ? x : 0;
        empty = previous - (last - previous);
        const int redBar = columnCount(picture, last, 0, height, kChartWarningColour);
        const int blueBar = columnCount(picture, previous, 0, height, kChartBarColour);
        EXPECT_GT(blueBar, 40 * dpi / 96);
        EXPECT_NEAR(redBar, 2 * blueBar, 2) << "20 above the limit is red, twice the blue 10";
        // Over an empty period only the limit's line: two pixels thick at 96 dpi, at three quarters of 20.
        EXPECT_EQ(columnCount(picture, empty, 0, height, kChartWarningColour), 2 * dpi / 96);
        EXPECT_EQ(columnCount(picture, empty, 0, height, kChartBarColour), 0);
    }
}

TEST_F(HistoryWindow, OpensFromTheDetailedWindowWithOneRowPerPeriodAndPaintsTheChartOfThem)
{
    settings.block.warningsEnabled = settings.block.costWarning = settings.block.costWarnPerMonth = 1;
    settings.block.costLimitPerMonth = 25;
    inproc::logOf({{monthsBefore(0, 1), 100, 9.0},
                   {monthsBefore(2), 3600, 30.0},
                   {monthsBefore(2), 60, 0.5},
                   {monthsBefore(0), 7200, 12.0}});
    openDetails(All);
    SendMessageA(details.window, WM_COMMAND, IDC_DETAILS_HISTORY, 0);
    const HWND window = kit::findWindowOf(GetCurrentProcessId(), "History", "History by month");
    ASSERT_NE(window, nullptr);
    const HWND list = FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr);
    ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 3);

    auto cell = [list](int row, int column) {
        char text[64] = "";
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        return std::string(text);
    };
    const SystemTime now = localSystemTime(), twoBack = monthsBefore(2);
    char period[16];
    std::snprintf(period, sizeof period, "%02u.%04u", now.wMonth, now.wYear);
    EXPECT_EQ(cell(0, 0), period);
    EXPECT_EQ(cell(0, 1), "1");
    EXPECT_EQ(cell(0, 2), "002:00:00");
    EXPECT_EQ(cell(0, 3), "12.00 $");
    EXPECT_FALSE(cell(0, 5).empty()) << "the current period's forecast";
    std::snprintf(period, sizeof period, "%02u.%04u", twoBack.wMonth, twoBack.wYear);
    EXPECT_EQ(cell(1, 0), period);
    EXPECT_EQ(cell(1, 1), "2");
    EXPECT_EQ(cell(1, 3), "30.50 $");
    EXPECT_EQ(cell(1, 4), "") << "past periods have no forecast";
    EXPECT_EQ(cell(2, 3), "9.00 $");

    // What the window paints below its list is the chart of those rows, pixel for pixel.
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 600, 520, SWP_NOMOVE | SWP_SHOWWINDOW);
    kit::pumpMessages(100);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    RECT client{};
    GetClientRect(window, &client);
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const int chartHeight = MulDiv(220, dpi, 96);
    kit::OffScreen expected(client.right, chartHeight, RGB(1, 2, 3));
    std::vector<ConnectionRecord> records;
    ASSERT_TRUE(readWholeStoredLog(records));
    const HistoryChart chart = historyChartOf(historyOf(records, now, billingStartDay()), settings.block);
    EXPECT_EQ(chart.values[kChartPeriods - 3], 30.5);
    EXPECT_EQ(chart.values[0], 0.0) << "a year ago is left of the chart";
    drawHistoryChart(expected.dc(), expected.rect(), chart, dpi);
    const HDC dc = GetDC(window);
    int differing = 0;
    for (int y = 0; y < chartHeight; ++y)
        for (int x = 0; x < client.right; ++x)
            differing += GetPixel(dc, x, client.bottom - chartHeight + y) != expected.pixel(x, y);
    ReleaseDC(window, dc);
    EXPECT_EQ(differing, 0);
    EXPECT_GT(expected.count(expected.rect(), kChartWarningColour), 0) << "30.50 is above the limit of 25";

    // Opening it again refreshes the one window.
    SendMessageA(details.window, WM_COMMAND, IDC_DETAILS_HISTORY, 0);
    SendMessageA(window, WM_COMMAND, IDC_HISTORY_CLOSE, 0);
    EXPECT_EQ(kit::findWindowOf(GetCurrentProcessId(), "History"), nullptr);
}
