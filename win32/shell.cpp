// Storage of the shell's process-wide items.
#include "win32/shell.h"

HINSTANCE instance;
HWND mainWindow;
HMENU mainMenu;
HMENU trayMenu;
NOTIFYICONDATAA trayIconData;
char currencySymbol[7];
int currencySymbolLength;
char exeDirectory[MAX_PATH + 1];

int currencySymbolDrawnLength()
{
    if (currencySymbolLength <= 1)
        return 0;
    const int stored = lstrlenA(currencySymbol);
    return currencySymbolLength - 1 < stored ? currencySymbolLength - 1 : stored;
}
