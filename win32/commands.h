// The statistics window's commands: menu bar and tray pop-up, the confirmations and the About box.
#pragma once

#include <windows.h>

// WM_COMMAND of the statistics window; ids other than those of its two menus do nothing.
void runCommand(WPARAM wParam);
// Shows the statistics window and grays "Show Statistics" in the tray pop-up.
void showStatistics();
// Hides the statistics window and enables "Show Statistics" again.
void hideStatistics();
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The confirmation texts, exactly as the boxes show them.
extern const char exitQuestion[];
extern const char exitCaption[];
extern const char resetQuestion[];
extern const char resetCaption[];
extern const char sumUpQuestion[];
extern const char sumUpCaption[];
