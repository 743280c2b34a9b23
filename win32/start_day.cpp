// The start-day choice of the settings dialog: kept with the check box that names it (GWLP_USERDATA, 0 for day 1).
#include "win32/start_day.h"

#include <cstdio>

#include "core/billing_period.h"
#include "res/resource.h"

namespace {

constexpr int kLastDay = IDC_START_DAY_28 - IDC_START_DAY_1 + 1;
// Days per column of the menu, so that 28 days make four weeks side by side.
constexpr int kDaysPerColumn = 7;
static_assert(kLastDay == 28, "one menu item per possible start day");

HWND checkBox(HWND dialog) { return GetDlgItem(dialog, IDC_AUTO_SUM_UP); }

// The menu's place: the cursor's for the mouse, the check box's lower left corner for the keyboard.
POINT menuPlace(HWND dialog, LPARAM where)
{
    if (where != -1)
        return POINT{static_cast<SHORT>(LOWORD(where)), static_cast<SHORT>(HIWORD(where))};
    RECT box{};
    GetWindowRect(checkBox(dialog), &box);
    return POINT{box.left, box.bottom};
}

HMENU makeDayMenu(int chosen)
{
    HMENU menu = CreatePopupMenu();
    for (int day = 1; day <= kLastDay; ++day) {
        char text[8];
        formatDayOrdinal(day, text, sizeof text);
        UINT flags = MF_STRING | (day == chosen ? MF_CHECKED : MF_UNCHECKED);
        if (day > 1 && (day - 1) % kDaysPerColumn == 0)
            flags |= MF_MENUBARBREAK;
        AppendMenuA(menu, flags, static_cast<UINT_PTR>(IDC_START_DAY_1 + day - 1), text);
    }
    return menu;
}

// A longer day ("15th" for "1st") may need more room than the template gave the check box: it grows to its text,
// and never shrinks below the template's width.
void fitCheckBox(HWND box, const char* text, int length)
{
    HDC dc = GetDC(box);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(box, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32A(dc, text, length, &extent);
    SelectObject(dc, old);
    ReleaseDC(box, dc);
    RECT place{};
    GetWindowRect(box, &place);
    const int wanted = extent.cx + GetSystemMetrics(SM_CXMENUCHECK) + 2 * GetSystemMetrics(SM_CXEDGE);
    if (wanted > place.right - place.left)
        SetWindowPos(box, nullptr, 0, 0, wanted, place.bottom - place.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

void showStartDay(HWND dialog, int day)
{
    const int usable = usableStartDay(day);
    SetWindowLongPtrA(checkBox(dialog), GWLP_USERDATA, usable == 1 ? 0 : usable);
    char ordinal[8];
    formatDayOrdinal(usable, ordinal, sizeof ordinal);
    char text[64];
    const int length = std::snprintf(text, sizeof text, "Sum up automatically at %s day of month", ordinal);
    SetWindowTextA(checkBox(dialog), text);
    fitCheckBox(checkBox(dialog), text, length > 0 && static_cast<size_t>(length) < sizeof text ? length : 0);
}

int chosenStartDay(HWND dialog)
{
    return usableStartDay(static_cast<int>(GetWindowLongPtrA(checkBox(dialog), GWLP_USERDATA)));
}

void chooseStartDay(HWND dialog, LPARAM where)
{
    HMENU menu = makeDayMenu(chosenStartDay(dialog));
    const POINT place = menuPlace(dialog, where);
    const int picked = static_cast<int>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN, place.x, place.y, 0, dialog, nullptr));
    DestroyMenu(menu);
    if (picked >= IDC_START_DAY_1 && picked <= IDC_START_DAY_28)
        showStartDay(dialog, picked - IDC_START_DAY_1 + 1);
}
