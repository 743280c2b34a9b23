// Compound hours-minutes(-seconds) fields inside the settings dialog.
#pragma once

#include <windows.h>

// Enables and shows (wParam nonzero) or disables and hides (zero) a time field.
constexpr UINT WM_ENABLETIMEFIELD = WM_USER + 2;

extern HWND timeSubFields[10]; // the ten parts, in the fixed order of the fields

void createTimeFields(HWND dialog);
