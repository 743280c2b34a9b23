// What the programs that prepare and drive Tolvar from outside share: dates of the logs they write, window lookup.
#pragma once

#include <windows.h>

#include <cstring>

#include "core/state.h"

// A moment `back` months before the present one, on `day` (kept to today in the present month) at that time.
inline SystemTime monthsBefore(unsigned back, uint16_t day, uint16_t hour, uint16_t minute, uint16_t second)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    int month = now.wMonth - static_cast<int>(back), year = now.wYear;
    while (month < 1) {
        month += 12;
        --year;
    }
    if (back == 0 && day > now.wDay)
        day = now.wDay;
    return SystemTime{static_cast<uint16_t>(year), static_cast<uint16_t>(month), 0, day, hour, minute, second, 0};
}

// What windowOf looks for among the top-level windows.
struct WindowSearch {
    DWORD processId;       // the process that owns the window
    const char* className; // its class
    int childId;           // a dialog item it must have, 0 for any
    bool visibleOnly;      // hidden windows do not count
    HWND found;            // the first that matches, nullptr when none does
};

inline BOOL CALLBACK matchWindow(HWND window, LPARAM context)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (owner == search->processId && std::strcmp(name, search->className) == 0 &&
        (!search->visibleOnly || IsWindowVisible(window)) &&
        (search->childId == 0 || GetDlgItem(window, search->childId) != nullptr)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The first top-level window of `processId` of that class (and with that item), or nullptr.
inline HWND windowOf(DWORD processId, const char* className, int childId = 0, bool visibleOnly = false)
{
    WindowSearch search{processId, className, childId, visibleOnly, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
