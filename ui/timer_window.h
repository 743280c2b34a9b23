// The floating timer strip.
#pragma once

#include <windows.h>

extern HWND timerWindow; // the strip the monitor paints and closes

LRESULT CALLBACK timerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
