// The history window: the log summed by billing period in a list, and a bar chart of the latest periods.
#pragma once

#include <windows.h>

#include <vector>

#include "core/history.h"
#include "core/settings.h"

LRESULT CALLBACK historyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Periods the chart shows, the current one last.
constexpr int kChartPeriods = 12;
// Colours of the chart: bars in the figures' colour, those above the month limit and the limit's line in the
// warning colour, the current period's forecast as a dotted outline, the scale's lines in gray.
constexpr COLORREF kChartBarColour = RGB(0, 0, 150);
constexpr COLORREF kChartWarningColour = RGB(200, 0, 0);
constexpr COLORREF kChartAxisColour = RGB(128, 128, 128);
constexpr COLORREF kChartBackground = RGB(255, 255, 255);

// What the chart draws.
struct HistoryChart {
    std::vector<double> values; // the figure of each period, oldest first, the current period last
    int32_t lastPeriod;         // the current period's number
    double forecast;            // the current period's figure at this pace by its last day
    double limit;               // the month limit in the figure's unit; 0 when none is set
    bool cost;                  // costs, with the decimals of `tariffCommon`; else time, in hours
    double tariffCommon;        // decides two or four decimals of a cost
};

// The chart of the rows under the settings: costs with cost calculation on, else time; the month limit of that
// figure when its warning is switched on.
HistoryChart historyChartOf(const std::vector<HistoryRow>& rows, const SettingsBlock& block);

// Draws the chart into `area`: its white ground, the scale, the bars with their figures above and the periods
// below, the forecast and the limit's line; lengths are scaled from 96 to `dpi` dots per inch.
void drawHistoryChart(HDC dc, const RECT& area, const HistoryChart& chart, int dpi);
