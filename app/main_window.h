// The statistics window's procedure and the start-up sequence it runs.
#pragma once

#include <windows.h>

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void loadStartupState();
// Registers the classes, loads the menus, creates the hidden statistics window and adds the tray icon.
bool initApplication();
