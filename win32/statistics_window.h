// The statistics window: its procedure, its painting, the drawing routines it calls and what they show.
#pragma once

#include <windows.h>

#include "core/settings.h"

LRESULT CALLBACK statisticsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WM_PAINT of the statistics window: the frame, headers, labels and empty cells, then the figures.
void paintStatistics(HWND window);
// paintConnected, paintNotConnected and invalidateStatistics are the display seams of core/display.h: the first
// two invalidate the cells and the status line they change, which the window's paint then draws at once.

// Size of the statistics window: its width, and its height without the menu bar.
// The window's two timers: every 50 ms a poll; every second a poll and the automatic month check.
constexpr UINT_PTR kFastTimer = 1;
constexpr UINT_PTR kSlowTimer = 2;

constexpr int kStatisticsWidth = 400;
constexpr int kStatisticsHeightBelowMenu = 170;
// The window's size for a DPI: both measures above scaled, the menu bar's height at that DPI added.
int statisticsWindowWidth(UINT dpi);
int statisticsWindowHeight(UINT dpi);

// Rows of the table, top to bottom: current connection, last connection, current month, last month.
constexpr int kStatisticsRows = 4;
// Columns of the table, left to right.
constexpr int kTimeColumn = 0, kCostColumn = 1, kStatisticsColumns = 2;

// The table's figures as shown, row by row.
struct StatisticsFigures {
    double seconds[kStatisticsRows]; // the time column; row 0 counts only while connected
    double costs[kStatisticsRows];   // the cost column; row 0 counts only while connected
};

// What one drawing of the figures covers.
enum class FigurePass {
    Idle,       // "No connection", row 0 gray, the figures of rows 1 to 3
    Connected,  // "Connected...", the figures of all four rows
    LiveUpdate, // the figures a connection changes every second: rows 0 and 2
};

// The figures the accounting records hold now, in the connected layout (live figures in rows 0 and 2, the
// current month without what a Sum Up carried) or in the idle one (the stored totals).
StatisticsFigures statisticsFiguresNow(bool connected);

// The two drawings below make a picture at the default DPI, with fonts of their own; the window's paint draws the
// same at the window's DPI with the fonts it keeps.
// What does not depend on the figures: the sunken panel and status boxes at the edges of `client`, headers,
// row labels, empty cells and, with cost calculation on, `symbolLength` characters of `symbol` beside each row.
void drawStatisticsFrame(HDC dc, const RECT& client, const SettingsBlock& block, const char* symbol,
                         int symbolLength);
// One pass of the figures over opaque fills of their cells, each coloured by its limit in `block` and costs
// formatted by its common tariff; the passes that show the connection's state draw the status line, with the
// module's icon for that state, at the bottom of `client`.
void drawStatisticsFigures(HDC dc, const RECT& client, FigurePass pass, const StatisticsFigures& figures,
                           const SettingsBlock& block);

// What the window shows, in the paint's own words and places, for the figures' accessible object.
// Row labels ("Current connection:") and column headers ("Time") as drawn; the status line's text.
const char* statisticsRowLabel(int row);
const char* statisticsColumnHeader(int column);
const char* statisticsStatusText(bool connected);
// Whether a full paint shows the connected layout now: an open connection in the connected state.
bool statisticsShowsConnection();
// The text a figure of `column` shows for `value` (a cost with the decimals of `tariffCommon`); its length.
int statisticsFigureText(int column, double value, double tariffCommon, char* text, size_t size);
// Whether the figure of that cell is painted in the warning colour.
bool statisticsFigureWarns(const SettingsBlock& block, int row, int column, double value);
// Client rectangles the figures and the status text are drawn in.
RECT statisticsCellInside(int row, int column);
RECT statisticsStatusBox(const RECT& client);
