// The floating timer strip.
#pragma once

#include <windows.h>

LRESULT CALLBACK timerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// showTimerWindow, timerWindowExists, paintTimer and destroyTimerWindow are the display seams of core/ports.h.

// Text colours of the strip.
constexpr COLORREF kTimerColour = RGB(85, 180, 0);
constexpr COLORREF kTimerWarningColour = RGB(255, 50, 50);
