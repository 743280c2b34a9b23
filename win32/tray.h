// The tray icon: adding and removing it, re-adding it for a restarted shell, and its mouse callback.
#pragma once

#include <windows.h>

// Fills trayIconData for `window` and adds the icon.
void addTrayIcon(HWND window);
// Removes the icon described by trayIconData.
void removeTrayIcon();
// Registers the shell's "TaskbarCreated" message; returns its identifier.
UINT registerTaskbarCreated();
// Whether `message` is the shell's announcement that it has (re)started.
bool isTaskbarCreated(UINT message);
// The tray pop-up with its first item made the default one.
HMENU prepareTrayMenu();
// WM_TRAYNOTIFY: the low word of lParam is the mouse message.
void onTrayNotify(LPARAM lParam);
