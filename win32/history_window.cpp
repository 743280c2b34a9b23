// The history window: its list of periods, its chart, painted in WM_PAINT, and the history saved as CSV.
#include "win32/history_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/clock.h"
#include "core/csv_export.h"
#include "core/stored_log.h"
#include "core/text.h"
#include "res/resource.h"
#include "win32/csv_file.h"
#include "win32/lazy_libraries.h"
#include "win32/program_folder.h"
#include "win32/program_records.h"

namespace {

const char kHistoryClassName[] = "History";
const char kHistoryTitle[] = "History by month";

// Sizes at 96 dots per inch: the window, the chart below the list, margins, bars and text.
constexpr int kWindowWidth = 600, kWindowHeight = 520, kChartHeight = 220, kMargin = 8, kTextHeight = 13;
constexpr int kLineHeight = 16, kDefaultColumnWidth = 85;
// The period's column: "MM.YYYY" of calendar months, or a period's first and last day.
constexpr int kMonthColumnWidth = 70, kPeriodColumnWidth = 150;

// What one history window keeps (GWLP_USERDATA): its list, the rows shown and the chart drawn of them.
struct HistoryView {
    HWND list;                    // the report list of the periods
    int dpi;                      // the screen's dots per inch when the window was made
    bool withCost;                // whether the cost columns were made
    std::vector<HistoryRow> rows; // newest first
    HistoryChart chart;           // the latest periods of the rows
};

HistoryView* viewOf(HWND window) { return reinterpret_cast<HistoryView*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

int scaled(int length, int dpi) { return MulDiv(length, dpi, 96); }

// The chart's figure as text: a cost with its decimals, or hours with one.
int formatChartFigure(double value, const HistoryChart& chart, char* out, size_t size)
{
    if (chart.cost)
        return formatCost(value, chart.tariffCommon, out, size);
    return clampedLength(std::snprintf(out, size, "%.1f h", value), size);
}

// The height in pixels of `value` on a plot `height` high whose scale ends at `top`.
int barHeight(double value, double top, int height)
{
    if (!(value > 0.0))
        return 0;
    return static_cast<int>(std::lround(std::min(value / top, 1.0) * height));
}

void drawCentred(HDC dc, const char* text, int length, int centreX, int y)
{
    SIZE extent{};
    GetTextExtentPoint32A(dc, text, length, &extent);
    TextOutA(dc, centreX - extent.cx / 2, y, text, length);
}

void drawHorizontal(HDC dc, int left, int right, int y)
{
    MoveToEx(dc, left, y, nullptr);
    LineTo(dc, right, y);
}

// The area of the bars inside the chart's: room for the scale's labels on the left and a line of text
// above and below.
RECT plotArea(HDC dc, const RECT& area, const HistoryChart& chart, double top, int dpi)
{
    char text[kCostTextSize];
    const int length = formatChartFigure(top, chart, text, sizeof text);
    SIZE label{};
    GetTextExtentPoint32A(dc, text, length, &label);
    const int margin = scaled(kMargin, dpi), line = scaled(kLineHeight, dpi);
    return RECT{area.left + margin + label.cx + margin, area.top + margin + line, area.right - margin,
                area.bottom - margin - line};
}

void drawScale(HDC dc, const RECT& area, const RECT& plot, const HistoryChart& chart, double top, int dpi)
{
    char text[kCostTextSize];
    const int margin = scaled(kMargin, dpi), half = scaled(kTextHeight, dpi) / 2;
    int length = formatChartFigure(top, chart, text, sizeof text);
    TextOutA(dc, area.left + margin, plot.top - half, text, length);
    length = formatChartFigure(0.0, chart, text, sizeof text);
    TextOutA(dc, area.left + margin, plot.bottom - half, text, length);
    drawHorizontal(dc, plot.left, plot.right, plot.top);
    drawHorizontal(dc, plot.left, plot.right, plot.bottom);
}

void drawBars(HDC dc, const RECT& plot, const HistoryChart& chart, double top, HBRUSH normal, HBRUSH warning,
              int dpi)
{
    const int count = static_cast<int>(chart.values.size());
    if (count == 0)
        return;
    const int height = plot.bottom - plot.top, slot = (plot.right - plot.left) / count;
    const int width = std::max(1, slot * 2 / 3), line = scaled(kLineHeight, dpi);
    char text[kCostTextSize];
    for (int i = 0; i < count; ++i) {
        const double value = chart.values[static_cast<size_t>(i)];
        const int left = plot.left + i * slot + (slot - width) / 2, centre = left + width / 2;
        const int barTop = plot.bottom - barHeight(value, top, height);
        const bool above = chart.limit > 0.0 && value > chart.limit;
        const RECT bar{left, barTop, left + width, plot.bottom};
        FillRect(dc, &bar, above ? warning : normal);
        // The current period's figure stands above its forecast's outline when that is the taller.
        const bool forecastAbove = i == count - 1 && chart.forecast > value;
        const int labelTop = forecastAbove ? plot.bottom - barHeight(chart.forecast, top, height) : barTop;
        if (value > 0.0) {
            const int length = formatChartFigure(value, chart, text, sizeof text);
            drawCentred(dc, text, length, centre, labelTop - line);
        }
        const int length = formatBarLabel(chart.lastPeriod - (count - 1 - i), text, sizeof text);
        drawCentred(dc, text, length, centre, plot.bottom + scaled(2, dpi));
    }
}

// The current period's forecast: a dotted outline over its bar up to the forecast's height.
void drawForecast(HDC dc, const RECT& plot, const HistoryChart& chart, double top)
{
    const int count = static_cast<int>(chart.values.size());
    if (count == 0 || !(chart.forecast > chart.values.back()))
        return;
    const int slot = (plot.right - plot.left) / count, width = std::max(1, slot * 2 / 3);
    const int left = plot.left + (count - 1) * slot + (slot - width) / 2;
    const int forecastTop = plot.bottom - barHeight(chart.forecast, top, plot.bottom - plot.top);
    Rectangle(dc, left, forecastTop, left + width, plot.bottom);
}

void addColumn(HWND list, int column, const char* heading, int width)
{
    LVCOLUMNA item{};
    item.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    item.fmt = column == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
    item.cx = width;
    item.pszText = const_cast<char*>(heading);
    item.iSubItem = column;
    SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&item));
}

void setCell(HWND list, int row, int column, const char* text)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    if (column == 0)
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    else
        SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

void setCostCell(HWND list, int row, int column, double cost)
{
    char text[kListTextSize];
    formatListCost(cost, settings.block.tariffCommon, shell.currencySymbol, currencySymbolDrawnLength(), text,
                   sizeof text);
    setCell(list, row, column, text);
}

// One row: the period, its connections, time and cost, and the forecast on the current period's row.
void insertHistoryRow(const HistoryView& view, int index, const HistoryRow& row)
{
    char text[kListTextSize];
    formatPeriodLabel(row.period, billingStartDay(), text, sizeof text);
    setCell(view.list, index, 0, text);
    std::snprintf(text, sizeof text, "%d", static_cast<int>(row.connections));
    setCell(view.list, index, 1, text);
    formatDuration(row.seconds, text, sizeof text);
    setCell(view.list, index, 2, text);
    int column = 3;
    if (view.withCost)
        setCostCell(view.list, index, column++, row.cost);
    if (!row.current)
        return;
    formatDuration(row.forecastSeconds, text, sizeof text);
    setCell(view.list, index, column++, text);
    if (view.withCost)
        setCostCell(view.list, index, column, row.forecastCost);
}

void insertHistoryColumns(const HistoryView& view)
{
    const char* const headings[] = {"Period", "Connections", "Time", "Cost", "Forecast time", "Forecast cost"};
    int column = 0;
    for (int heading = 0; heading < 6; ++heading) {
        if (!view.withCost && (heading == 3 || heading == 5))
            continue;
        const int periodWidth = billingStartDay() == 1 ? kMonthColumnWidth : kPeriodColumnWidth;
        const int width = heading == 0 ? periodWidth : kDefaultColumnWidth;
        addColumn(view.list, column++, headings[heading], scaled(width, view.dpi));
    }
}

// Reads the whole log again and shows it; false, after a box, when the log could not be read whole.
bool refreshHistory(HWND window)
{
    HistoryView* view = viewOf(window);
    std::vector<ConnectionRecord> records;
    if (view == nullptr || !readWholeStoredLog(records)) {
        MessageBoxA(window,
                    "The log could not be read whole from Tq.dat, so the history is not shown.\n\n"
                    "Please try again in a moment.",
                    kHistoryTitle, MB_ICONEXCLAMATION);
        return false;
    }
    view->rows = historyOf(records, localSystemTime(), billingStartDay());
    view->chart = historyChartOf(view->rows, settings.block);
    SendMessageA(view->list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(view->list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < view->rows.size(); ++i)
        insertHistoryRow(*view, static_cast<int>(i), view->rows[i]);
    SendMessageA(view->list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(window, nullptr, TRUE);
    return true;
}

// The chart's place: the bottom of the client area, below the list.
RECT chartArea(HWND window, int dpi)
{
    RECT client{};
    GetClientRect(window, &client);
    client.top = std::max(client.top, client.bottom - scaled(kChartHeight, dpi));
    return client;
}

void saveHistory(HWND window)
{
    const HistoryView* view = viewOf(window);
    char path[MAX_PATH] = "history";
    OPENFILENAMEA dialog{};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = window;
    dialog.lpstrFilter = "CSV file (*.csv)\0*.csv\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = "Save history";
    dialog.lpstrDefExt = "csv";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    const bool chosen = runSaveDialog(&dialog) != FALSE;
    // The dialog may change the current folder, and the data file is opened relative to it.
    enterProgramFolder();
    if (!chosen || view == nullptr)
        return;
    if (!writeCsvFile(path, historyCsv(view->rows, billingStartDay(), csvCostStyle()))) {
        char text[MAX_PATH + 96];
        std::snprintf(text, sizeof text, "The file could not be written:\n%s\n\nNothing was saved.", path);
        MessageBoxA(window, text, "Save history", MB_ICONEXCLAMATION);
    }
}

LRESULT onCreate(HWND window)
{
    auto* view = new HistoryView{};
    const HDC screen = GetDC(nullptr);
    view->dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    view->withCost = settings.block.calculateCost != 0;
    // Control identifier 0: nothing addresses the list by identifier.
    view->list = CreateWindowExA(0, WC_LISTVIEWA, "",
                                 WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER, 0,
                                 0, 0, 0, window, nullptr, shell.instance, nullptr);
    SendMessageA(view->list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    insertHistoryColumns(*view);
    return 0;
}

LRESULT onSize(HWND window, int clientWidth, int clientHeight)
{
    const HistoryView* view = viewOf(window);
    if (view == nullptr)
        return 0;
    const int margin = scaled(kMargin, view->dpi);
    const int listHeight = std::max(0, clientHeight - scaled(kChartHeight, view->dpi) - margin);
    MoveWindow(view->list, margin, margin, std::max(0, clientWidth - 2 * margin), listHeight, TRUE);
    return 0;
}

LRESULT onPaint(HWND window)
{
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    const HistoryView* view = viewOf(window);
    if (view != nullptr)
        drawHistoryChart(dc, chartArea(window, view->dpi), view->chart, view->dpi);
    EndPaint(window, &paint);
    return 0;
}

LRESULT onCommand(HWND window, WORD command)
{
    switch (command) {
    case IDC_HISTORY_SAVE: saveHistory(window); break;
    case IDC_HISTORY_CLOSE: DestroyWindow(window); break;
    }
    return 0;
}

LRESULT onNcDestroy(HWND window)
{
    delete viewOf(window);
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    return 0;
}

// The open history window of this process, or nullptr.
HWND openHistoryWindow()
{
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, kHistoryClassName, nullptr)) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId())
            return window;
    }
    return nullptr;
}

bool registerHistoryClass()
{
    WNDCLASSA existing{};
    if (GetClassInfoA(shell.instance, kHistoryClassName, &existing))
        return true;
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = historyWindowProc;
    windowClass.hInstance = shell.instance;
    windowClass.hIcon = LoadIconA(shell.instance, MAKEINTRESOURCEA(IDI_DETAILS));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kHistoryClassName;
    return RegisterClassA(&windowClass) != 0;
}

} // namespace

HistoryChart historyChartOf(const std::vector<HistoryRow>& rows, const SettingsBlock& block)
{
    HistoryChart chart{};
    chart.cost = block.calculateCost != 0;
    chart.tariffCommon = block.tariffCommon;
    const auto current = std::find_if(rows.begin(), rows.end(), [](const HistoryRow& row) { return row.current; });
    chart.lastPeriod = current != rows.end() ? current->period : 0;
    const HistoryFigure figure = chart.cost ? HistoryFigure::Cost : HistoryFigure::Seconds;
    chart.values = periodFigures(rows, chart.lastPeriod, kChartPeriods, figure);
    double forecast = 0.0;
    if (current != rows.end())
        forecast = chart.cost ? current->forecastCost : current->forecastSeconds;
    chart.forecast = forecast;
    const bool warned = block.warningsEnabled != 0;
    if (chart.cost && warned && block.costWarning && block.costWarnPerMonth)
        chart.limit = block.costLimitPerMonth;
    const Hms& limit = block.timeLimitPerMonth;
    if (!chart.cost && warned && block.timeWarning && block.timeWarnPerMonth)
        chart.limit = hmsToSeconds(limit.hours, limit.minutes, limit.seconds);
    if (!chart.cost) {
        for (double& value : chart.values)
            value /= 3600.0;
        chart.forecast /= 3600.0;
        chart.limit /= 3600.0;
    }
    return chart;
}

void drawHistoryChart(HDC dc, const RECT& area, const HistoryChart& chart, int dpi)
{
    double largest = std::max(chart.forecast, chart.limit);
    for (const double value : chart.values)
        largest = std::max(largest, value);
    const double top = chartCeiling(largest);

    const HBRUSH ground = CreateSolidBrush(kChartBackground);
    const HBRUSH bars = CreateSolidBrush(kChartBarColour);
    const HBRUSH warning = CreateSolidBrush(kChartWarningColour);
    const HPEN axisPen = CreatePen(PS_SOLID, 1, kChartAxisColour);
    const HPEN forecastPen = CreatePen(PS_DOT, 1, kChartBarColour);
    const HPEN limitPen = CreatePen(PS_SOLID, std::max(1, scaled(2, dpi)), kChartWarningColour);
    const HFONT font = createGuiFont(dc, -scaled(kTextHeight, dpi), FW_NORMAL);

    FillRect(dc, &area, ground);
    const HGDIOBJ oldFont = SelectObject(dc, font);
    const HGDIOBJ oldPen = SelectObject(dc, axisPen);
    const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, RGB(0, 0, 0));

    const RECT plot = plotArea(dc, area, chart, top, dpi);
    if (plot.right > plot.left && plot.bottom > plot.top) {
        drawScale(dc, area, plot, chart, top, dpi);
        drawBars(dc, plot, chart, top, bars, warning, dpi);
        SelectObject(dc, forecastPen);
        drawForecast(dc, plot, chart, top);
        if (chart.limit > 0.0) {
            SelectObject(dc, limitPen);
            drawHorizontal(dc, plot.left, plot.right, plot.bottom - barHeight(chart.limit, top, plot.bottom - plot.top));
        }
    }

    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    DeleteObject(limitPen);
    DeleteObject(forecastPen);
    DeleteObject(axisPen);
    DeleteObject(warning);
    DeleteObject(bars);
    DeleteObject(ground);
}

void openHistory()
{
    if (const HWND open = openHistoryWindow()) {
        refreshHistory(open);
        SetForegroundWindow(open);
        return;
    }
    if (!loadCommonControls(details.window) || !registerHistoryClass())
        return;
    const HMENU menu = LoadMenuA(shell.instance, MAKEINTRESOURCEA(IDM_HISTORY));
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const HWND window = CreateWindowExA(0, kHistoryClassName, kHistoryTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                        CW_USEDEFAULT, scaled(kWindowWidth, dpi), scaled(kWindowHeight, dpi), nullptr,
                                        menu, shell.instance, nullptr);
    if (window == nullptr) {
        DestroyMenu(menu);
        return;
    }
    if (!refreshHistory(window)) {
        DestroyWindow(window);
        return;
    }
    ShowWindow(window, SW_SHOW);
}

LRESULT CALLBACK historyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return onCreate(window);
    case WM_SIZE: return onSize(window, LOWORD(lParam), HIWORD(lParam));
    case WM_PAINT: return onPaint(window);
    case WM_COMMAND: return onCommand(window, LOWORD(wParam));
    case WM_NCDESTROY: return onNcDestroy(window);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
