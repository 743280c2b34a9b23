// Compound hours-minutes(-seconds) fields inside the settings dialog.
#pragma once

#include <windows.h>

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

// A part's place in its field, in the order the parts sit and the Tab key visits them.
enum TimePartPlace {
    HoursPart = 0,   // the hour of the common-tariff hours, the hours of a time limit
    MinutesPart = 1, // the minutes
    SecondsPart = 2, // the seconds, in a time limit only
};

// Turns the four hosts of the dialog into time fields; each host keeps its own parts until it is destroyed.
void createTimeFields(HWND dialog);
// Creates one part (and the colon after it) inside the host and adds it to the host's parts; returns the part.
HWND createTimeSubField(HWND dialog, int hostId, TimeSubFieldKind kind, int textLimit);
// Places the field's parts and colons again for `dpi`, in a font for it: the system has moved and sized the dialog's
// own controls, the host among them, for a monitor of that DPI.
void placeTimeField(HWND host, UINT dpi);
// The part at `place` of the dialog's time field `hostId`; null when the field has no such part.
HWND timeFieldPart(HWND dialog, int hostId, TimePartPlace place);

LRESULT CALLBACK timeFieldHostProc(HWND host, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK colonProc(HWND colon, UINT message, WPARAM wParam, LPARAM lParam);
