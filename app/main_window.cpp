// The statistics window: a thin dispatch of its messages, and the start-up sequence.
#include "app/main_window.h"

#include "app/shell.h"

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
void loadStartupState() {}
bool initApplication() { return false; }
