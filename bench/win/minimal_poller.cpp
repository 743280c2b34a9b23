// The yardstick for Tolvar's own cost: a minimal Win32 program that polls the remote-access service at the
// same rate (50 ms and 1000 ms timers), with a hidden window and a tray icon, and does nothing else.
#include <windows.h>
#include <ras.h>
#include <shellapi.h>

namespace {

void poll()
{
    RASCONNA connections[1] = {};
    connections[0].dwSize = sizeof(RASCONNA);
    DWORD size = sizeof connections;
    DWORD count = 0;
    RasEnumConnectionsA(connections, &size, &count);
    if (count >= 1) {
        RASCONNSTATUSA status = {};
        status.dwSize = sizeof status;
        RasGetConnectStatusA(connections[0].hrasconn, &status);
    }
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER)
        poll();
    if (message == WM_CLOSE)
        PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "MinimalPoller";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "MinimalPoller", "Minimal poller", WS_POPUPWINDOW | WS_CAPTION, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 400, 200, nullptr, nullptr, instance, nullptr);
    SetTimer(window, 1, 50, nullptr);
    SetTimer(window, 2, 1000, nullptr);
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uFlags = NIF_ICON | NIF_TIP;
    icon.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
    lstrcpynA(icon.szTip, "Minimal poller", sizeof icon.szTip);
    Shell_NotifyIconA(NIM_ADD, &icon);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    Shell_NotifyIconA(NIM_DELETE, &icon);
    return 0;
}
