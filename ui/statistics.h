// Painting of the statistics window.
#pragma once

#include <windows.h>

// WM_PAINT of the statistics window: the frame, headers, labels and empty cells, then the figures.
void paintStatistics(HWND window);
