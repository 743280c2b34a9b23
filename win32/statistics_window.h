// The statistics window: its procedure and its painting.
#pragma once

#include <windows.h>

LRESULT CALLBACK statisticsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WM_PAINT of the statistics window: the frame, headers, labels and empty cells, then the figures.
void paintStatistics(HWND window);
// paintConnected, paintNotConnected and invalidateStatistics are the display seams of core/ports.h.

// Size of the statistics window: its width, and its height without the menu bar.
constexpr int kStatisticsWidth = 400;
constexpr int kStatisticsHeightBelowMenu = 170;

// Figure colours of the statistics window.
constexpr COLORREF kFigureColour = RGB(0, 0, 150);
constexpr COLORREF kWarningColour = RGB(200, 0, 0);

// Where row `row` (0 current connection ... 3 last month) draws its time and cost figures.
RECT timeCellInside(int row);
RECT costCellInside(int row);
