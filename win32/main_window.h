// The statistics window's procedure and the start-up sequence it runs.
#pragma once

#include <windows.h>

LRESULT CALLBACK statisticsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Folder, registration, settings, totals, month stamp and record count, read at creation.
void loadStartupState();
// Registers the classes, loads the menus, creates the hidden statistics window and adds the tray icon.
bool initApplication();

// Size of the statistics window: its width, and its height without the menu bar.
constexpr int kStatisticsWidth = 400;
constexpr int kStatisticsHeightBelowMenu = 170;
