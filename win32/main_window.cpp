// The statistics window: its classes, a thin dispatch of its messages, and the start-up sequence.
#include "win32/main_window.h"

#include <cstring>

#include "core/month.h"
#include "core/monitor.h"
#include "core/ports.h"
#include "win32/commands.h"
#include "win32/shell.h"
#include "win32/tray.h"
#include "res/resource.h"
#include "win32/registration.h"
#include "core/settings.h"
#include "win32/settings_store.h"
#include "win32/details_window.h"
#include "win32/statistics.h"
#include "win32/timer_window.h"

namespace {

// Key of the detailed window's placement; made sure to exist at every start.
const char kPlacementKeyPath[] = "Software\\Vesk\\Tolvar\\2.0";

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
    return registerClass(0, statisticsWindowProc, LoadIconA(shell.instance, MAKEINTRESOURCEA(IDI_MAIN)), nullptr, buttonFace(),
                         MAKEINTRESOURCEA(IDM_MAIN), "LinkStatistics") &&
           registerClass(CS_DBLCLKS, timerWindowProc, nullptr, arrow, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)),
                         nullptr, "Counter") &&
           registerClass(0, detailsWindowProc, LoadIconA(shell.instance, MAKEINTRESOURCEA(IDI_DETAILS)), arrow, buttonFace(),
                         MAKEINTRESOURCEA(IDM_DETAILS), "Details");
}

// exeDirectory := the executable's path up to and including its last backslash.
void findExeDirectory()
{
    // One byte more than the call may fill, so the path is terminated even when it was cut short.
    char path[MAX_PATH + 1];
    std::memset(path, 0, sizeof path);
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* lastSlash = std::strrchr(path, '\\');
    const size_t length = lastSlash == nullptr ? 0 : static_cast<size_t>(lastSlash - path) + 1;
    static_assert(sizeof shell.exeDirectory == sizeof path, "the folder fits wherever the path did");
    std::memcpy(shell.exeDirectory, path, length);
    shell.exeDirectory[length] = '\0';
}

// First run for this user: uninstall entry, a fresh month stamp and the default settings. Later runs
// load the settings and the totals.
void loadSettingsAndTotals()
{
    const SettingsStore store = openSettingsStore();
    if (store.newlyMade) {
        registerUninstall(shell.exeDirectory);
        writeMonthStamp();
        writeDefaultSettings(store.key);
    } else {
        loadSettings(store.key);
        readCounterBlock();
    }
    if (store.key != nullptr)
        RegCloseKey(store.key);
}

void ensurePlacementKey()
{
    char noClass[] = "";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kPlacementKeyPath, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE,
                        nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

// A data file without a complete stamp gets the present time as its stamp.
void loadMonthStamp()
{
    if (!readMonthStamp(accounting.monthStamp)) {
        writeMonthStamp();
        accounting.monthStamp = localSystemTime();
    }
}

// The window is known before the start-up sequence, so a repaint it asks for reaches this window.
void onCreate(HWND window)
{
    shell.statisticsWindow = window;
    loadStartupState();
    SetTimer(window, kFastTimer, 50, nullptr);
    SetTimer(window, kSlowTimer, 1000, nullptr);
}

// Closing the window in any way only hides it; returns whether the system command was that.
bool hideOnClose(WPARAM wParam)
{
    if (wParam != SC_CLOSE)
        return false;
    hideStatistics();
    return true;
}

} // namespace

void loadStartupState()
{
    findExeDirectory();
    SetCurrentDirectoryA(shell.exeDirectory);
    registerAutostart();
    loadSettingsAndTotals();
    ensurePlacementKey();
    loadMonthStamp();
    if (settings.extra.autoSumUp != 0)
        checkMonthChange();
    loadRecordCount();
}

bool initApplication()
{
    if (!registerClasses())
        return false;
    shell.statisticsMenu = LoadMenuA(shell.instance, MAKEINTRESOURCEA(IDM_MAIN));
    shell.trayMenu = LoadMenuA(shell.instance, MAKEINTRESOURCEA(IDM_TRAY));
    registerTaskbarCreated();
    shell.statisticsWindow = CreateWindowExA(0, "LinkStatistics", "Link Statistics", WS_POPUPWINDOW | WS_CAPTION | WS_MINIMIZEBOX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, kStatisticsWidth,
                                 GetSystemMetrics(SM_CYMENU) + kStatisticsHeightBelowMenu, nullptr, shell.statisticsMenu,
                                 shell.instance, nullptr);
    if (shell.statisticsWindow == nullptr)
        return false;
    addTrayIcon(shell.statisticsWindow);
    return true;
}

// Every message but the close command also gets the default processing.
LRESULT CALLBACK statisticsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: onCreate(window); break;
    case WM_DESTROY: removeTrayIcon(); break;
    case WM_PAINT: paintStatistics(window); break;
    case WM_TIMER: pollConnection(static_cast<int>(wParam)); break;
    case WM_SYSCOMMAND: if (hideOnClose(wParam)) return 0; break;
    case WM_COMMAND: runCommand(wParam); break;
    case WM_TRAYNOTIFY: onTrayNotify(lParam); break;
    default: if (isTaskbarCreated(message)) addTrayIcon(window); break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
