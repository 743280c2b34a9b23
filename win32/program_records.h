// The Win32 side's program-wide records (the shell's items, the detailed view) and what one window asks of another.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "core/log_format.h"
#include "core/stored_log.h"
#include "core/settings.h"

// Tray icon callback message.
constexpr UINT WM_TRAYNOTIFY = WM_USER + 1;
// Posted by a tick that found a notice about the store due: the box opens after the tick, never inside it.
constexpr UINT WM_STORENOTICE = WM_USER + 2;

// The application shell's process-wide state: one record, the only one of its kind.
struct Shell {
    HINSTANCE instance;                     // the module, for every resource load and window creation
    HWND statisticsWindow;                  // the statistics window, class "LinkStatistics"
    HMENU statisticsMenu;                   // menu 104, the statistics window's menu bar
    HMENU trayMenu;                         // menu 112; its sub-menu 0 is the tray pop-up
    NOTIFYICONDATAA trayIconData;           // the tray icon's record
    UINT taskbarCreated;                    // the system shell's "TaskbarCreated" message, 0 until registered
    HWND timerWindow;                       // the strip the monitor paints and closes; cleared when destroyed
    char currencySymbol[7];                 // the user locale's currency symbol, NUL-terminated
    int currencySymbolLength;               // characters written by the locale lookup with the NUL, 0 on failure
    char exeDirectory[MAX_PATH + 1];        // the executable's folder with a trailing backslash
};
extern Shell shell;

// The detailed window's process-wide state: one record, the only one of its kind.
struct DetailsView {
    HWND window;               // the window, or a handle that is no longer a window
    HWND list;                 // its list view
    HMENU menu;                // its menu, loaded at each creation and destroyed with the window
    DetailPlacement placement; // reloaded at each opening, stored at each closing
    ViewFilter filter;         // the filter the user chose last
};
extern DetailsView details;

// Currency symbol as drawn: currencySymbolLength - 1 characters, none when the lookup failed.
int currencySymbolDrawnLength();

// A font of the face of DEFAULT_GUI_FONT with the given cell height and weight; the caller deletes it.
// The statistics window and the timer strip draw with it.
HFONT createGuiFont(HDC dc, int height, int weight);

// What the rooms ask of one another. The display calls of the accounting heart are in core/display.h.

// Start-up: folder, registration, settings, totals, month stamp and record count, read when the statistics
// window is created.
void loadStartupState();
// Statistics window: shows it and grays "Show Statistics" in the tray pop-up; hides it and enables the item.
void showStatistics();
void hideStatistics();
// Commands: WM_COMMAND of the statistics window; ids other than those of its two menus do nothing.
void runCommand(WPARAM wParam);
// Tray icon: fills trayIconData for `window` and adds the icon; removes it; registers the system shell's
// "TaskbarCreated" message and tells it; handles WM_TRAYNOTIFY, whose lParam's low word is the mouse message.
void addTrayIcon(HWND window);
void removeTrayIcon();
UINT registerTaskbarCreated();
bool isTaskbarCreated(UINT message);
void onTrayNotify(LPARAM lParam);
// Detailed window: creates it when it is closed, then fills it (an open one is only refilled); sets the
// title and rebuilds the rows of the filter from the stored log.
void openDetails(ViewFilter filter);
void fillDetails(ViewFilter filter);
// Clear and export, from the detailed window's menu.
void clearLog(ClearMode mode);
void exportLog(ViewFilter filter);
// History window: opens it from the stored log, or refreshes the one that is open.
void openHistory();
// Settings dialog and About box, modal over the statistics window.
INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void showAboutBox();
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
