// The detailed statistics window: the list of logged connections.
#pragma once

#include <windows.h>

#include "ui/log_format.h"

extern HWND detailsWindow;            // the window, or a handle that is no longer a window
extern HWND detailsList;              // its list view
extern ViewFilter currentViewFilter;  // the filter the user chose last

void openDetails(ViewFilter filter);
void fillDetails(ViewFilter filter);
LRESULT CALLBACK detailsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
