// Painting of the statistics window.
#pragma once

#include <windows.h>

// WM_PAINT of the statistics window: the frame, headers, labels and empty cells, then the figures.
void paintStatistics(HWND window);
// paintConnected, paintNotConnected and invalidateStatistics are the display seams of core/ports.h.

// A font of the face of DEFAULT_GUI_FONT with the given cell height and weight; the caller deletes it.
HFONT createGuiFont(HDC dc, int height, int weight);

// Figure colours of the statistics window.
constexpr COLORREF kFigureColour = RGB(0, 0, 150);
constexpr COLORREF kWarningColour = RGB(200, 0, 0);

// Whether the live connection's time is above its limit with all three of its switches on.
bool connectionTimeWarns(double seconds);

// Where row `row` (0 current connection ... 3 last month) draws its time and cost figures.
RECT timeCellInside(int row);
RECT costCellInside(int row);
