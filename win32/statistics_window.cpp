// The statistics window: a thin dispatch of its messages, showing and hiding it, and its painting: panel,
// table, figures and status line.
#include "win32/statistics_window.h"

#include "core/monitor.h"
#include "core/display.h"
#include "core/settings.h"
#include "core/state.h"
#include "core/text.h"
#include "core/warning.h"
#include "res/resource.h"
#include "win32/accessible_figures.h"
#include "win32/program_records.h"
#include "win32/store_alerts.h"

namespace {

// The table: four rows 20 pixels apart, the first row's figures at 30.
constexpr int kRows = kStatisticsRows, kRowPitch = 20, kFigureTop = 30;
// The two rows whose figures are watched by the limits.
constexpr int kCurrentConnectionRow = 0, kCurrentMonthRow = 2;
// Where the time and the cost figures are centred.
constexpr int kTimeCentre = 180, kCostCentre = 280;

// Figure colours: the normal one, and the one of a figure above its limit.
constexpr COLORREF kFigureColour = RGB(0, 0, 150);
constexpr COLORREF kWarningColour = RGB(200, 0, 0);

const char* const kRowLabels[kRows] = {"Current connection:", "Last connection:", "Current month:", "Last month:"};
const char* const kColumnHeaders[kStatisticsColumns] = {"Time", "Cost"};
const char kConnectedText[] = "Connected...";
const char kNotConnectedText[] = "No connection";

// The frame's three pens and the panel's brush, alive for one full paint.
struct FrameTools {
    HPEN highlight;  // COLOR_BTNHIGHLIGHT: lit edges
    HPEN dark;       // COLOR_3DDKSHADOW: panel and cell outlines
    HPEN shadow;     // COLOR_BTNSHADOW: shaded edges of the status boxes
    HBRUSH workspace; // COLOR_APPWORKSPACE: inside of the panel
};

int textLength(const char* text) { return lstrlenA(text); }

// The sunken panel that holds the table: outline, then its lit right and bottom edges.
void drawPanel(HDC dc, const RECT& client, const FrameTools& tools)
{
    SelectObject(dc, tools.workspace);
    SelectObject(dc, tools.dark);
    Rectangle(dc, client.left + 5, 0, client.right - 4, client.bottom - 25);
    SelectObject(dc, tools.highlight);
    MoveToEx(dc, client.right - 5, 0, nullptr);
    LineTo(dc, client.right - 5, client.bottom - 26);
    LineTo(dc, client.left + 5, client.bottom - 26);
}

// A box's four sides from its first corner on: two sides in the first pen, the other two in the second, each
// corner taking the pen of the side that starts there.
void drawTwoPenBox(HDC dc, const POINT (&corners)[5], HPEN first, HPEN second)
{
    SelectObject(dc, first);
    MoveToEx(dc, corners[0].x, corners[0].y, nullptr);
    for (int side = 1; side < 5; ++side) {
        if (side == 3)
            SelectObject(dc, second);
        LineTo(dc, corners[side].x, corners[side].y);
    }
}

// The two sunken boxes of the status line: the icon's and the text's.
void drawStatusBoxes(HDC dc, const RECT& client, const FrameTools& tools)
{
    const int l = client.left;
    const int b = client.bottom;
    // The icon's box is drawn from its lower left corner, the text's from its upper right one.
    const POINT iconBox[] = {{l + 5, b - 5}, {l + 5, b - 20}, {l + 20, b - 20}, {l + 20, b - 5}, {l + 5, b - 5}};
    drawTwoPenBox(dc, iconBox, tools.shadow, tools.highlight);
    const POINT textBox[] = {{l + 140, b - 20}, {l + 140, b - 5}, {l + 23, b - 5}, {l + 23, b - 20}, {l + 140, b - 20}};
    drawTwoPenBox(dc, textBox, tools.highlight, tools.shadow);
}

// Raised lettering: every shadow one pixel down and right first, then every text on top.
void drawEmbossed(HDC dc, const int* xs, const int* ys, const char* const* texts, const int* lengths, int count)
{
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    for (int i = 0; i < count; ++i)
        TextOutA(dc, xs[i] + 1, ys[i] + 1, texts[i], lengths[i]);
    SetTextColor(dc, GetSysColor(COLOR_WINDOW));
    for (int i = 0; i < count; ++i)
        TextOutA(dc, xs[i], ys[i], texts[i], lengths[i]);
}

void drawHeaders(HDC dc, HFONT headerFont)
{
    const int xs[] = {kTimeCentre, kCostCentre};
    const int ys[] = {5, 5};
    const int lengths[] = {4, 4};
    SelectObject(dc, headerFont);
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    drawEmbossed(dc, xs, ys, kColumnHeaders, lengths, 2);
}

void drawRowLabels(HDC dc, HFONT labelFont)
{
    int xs[kRows], ys[kRows], lengths[kRows];
    for (int i = 0; i < kRows; ++i) {
        xs[i] = 120;
        ys[i] = kFigureTop + kRowPitch * i;
        lengths[i] = textLength(kRowLabels[i]);
    }
    SelectObject(dc, labelFont);
    SetTextAlign(dc, TA_RIGHT | TA_TOP);
    drawEmbossed(dc, xs, ys, kRowLabels, lengths, kRows);
}

void drawCurrencySymbols(HDC dc, HFONT labelFont, const char* symbol, int symbolLength)
{
    int xs[kRows], ys[kRows], lengths[kRows];
    const char* texts[kRows];
    for (int i = 0; i < kRows; ++i) {
        xs[i] = 330;
        ys[i] = kFigureTop + kRowPitch * i;
        texts[i] = symbol;
        lengths[i] = symbolLength;
    }
    SelectObject(dc, labelFont);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    drawEmbossed(dc, xs, ys, texts, lengths, kRows);
}

// The empty cells of one column, outlined with the dark pen.
void drawCells(HDC dc, int left, HPEN dark, HBRUSH fill)
{
    SelectObject(dc, fill);
    SelectObject(dc, dark);
    for (int i = 0; i < kRows; ++i)
        Rectangle(dc, left, 28 + kRowPitch * i, left + 80, 45 + kRowPitch * i);
}

// Where row `row` draws its time and cost figures: the insides of its two cells.
RECT timeCellInside(int row)
{
    const RECT inside = {141, 29 + kRowPitch * row, 219, 44 + kRowPitch * row};
    return inside;
}

RECT costCellInside(int row)
{
    const RECT inside = {241, 29 + kRowPitch * row, 319, 44 + kRowPitch * row};
    return inside;
}

// One figure over an opaque white fill of its cell, which also erases the figure it replaces.
void drawFigure(HDC dc, const RECT& inside, int centre, int row, const char* text, int length, bool warn)
{
    SetTextColor(dc, warn ? kWarningColour : kFigureColour);
    ExtTextOutA(dc, centre, kFigureTop + kRowPitch * row, ETO_OPAQUE | ETO_CLIPPED, &inside, text, length, nullptr);
}

void drawTime(HDC dc, int row, double seconds, bool warn)
{
    char text[kDurationTextSize];
    const int length = statisticsFigureText(kTimeColumn, seconds, 0, text, sizeof text);
    drawFigure(dc, timeCellInside(row), kTimeCentre, row, text, length, warn);
}

void drawCost(HDC dc, int row, double cost, double tariffCommon, bool warn)
{
    char text[kCostTextSize];
    const int length = statisticsFigureText(kCostColumn, cost, tariffCommon, text, sizeof text);
    drawFigure(dc, costCellInside(row), kCostCentre, row, text, length, warn);
}

// Only the current connection's and the current month's figures are watched; the last ones never warn.
bool timeWarns(const SettingsBlock& block, int row, double seconds)
{
    if (row == kCurrentConnectionRow)
        return aboveLimit(block, WatchedFigure::ConnectionTime, seconds);
    return row == kCurrentMonthRow && aboveLimit(block, WatchedFigure::MonthTime, seconds);
}

bool costWarns(const SettingsBlock& block, int row, double cost)
{
    if (row == kCurrentConnectionRow)
        return aboveLimit(block, WatchedFigure::ConnectionCost, cost);
    return row == kCurrentMonthRow && aboveLimit(block, WatchedFigure::MonthCost, cost);
}

void drawGrayCell(HDC dc, const RECT& inside)
{
    FillRect(dc, &inside, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
}

// The rows a pass draws, in its drawing order: while connected the rows a connection changes come first;
// idle, top to bottom.
struct PassRows {
    int rows[kRows];
    int count;
};

PassRows rowsOf(FigurePass pass)
{
    switch (pass) {
    case FigurePass::Idle: return {{1, 2, 3}, 3};
    case FigurePass::Connected: return {{0, 2, 1, 3}, 4};
    case FigurePass::LiveUpdate: break;
    }
    return {{0, 2}, 2};
}

// Icon and text of the status line; the box is filled first so that the longer old text goes.
void drawStatusLine(HDC dc, const RECT& client, bool connected)
{
    const int l = client.left;
    const int b = client.bottom;
    HFONT font = createGuiFont(dc, 10, FW_NORMAL);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextAlign(dc, TA_LEFT | TA_TOP);

    const int iconId = connected ? IDI_CONNECTED : IDI_DISCONNECTED;
    HICON icon =
        static_cast<HICON>(LoadImageA(shell.instance, MAKEINTRESOURCEA(iconId), IMAGE_ICON, 10, 10, LR_DEFAULTCOLOR));
    if (icon != nullptr) {
        DrawIconEx(dc, l + 8, b - 17, icon, 10, 10, 0, nullptr, DI_NORMAL);
        DestroyIcon(icon);
    }

    const RECT box = statisticsStatusBox(client);
    FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
    const char* text = statisticsStatusText(connected);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    ExtTextOutA(dc, l + 26, b - 18, ETO_CLIPPED, &box, text, textLength(text), nullptr);

    SelectObject(dc, oldFont);
    DeleteObject(font);
}

// The figures of one pass, drawn through the statistics window's own device context, which it may do hidden
// too; the next WM_PAINT redraws everything anyway.
void paintFigures(FigurePass pass)
{
    if (shell.statisticsWindow == nullptr)
        return; // GetDC of no window would draw on the whole screen
    RECT client;
    GetClientRect(shell.statisticsWindow, &client);
    HDC dc = GetDC(shell.statisticsWindow);
    drawStatisticsFigures(dc, client, pass, statisticsFiguresNow(pass != FigurePass::Idle), settings.block);
    ReleaseDC(shell.statisticsWindow, dc);
}

// The window is known before the start-up sequence, so a repaint it asks for reaches this window.
void onCreate(HWND window)
{
    shell.statisticsWindow = window;
    loadStartupState();
    SetTimer(window, kFastTimer, 50, nullptr);
    SetTimer(window, kSlowTimer, 1000, nullptr);
}

// What a tick changed is told to accessibility clients right after it.
void onTick(WPARAM timer)
{
    pollConnection(timer == kSlowTimer ? Tick::PollAndMonthCheck : Tick::Poll);
    announceFigureChanges();
}

// Clients of the window's accessible object keep only a disconnected one.
void onDestroy(HWND window)
{
    removeTrayIcon();
    releaseFiguresObject(window);
}

// Closing the window in any way only hides it; returns whether the system command was that.
bool hideOnClose(WPARAM wParam)
{
    if (wParam != SC_CLOSE)
        return false;
    hideStatistics();
    return true;
}

// Item states change only in the tray menu; the menu bar keeps its template states.
void setShowStatisticsItem(UINT state)
{
    EnableMenuItem(shell.trayMenu, IDC_TRAY_SHOW_STATISTICS, MF_BYCOMMAND | state);
}

} // namespace

// Every message but the close command also gets the default processing.
LRESULT CALLBACK statisticsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: onCreate(window); break;
    case WM_DESTROY: onDestroy(window); break;
    case WM_PAINT: paintStatistics(window); break;
    case WM_TIMER: onTick(wParam); break;
    case WM_SYSCOMMAND: if (hideOnClose(wParam)) return 0; break;
    case WM_COMMAND: runCommand(wParam); break;
    case WM_TRAYNOTIFY: onTrayNotify(lParam); break;
    case WM_STORENOTICE: showStoreNotices(); break;
    case WM_GETOBJECT: return answerFiguresObject(window, FigureSet::Statistics, wParam, lParam);
    default: if (isTaskbarCreated(message)) addTrayIcon(window); break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void showStatistics()
{
    ShowWindow(shell.statisticsWindow, SW_SHOW);
    setShowStatisticsItem(MF_GRAYED);
}

void hideStatistics()
{
    ShowWindow(shell.statisticsWindow, SW_HIDE);
    setShowStatisticsItem(MF_ENABLED);
}

StatisticsFigures statisticsFiguresNow(bool connected)
{
    const CounterBlock& totals = accounting.counterBlock;
    StatisticsFigures figures = {{0, totals.lastConnSeconds, totals.curMonthSeconds, totals.lastMonthSeconds},
                                 {0, totals.lastConnCost, totals.curMonthCost, totals.lastMonthCost}};
    if (connected) {
        figures.seconds[kCurrentConnectionRow] = accounting.liveConnection.curConnSeconds;
        figures.costs[kCurrentConnectionRow] = accounting.liveConnection.curConnCost;
        figures.seconds[kCurrentMonthRow] = currentMonthSecondsShown();
        figures.costs[kCurrentMonthRow] = currentMonthCostShown();
    }
    return figures;
}

void drawStatisticsFrame(HDC dc, const RECT& client, const SettingsBlock& block, const char* symbol,
                         int symbolLength)
{
    const FrameTools tools = {CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT)),
                              CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW)),
                              CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)),
                              CreateSolidBrush(GetSysColor(COLOR_APPWORKSPACE))};
    HFONT headerFont = createGuiFont(dc, 12, FW_BOLD);
    HFONT labelFont = createGuiFont(dc, 12, FW_NORMAL);
    HGDIOBJ oldPen = SelectObject(dc, tools.dark);
    HGDIOBJ oldBrush = SelectObject(dc, tools.workspace);
    HGDIOBJ oldFont = SelectObject(dc, labelFont);
    SetBkMode(dc, TRANSPARENT);

    drawPanel(dc, client, tools);
    drawStatusBoxes(dc, client, tools);
    drawHeaders(dc, headerFont);
    drawRowLabels(dc, labelFont);
    drawCells(dc, 140, tools.dark, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const bool withCost = block.calculateCost != 0;
    if (withCost)
        drawCurrencySymbols(dc, labelFont, symbol, symbolLength);
    drawCells(dc, 240, tools.dark, static_cast<HBRUSH>(GetStockObject(withCost ? WHITE_BRUSH : LTGRAY_BRUSH)));

    SelectObject(dc, oldFont);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(tools.workspace);
    DeleteObject(tools.highlight);
    DeleteObject(tools.dark);
    DeleteObject(tools.shadow);
    DeleteObject(headerFont);
    DeleteObject(labelFont);
}

// Each pass draws all its times, then all its costs; the idle pass grays row 0 in each column first.
void drawStatisticsFigures(HDC dc, const RECT& client, FigurePass pass, const StatisticsFigures& figures,
                           const SettingsBlock& block)
{
    // Transparent, so that the status text leaves its box's fill; the figures fill their cells white themselves.
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, RGB(255, 255, 255));
    const bool idle = pass == FigurePass::Idle;
    if (pass != FigurePass::LiveUpdate)
        drawStatusLine(dc, client, !idle);

    HFONT valueFont = createGuiFont(dc, 12, FW_BOLD);
    HGDIOBJ oldFont = SelectObject(dc, valueFont);
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    const PassRows order = rowsOf(pass);
    if (idle)
        drawGrayCell(dc, timeCellInside(kCurrentConnectionRow));
    for (int i = 0; i < order.count; ++i) {
        const int row = order.rows[i];
        drawTime(dc, row, figures.seconds[row], timeWarns(block, row, figures.seconds[row]));
    }
    // Without cost calculation the frame has grayed the whole cost column.
    if (block.calculateCost) {
        if (idle)
            drawGrayCell(dc, costCellInside(kCurrentConnectionRow));
        for (int i = 0; i < order.count; ++i) {
            const int row = order.rows[i];
            drawCost(dc, row, figures.costs[row], block.tariffCommon, costWarns(block, row, figures.costs[row]));
        }
    }

    SelectObject(dc, oldFont);
    DeleteObject(valueFont);
}

// The figures are drawn through a device context of their own, as the monitor draws them.
void paintStatistics(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    drawStatisticsFrame(dc, client, settings.block, shell.currencySymbol, currencySymbolDrawnLength());
    // A connection that is open but not in the connected state shows the finished figures only.
    if (statisticsShowsConnection())
        paintConnected(true);
    else
        paintNotConnected();
    EndPaint(window, &paint);
}

const char* statisticsRowLabel(int row) { return kRowLabels[row]; }

const char* statisticsColumnHeader(int column) { return kColumnHeaders[column]; }

const char* statisticsStatusText(bool connected) { return connected ? kConnectedText : kNotConnectedText; }

bool statisticsShowsConnection()
{
    return accounting.liveConnection.connected && accounting.liveConnection.lastRasState == kRasConnected;
}

int statisticsFigureText(int column, double value, double tariffCommon, char* text, size_t size)
{
    if (column == kCostColumn)
        return formatCost(value, tariffCommon, text, size);
    const int length = formatDuration(value, text, size);
    return length > kDurationDrawnLength ? kDurationDrawnLength : length;
}

bool statisticsFigureWarns(const SettingsBlock& block, int row, int column, double value)
{
    return column == kCostColumn ? costWarns(block, row, value) : timeWarns(block, row, value);
}

RECT statisticsCellInside(int row, int column)
{
    return column == kCostColumn ? costCellInside(row) : timeCellInside(row);
}

RECT statisticsStatusBox(const RECT& client)
{
    const RECT box = {client.left + 25, client.bottom - 19, client.left + 140, client.bottom - 6};
    return box;
}

void paintConnected(bool full) { paintFigures(full ? FigurePass::Connected : FigurePass::LiveUpdate); }

void paintNotConnected() { paintFigures(FigurePass::Idle); }

void invalidateStatistics()
{
    if (shell.statisticsWindow != nullptr)
        InvalidateRect(shell.statisticsWindow, nullptr, TRUE);
}
