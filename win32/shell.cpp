// The Win32 side's process-wide records and the currency symbol as drawn.
#include "win32/shell.h"

Shell shell;
DetailsView details;

int currencySymbolDrawnLength()
{
    if (shell.currencySymbolLength <= 1)
        return 0;
    const int stored = lstrlenA(shell.currencySymbol);
    return shell.currencySymbolLength - 1 < stored ? shell.currencySymbolLength - 1 : stored;
}
