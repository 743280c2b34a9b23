// Start-up: the window classes, the folder, registration, settings, totals, month stamp and record count, and
// the hidden statistics window with its tray icon.
#include "win32/startup.h"

#include <cstdio>
#include <string>

#include "core/settings.h"
#include "core/stored_figures.h"
#include "res/resource.h"
#include "win32/details_window.h"
#include "win32/dpi.h"
#include "win32/placement_store.h"
#include "win32/program_folder.h"
#include "win32/registration.h"
#include "win32/settings_store.h"
#include "win32/program_records.h"
#include "win32/statistics_window.h"
#include "win32/timer_window.h"

namespace {

bool registerClass(UINT style, WNDPROC procedure, HICON icon, HCURSOR cursor, HBRUSH background,
                   const char* menu, const char* name)
{
    WNDCLASSA windowClass{};
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = shell.instance;
    windowClass.hIcon = icon;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszMenuName = menu;
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass) != 0;
}

HBRUSH buttonFace()
{
    return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
}

bool registerClasses()
{
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    const HICON statisticsIcon = LoadIconA(shell.instance, MAKEINTRESOURCEA(IDI_MAIN));
    const HICON detailsIcon = LoadIconA(shell.instance, MAKEINTRESOURCEA(IDI_DETAILS));
    return registerClass(0, statisticsWindowProc, statisticsIcon, nullptr, buttonFace(),
                         MAKEINTRESOURCEA(IDM_STATISTICS), "LinkStatistics") &&
           registerClass(CS_DBLCLKS, timerWindowProc, nullptr, arrow, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)),
                         nullptr, "Counter") &&
           registerClass(0, detailsWindowProc, detailsIcon, arrow, buttonFace(), MAKEINTRESOURCEA(IDM_DETAILS),
                         "Details");
}

// The executable's folder, wide for programFolder() and in the ANSI code page for exeDirectory.
void findExeDirectory()
{
    const std::wstring folder = executableFolder();
    setProgramFolder(folder.c_str());
    std::snprintf(shell.exeDirectory, sizeof shell.exeDirectory, "%s", ansiFolder(folder).c_str());
}

// First run for this user: uninstall entry and the default settings; later runs load the settings. The figures of
// the data file follow: the stamp made at a first run, else the totals and the stamp read.
void loadSettingsAndFigures()
{
    const SettingsStore store = openSettingsStore();
    if (store.newlyMade) {
        registerUninstall(programFolder());
        writeDefaultSettings(store.key);
    } else {
        loadSettings(store.key);
    }
    if (store.key != nullptr)
        RegCloseKey(store.key);
    ensurePlacementKey();
    // While the data file cannot be read nothing of it is written; the ticks read it once it can be.
    loadStoredFigures(store.newlyMade);
}

} // namespace

void loadStartupState()
{
    findExeDirectory();
    enterProgramFolder();
    registerAutostart();
    loadSettingsAndFigures();
}

bool initApplication()
{
    declareDpiAwareness();
    if (!registerClasses())
        return false;
    shell.statisticsMenu = LoadMenuA(shell.instance, MAKEINTRESOURCEA(IDM_STATISTICS));
    shell.trayMenu = LoadMenuA(shell.instance, MAKEINTRESOURCEA(IDM_TRAY));
    registerTaskbarCreated();
    // Made at the screen's top left corner, so sized for the primary screen's DPI.
    const UINT dpi = systemDpi();
    shell.statisticsWindow = CreateWindowExA(0, "LinkStatistics", "Link Statistics",
                                             WS_POPUPWINDOW | WS_CAPTION | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT,
                                             statisticsWindowWidth(dpi), statisticsWindowHeight(dpi),
                                             nullptr, shell.statisticsMenu, shell.instance, nullptr);
    if (shell.statisticsWindow == nullptr)
        return false;
    addTrayIcon(shell.statisticsWindow);
    return true;
}
