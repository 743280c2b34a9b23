// Compound hours-minutes(-seconds) fields inside the settings dialog.
#pragma once

#include <windows.h>

#include "win32/shell.h"

// Enables and shows (wParam nonzero) or disables and hides (zero) a time field.
constexpr UINT WM_ENABLETIMEFIELD = WM_USER + 2;

// The sample text, place and colon of a part.
enum TimeSubFieldKind {
    WindowHour = 1,  // hour of the common-tariff hours
    WindowMinute = 2, // minute of the common-tariff hours
    LimitHour = 3,   // hours of a time limit, up to three digits
    LimitMinute = 4, // minutes of a time limit
    LimitSecond = 5, // seconds of a time limit
};

// Turns the four hosts of the dialog into time fields and fills timeSubFields.
void createTimeFields(HWND dialog);
// Creates one part (and the colon after it) inside the host; returns the part.
HWND createTimeSubField(HWND dialog, int hostId, TimeSubFieldKind kind, int textLimit);

LRESULT CALLBACK timeFieldHostProc(HWND host, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK colonProc(HWND colon, UINT message, WPARAM wParam, LPARAM lParam);
