// The billing period's start day inside the settings dialog: chosen from the automatic Sum Up check box's own
// context menu, and named in that check box's text.
#pragma once

#include <windows.h>

// Names `day` in the check box's text ("Sum up automatically at 15th day of month") and keeps it as the choice;
// the text the dialog was made with stands for day 1.
void showStartDay(HWND dialog, int day);
// The day chosen in this dialog so far, 1 to 28.
int chosenStartDay(HWND dialog);
// The context menu of the check box: the 28 days, the chosen one checked, at `where` (screen coordinates, or
// -1 for the keyboard's menu key: below the check box). A day picked there becomes the choice.
void chooseStartDay(HWND dialog, LPARAM where);
