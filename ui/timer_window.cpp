// The always-on-top strip that shows the live connection's duration.
#include "ui/timer_window.h"

#include "accounting/ports.h"

HWND timerWindow;

LRESULT CALLBACK timerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
void showTimerWindow() {}
bool timerWindowExists() { return IsWindow(timerWindow) != FALSE; }
void paintTimer() {}
void destroyTimerWindow() { DestroyWindow(timerWindow); }
