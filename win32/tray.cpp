// The tray icon, its mouse callback and its balloon that tells of a passed limit.
#include <windows.h>

#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>

#include "core/limit_notice.h"
#include "core/settings.h"
#include "res/resource.h"
#include "win32/program_records.h"

// The first-generation record, which every shell accepts; its size differs between the two builds.
#if defined(__i386__)
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "the 32-bit tray record is 88 bytes");
#endif

namespace {

using NotifyIconFunction = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);

// Shell32 is loaded for the call only and freed after it. Real shell32 exports the ANSI entry as
// "Shell_NotifyIconA"; Wine's exports that name too and also an alias "Shell_NotifyIcon" for the same
// function. The ANSI name is tried first because it is the one every shell32 has; the bare name is the
// fallback for a shell32 that only knows it. The result is not needed by any caller.
void notifyShell(DWORD action, NOTIFYICONDATAA* record)
{
    HMODULE shell32 = LoadLibraryA("Shell32.dll");
    if (shell32 == nullptr)
        return;
    FARPROC entry = GetProcAddress(shell32, "Shell_NotifyIconA");
    if (entry == nullptr)
        entry = GetProcAddress(shell32, "Shell_NotifyIcon");
    if (entry != nullptr)
        reinterpret_cast<NotifyIconFunction>(reinterpret_cast<void*>(entry))(action, record);
    FreeLibrary(shell32);
}

// A balloon needs the second-generation record, which shells from version 5.0 on accept; an older shell has no
// balloons, and 0 says so.
DWORD balloonRecordSize()
{
    HMODULE shell32 = LoadLibraryA("Shell32.dll");
    if (shell32 == nullptr)
        return 0;
    DWORD major = 0;
    using GetVersionFunction = HRESULT(CALLBACK*)(DLLVERSIONINFO*);
    if (FARPROC entry = GetProcAddress(shell32, "DllGetVersion")) {
        DLLVERSIONINFO version{};
        version.cbSize = sizeof version;
        if (reinterpret_cast<GetVersionFunction>(reinterpret_cast<void*>(entry))(&version) == S_OK)
            major = version.dwMajorVersion;
    }
    FreeLibrary(shell32);
    return major >= 5 ? static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE) : 0;
}

// The tray pop-up with its first item made the default one.
HMENU prepareTrayMenu()
{
    HMENU popup = GetSubMenu(shell.trayMenu, 0);
    SetMenuDefaultItem(popup, 0, TRUE);
    return popup;
}

// The pop-up opens at the cursor on the press of the right button.
void openTrayMenu()
{
    POINT cursor{};
    GetCursorPos(&cursor);
    SetForegroundWindow(shell.statisticsWindow);
    TrackPopupMenu(prepareTrayMenu(), 0, cursor.x, cursor.y, 0, shell.statisticsWindow, nullptr);
}

} // namespace

void addTrayIcon(HWND window)
{
    shell.trayIconData = NOTIFYICONDATAA{};
    shell.trayIconData.cbSize = NOTIFYICONDATAA_V1_SIZE;
    shell.trayIconData.hWnd = window;
    shell.trayIconData.uID = 0;
    shell.trayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    shell.trayIconData.uCallbackMessage = WM_TRAYNOTIFY;
    shell.trayIconData.hIcon = LoadIconA(shell.instance, MAKEINTRESOURCEA(IDI_TRAY));
    std::snprintf(shell.trayIconData.szTip, sizeof shell.trayIconData.szTip, "%s", "Tolvar");
    notifyShell(NIM_ADD, &shell.trayIconData);
}

void removeTrayIcon()
{
    notifyShell(NIM_DELETE, &shell.trayIconData);
}

// The icon's own record keeps its first-generation size; the balloon goes in a copy of it with the larger size.
// A shell that cannot show it (none running, too old) is not asked again: the notice is simply not seen.
void showLimitNotice(const LimitNotice& notice)
{
    NOTIFYICONDATAA balloon = shell.trayIconData;
    balloon.cbSize = balloonRecordSize();
    if (balloon.cbSize == 0 || balloon.hWnd == nullptr)
        return;
    balloon.uFlags = NIF_INFO;
    formatLimitNotice(notice, settings.block.tariffCommon, shell.currencySymbol, currencySymbolDrawnLength(),
                      balloon.szInfo, sizeof balloon.szInfo);
    std::snprintf(balloon.szInfoTitle, sizeof balloon.szInfoTitle, "%s", "Limit passed");
    balloon.dwInfoFlags = NIIF_WARNING;
    balloon.uTimeout = 10000;
    notifyShell(NIM_MODIFY, &balloon);
}

UINT registerTaskbarCreated()
{
    shell.taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    return shell.taskbarCreated;
}

bool isTaskbarCreated(UINT message)
{
    return shell.taskbarCreated != 0 && message == shell.taskbarCreated;
}

void onTrayNotify(LPARAM lParam)
{
    switch (LOWORD(lParam)) {
    case WM_LBUTTONDBLCLK: showStatistics(); break;
    case WM_RBUTTONDOWN: openTrayMenu(); break;
    default: break;
    }
}
