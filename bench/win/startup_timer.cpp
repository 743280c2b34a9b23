// Measures how long a program takes from its launch to its icon in the notification area, then ends it.
// Usage: startup_timer.exe PROGRAM.exe tolvar|plain  — prints the milliseconds.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "res/resource.h"
#include "tools/driving.h"

namespace {

BOOL CALLBACK countIcon(HWND child, LPARAM context)
{
    char name[64] = {};
    GetClassNameA(child, name, sizeof name);
    if (std::strcmp(name, "__winex11_tray_icon") == 0 && IsWindowVisible(child))
        ++*reinterpret_cast<int*>(context);
    return TRUE;
}

BOOL CALLBACK countIcons(HWND window, LPARAM context)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, "__winex11_standalone_tray") == 0 || std::strcmp(name, "Shell_TrayWnd") == 0)
        EnumChildWindows(window, countIcon, context);
    return TRUE;
}

int trayIcons()
{
    int count = 0;
    EnumWindows(countIcons, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Ends the program the way its user would: Exit and Yes for Tolvar, closing the window for the yardstick.
void endProgram(const PROCESS_INFORMATION& process, bool tolvar)
{
    if (tolvar) {
        HWND window = windowOf(process.dwProcessId, "LinkStatistics");
        PostMessageA(window, WM_COMMAND, IDC_TRAY_EXIT, 0);
        for (int i = 0; i < 200; ++i) {
            HWND box = windowOf(process.dwProcessId, "#32770");
            if (box != nullptr) {
                PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
                break;
            }
            Sleep(10);
        }
    } else {
        PostMessageA(windowOf(process.dwProcessId, "MinimalPoller"), WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const bool tolvar = std::strcmp(argv[2], "tolvar") == 0;
    const int before = trayIcons();
    char commandLine[MAX_PATH + 3];
    std::snprintf(commandLine, sizeof commandLine, "\"%s\"", argv[1]);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(argv[1], commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 3;
    while (trayIcons() <= before) {
        QueryPerformanceCounter(&now);
        if ((now.QuadPart - start.QuadPart) / frequency.QuadPart > 20)
            break;
        Sleep(1);
    }
    QueryPerformanceCounter(&now);
    std::printf("%.1f\n", 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart);
    endProgram(process, tolvar);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return 0;
}
