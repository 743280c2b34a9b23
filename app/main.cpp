// Process entry: single instance, currency symbol, initialisation and the message loop.
#include "app/main_window.h"
#include "app/shell.h"

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR, int)
{
    instance = module;
    if (!initApplication())
        return 0;
    return 1;
}
