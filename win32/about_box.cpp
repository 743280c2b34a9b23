// The About box: a modal dialog from the resources, owned by the statistics window.
#include "res/resource.h"
#include "win32/program_records.h"

void showAboutBox()
{
    DialogBoxParamA(shell.instance, MAKEINTRESOURCEA(IDD_ABOUT), shell.statisticsWindow, aboutDialogProc, 0);
}

// OK and the close box both end the box with 1; nothing else is handled.
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            EndDialog(dialog, 1);
        break;
    case WM_SYSCOMMAND:
        if (wParam == SC_CLOSE)
            EndDialog(dialog, 1);
        break;
    default: break;
    }
    return FALSE;
}
