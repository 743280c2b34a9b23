// Keeps a Wine prefix's desktop process alive while tests run: Wine ends that process soon after the last
// window closes, and each test program that opens a window would otherwise wait seconds to start it again.
// The window is one pixel, off screen, never activated.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "TolvarTestKeepAlive";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, "TolvarTestKeepAlive", "", WS_POPUP, -10, -10,
                                  1, 1, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
