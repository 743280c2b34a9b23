// The detailed statistics window with its report list, grid switch and remembered placement.
#include "win32/details_window.h"

#include <commctrl.h>

#include <vector>

#include "core/clock.h"
#include "core/display.h"
#include "core/settings.h"
#include "core/text.h"
#include "res/resource.h"
#include "win32/dpi.h"
#include "win32/lazy_libraries.h"
#include "win32/placement_store.h"
#include "win32/program_records.h"
#include "core/stored_log.h"

namespace {

const char kDetailsClassName[] = "Details";

// Width of every column while no placement is stored, at the default DPI; a stored width is the pixels the user
// left, at the DPI the window had then.
constexpr int32_t kDefaultColumnWidth = 100;
// The list's margin inside the window, and its size until the first WM_SIZE fits it to the window, at the default
// DPI.
constexpr int kListMargin = 5, kInitialListWidth = 200, kInitialListHeight = 300;
// Columns without and with cost calculation; the cost column comes last.
constexpr int kColumnsWithoutCost = 3, kColumnsWithCost = 4, kCostColumn = 3;

const char* const kColumnHeadings[kColumnsWithCost] = {"Date", "Time", "Duration", "Cost"};

// A stored state that would leave the window hidden (a short or damaged value) shows it normally:
// an open but invisible window could never be reached again, since opening it again only refills it.
int visibleShowState(int32_t showCmd)
{
    return showCmd > SW_HIDE && showCmd <= SW_MAX ? showCmd : SW_SHOW;
}

// The columns inserted at creation, kept with the window (GWLP_USERDATA): the cost column exists only if cost
// calculation was on then.
int columnCountOf(HWND window) { return static_cast<int>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

static_assert(MF_CHECKED == kGridShown, "a checked grid is stored as the menu's checked state");

// The placement at closing, kept in memory and stored.
void rememberPlacement(HWND window)
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(window, &placement);
    details.placement.gridState =
        (GetMenuState(details.menu, IDC_DETAILS_SHOW_GRID, MF_BYCOMMAND) & MF_CHECKED) != 0 ? kGridShown : 0;
    details.placement.left = placement.rcNormalPosition.left;
    details.placement.top = placement.rcNormalPosition.top;
    details.placement.right = placement.rcNormalPosition.right;
    details.placement.bottom = placement.rcNormalPosition.bottom;
    details.placement.showCmd = static_cast<int32_t>(placement.showCmd);

    // The cost width is read only from a cost column that exists: a window created with cost off has
    // none, and reading it would store width 0 and hide the column at the next opening.
    const int wanted = settings.block.calculateCost ? kColumnsWithCost : kColumnsWithoutCost;
    const int inserted = columnCountOf(window);
    for (int column = 0; column < wanted && column < inserted; ++column)
        details.placement.columnWidths[column] =
            static_cast<int32_t>(SendMessageA(details.list, LVM_GETCOLUMNWIDTH, column, 0));
    storePlacement(details.placement);
}

bool gridShown() { return GetMenuState(details.menu, IDC_DETAILS_SHOW_GRID, MF_BYCOMMAND) == MF_CHECKED; }

// The zero mask makes the value replace every extended style.
void applyGridStyle(bool grid)
{
    const LPARAM style = grid ? LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES : LVS_EX_FULLROWSELECT;
    SendMessageA(details.list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style);
}

void insertDetailColumns(HWND window, bool withCost)
{
    const int count = withCost ? kColumnsWithCost : kColumnsWithoutCost;
    SetWindowLongPtrA(window, GWLP_USERDATA, count);
    for (int column = 0; column < count; ++column) {
        LVCOLUMNA heading{};
        heading.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        heading.fmt = LVCFMT_LEFT;
        heading.cx = details.placement.columnWidths[column];
        heading.pszText = const_cast<char*>(kColumnHeadings[column]);
        heading.iSubItem = column;
        SendMessageA(details.list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&heading));
    }
}

void setSubitemText(WPARAM row, int subitem, char* text)
{
    LVITEMA item{};
    item.iSubItem = subitem;
    item.pszText = text;
    SendMessageA(details.list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

void insertDetailRow(int row, const ConnectionRecord& record, bool withCost)
{
    char text[kListTextSize];
    formatListDate(record.start, text, sizeof text);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_STATE;
    item.iItem = row;
    item.state = 0;
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.pszText = text;
    const LRESULT index = SendMessageA(details.list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    if (index < 0)
        return;
    formatListTime(record.start, text, sizeof text);
    setSubitemText(static_cast<WPARAM>(index), 1, text);
    formatDuration(record.seconds, text, sizeof text);
    setSubitemText(static_cast<WPARAM>(index), 2, text);
    if (withCost) {
        formatListCost(record.cost, settings.block.tariffCommon, shell.currencySymbol, currencySymbolDrawnLength(),
                       text, sizeof text);
        setSubitemText(static_cast<WPARAM>(index), kCostColumn, text);
    }
}

void showPeriod(ViewFilter filter)
{
    fillDetails(filter);
    details.filter = filter;
}

void toggleGrid()
{
    const bool grid = !gridShown();
    CheckMenuItem(details.menu, IDC_DETAILS_SHOW_GRID, MF_BYCOMMAND | (grid ? MF_CHECKED : MF_UNCHECKED));
    applyGridStyle(grid);
}

LRESULT onCreate(HWND window)
{
    details.window = window;
    details.menu = GetMenu(window);
    CheckMenuItem(details.menu, IDC_DETAILS_SHOW_GRID,
                  MF_BYCOMMAND | ((details.placement.gridState & kGridShown) != 0 ? MF_CHECKED : MF_UNCHECKED));
    // Control identifier 0: nothing addresses the list by identifier.
    const UINT dpi = dpiOfWindow(window);
    attachWindowScale(window, dpi, nullptr, 0);
    const int margin = scaled(kListMargin, dpi);
    details.list = CreateWindowExA(0, WC_LISTVIEWA, "",
                                  WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                                      LVS_NOSORTHEADER,
                                  margin, margin, scaled(kInitialListWidth, dpi), scaled(kInitialListHeight, dpi),
                                  window, nullptr, shell.instance, nullptr);
    applyGridStyle(gridShown());
    insertDetailColumns(window, settings.block.calculateCost != 0);
    return 0;
}

LRESULT onSize(HWND window, int clientWidth, int clientHeight)
{
    const int margin = scaled(kListMargin, paintDpiOf(window));
    MoveWindow(details.list, margin, margin, clientWidth - 2 * margin, clientHeight - 2 * margin, TRUE);
    return 0;
}

// The columns keep their share of the window: each width scaled from the old DPI to the new one. The list then
// follows the window to the suggested rectangle, with the margin of the new DPI.
LRESULT onDpiChanged(HWND window, WPARAM wParam, LPARAM lParam)
{
    const UINT oldDpi = paintDpiOf(window);
    const UINT newDpi = LOWORD(wParam);
    if (newDpi == 0)
        return 0;
    for (int column = 0; column < columnCountOf(window); ++column) {
        const int width = static_cast<int>(SendMessageA(details.list, LVM_GETCOLUMNWIDTH, column, 0));
        SendMessageA(details.list, LVM_SETCOLUMNWIDTH, column,
                     MulDiv(width, static_cast<int>(newDpi), static_cast<int>(oldDpi)));
    }
    applyDpiChange(window, wParam, lParam);
    RECT client;
    GetClientRect(window, &client);
    return onSize(window, client.right, client.bottom);
}

LRESULT onCommand(HWND window, WORD command)
{
    switch (command) {
    case IDC_DETAILS_SAVE_ALL: exportLog(All); break;
    case IDC_DETAILS_SAVE_LAST_MONTH: exportLog(LastMonth); break;
    case IDC_DETAILS_SAVE_CURRENT_MONTH: exportLog(CurrentMonth); break;
    case IDC_DETAILS_CLOSE: DestroyWindow(window); break;
    case IDC_DETAILS_CLEAR_ALL: clearLog(ClearAll); break;
    case IDC_DETAILS_CLEAR_UNTIL_CURRENT_MONTH: clearLog(ClearUntilCurrentMonth); break;
    case IDC_DETAILS_CLEAR_UNTIL_LAST_MONTH: clearLog(ClearUntilLastMonth); break;
    case IDC_DETAILS_SHOW_ALL: showPeriod(All); break;
    case IDC_DETAILS_SHOW_LAST_MONTH: showPeriod(LastMonth); break;
    case IDC_DETAILS_SHOW_CURRENT_MONTH: showPeriod(CurrentMonth); break;
    case IDC_DETAILS_SHOW_GRID: toggleGrid(); break;
    case IDC_DETAILS_HISTORY: openHistory(); break;
    }
    return 0;
}

LRESULT onDestroy(HWND window)
{
    rememberPlacement(window);
    detachWindowScale(window);
    return 0;
}

} // namespace

void openDetails(ViewFilter filter)
{
    if (IsWindow(details.window)) {
        fillDetails(filter);
        return;
    }
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
    int showState = SW_SHOW;
    if (loadPlacement(details.placement)) {
        x = details.placement.left;
        y = details.placement.top;
        // Computed wide: damaged edges must not overflow.
        width = static_cast<int>(static_cast<int64_t>(details.placement.right) - details.placement.left);
        height = static_cast<int>(static_cast<int64_t>(details.placement.bottom) - details.placement.top);
        showState = visibleShowState(details.placement.showCmd);
    } else {
        // The window's place is the system's, on the primary screen, whose DPI the widths are made for.
        for (int32_t& columnWidth : details.placement.columnWidths)
            columnWidth = scaled(kDefaultColumnWidth, systemDpi());
        details.placement.gridState = kGridShown;
    }
    if (!loadCommonControls(shell.statisticsWindow))
        return;
    const HMENU menu = LoadMenuA(shell.instance, MAKEINTRESOURCEA(IDM_DETAILS));
    const HWND window = CreateWindowExA(0, kDetailsClassName, "", WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr,
                                        menu, shell.instance, nullptr);
    if (window == nullptr) {
        DestroyMenu(menu);
        return;
    }
    ShowWindow(window, showState);
    fillDetails(filter);
}

void fillDetails(ViewFilter filter)
{
    if (!IsWindow(details.window))
        return;
    const SystemTime today = localSystemTime();
    char title[kDetailsTitleSize];
    formatDetailsTitle(filter, today, title, sizeof title);
    SetWindowTextA(details.window, title);

    SendMessageA(details.list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(details.list, LVM_DELETEALLITEMS, 0, 0);
    const std::vector<ConnectionRecord> records = loadStoredLog();
    const bool withCost = columnCountOf(details.window) > kCostColumn;
    int row = 0;
    for (const ConnectionRecord& record : records) {
        if (filterAdmits(filter, record.start, today))
            insertDetailRow(row++, record, withCost);
    }
    SendMessageA(details.list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(details.list, nullptr, TRUE);
}

LRESULT CALLBACK detailsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return onCreate(window);
    case WM_SIZE: return onSize(window, LOWORD(lParam), HIWORD(lParam));
    case WM_COMMAND: return onCommand(window, LOWORD(wParam));
    case WM_DESTROY: return onDestroy(window);
    case kWmDpiChanged: return onDpiChanged(window, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void refreshDetailsIfOpen()
{
    if (IsWindow(details.window))
        fillDetails(details.filter);
}
