// The detailed statistics window: the list of logged connections and its remembered placement.
#pragma once

#include <windows.h>

LRESULT CALLBACK detailsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
