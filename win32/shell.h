// The application shell's process-wide items: instance, windows, menus, tray record, locale and folder.
#pragma once

#include <windows.h>
#include <shellapi.h>

// Tray icon callback message.
constexpr UINT WM_TRAYNOTIFY = WM_USER + 1;

extern HINSTANCE instance;           // the module, for every resource load and window creation
extern HWND mainWindow;              // the statistics window, class "LinkStatistics"
extern HMENU mainMenu;               // menu 104, the statistics window's menu bar
extern HMENU trayMenu;               // menu 112; its sub-menu 0 is the tray pop-up
extern NOTIFYICONDATAA trayIconData; // the tray icon's record
extern char currencySymbol[7];       // the user locale's currency symbol, NUL-terminated
extern int currencySymbolLength;     // characters written by the locale lookup with the NUL, 0 on failure
extern char exeDirectory[MAX_PATH + 1]; // the executable's folder with a trailing backslash

// Currency symbol as drawn: currencySymbolLength - 1 characters, none when the lookup failed.
int currencySymbolDrawnLength();
