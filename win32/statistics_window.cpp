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
#include "win32/dpi.h"
#include "win32/program_records.h"
#include "win32/store_alerts.h"

namespace {

// The table at the default DPI: four rows 20 pixels apart, the first row's figures at 30.
constexpr int kRows = kStatisticsRows, kRowPitch = 20, kFigureTop = 30;
// The two rows whose figures are watched by the limits.
constexpr int kCurrentConnectionRow = 0, kCurrentMonthRow = 2;
// Where the time and the cost figures are centred, and where their cells begin.
constexpr int kTimeCentre = 180, kCostCentre = 280, kTimeCellLeft = 140, kCostCellLeft = 240;

// Figure colours: the normal one, and the one of a figure above its limit.
constexpr COLORREF kFigureColour = RGB(0, 0, 150);
constexpr COLORREF kWarningColour = RGB(200, 0, 0);

const char* const kRowLabels[kRows] = {"Current connection:", "Last connection:", "Current month:", "Last month:"};
const char* const kColumnHeaders[kStatisticsColumns] = {"Time", "Cost"};
const char kConnectedText[] = "Connected...";
const char kNotConnectedText[] = "No connection";

// The window's fonts, kept with it for its DPI: headers and figures, labels and symbols, the status line.
enum StatisticsFont { BoldFont, NormalFont, StatusFont, kStatisticsFontCount };
const WindowFontRecipe kStatisticsFonts[kStatisticsFontCount] = {
    {12, 0, FW_BOLD}, {12, 0, FW_NORMAL}, {10, 0, FW_NORMAL}};

// What one drawing is made for: the DPI and the fonts at it.
struct Look {
    UINT dpi;                          // every measure below is scaled from the default DPI to this one
    HFONT fonts[kStatisticsFontCount]; // in the order of StatisticsFont
    int px(int pixels) const { return scaled(pixels, dpi); }
};

// The look of a window with its record; a picture without one is drawn at the default DPI with fonts made for
// it, which the caller frees with freeLook.
Look lookOf(HWND window)
{
    Look look{kDefaultDpi, {}};
    const WindowScale* scale = window != nullptr ? windowScaleOf(window) : nullptr;
    if (scale != nullptr && scale->fontCount == kStatisticsFontCount) {
        look.dpi = scale->dpi;
        for (int i = 0; i < kStatisticsFontCount; ++i)
            look.fonts[i] = scale->fonts[i];
        return look;
    }
    HDC screen = GetDC(nullptr);
    for (int i = 0; i < kStatisticsFontCount; ++i)
        look.fonts[i] = createGuiFont(screen, kStatisticsFonts[i].height, kStatisticsFonts[i].weight);
    ReleaseDC(nullptr, screen);
    return look;
}

void freeLook(HWND window, const Look& look)
{
    const WindowScale* scale = window != nullptr ? windowScaleOf(window) : nullptr;
    if (scale != nullptr && scale->fontCount == kStatisticsFontCount)
        return;
    for (HFONT font : look.fonts)
        DeleteObject(font);
}

// The frame's three pens and the panel's brush, alive for one full paint.
struct FrameTools {
    HPEN highlight;  // COLOR_BTNHIGHLIGHT: lit edges
    HPEN dark;       // COLOR_3DDKSHADOW: panel and cell outlines
    HPEN shadow;     // COLOR_BTNSHADOW: shaded edges of the status boxes
    HBRUSH workspace; // COLOR_APPWORKSPACE: inside of the panel
};

int textLength(const char* text) { return lstrlenA(text); }

// The sunken panel that holds the table: outline, then its lit right and bottom edges.
void drawPanel(HDC dc, const RECT& client, const FrameTools& tools, const Look& look)
{
    SelectObject(dc, tools.workspace);
    SelectObject(dc, tools.dark);
    Rectangle(dc, client.left + look.px(5), 0, client.right - look.px(4), client.bottom - look.px(25));
    SelectObject(dc, tools.highlight);
    MoveToEx(dc, client.right - look.px(5), 0, nullptr);
    LineTo(dc, client.right - look.px(5), client.bottom - look.px(26));
    LineTo(dc, client.left + look.px(5), client.bottom - look.px(26));
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
void drawStatusBoxes(HDC dc, const RECT& client, const FrameTools& tools, const Look& look)
{
    const int l = client.left;
    const int b = client.bottom;
    const int x5 = l + look.px(5), x20 = l + look.px(20), x23 = l + look.px(23), x140 = l + look.px(140);
    const int y5 = b - look.px(5), y20 = b - look.px(20);
    // The icon's box is drawn from its lower left corner, the text's from its upper right one.
    const POINT iconBox[] = {{x5, y5}, {x5, y20}, {x20, y20}, {x20, y5}, {x5, y5}};
    drawTwoPenBox(dc, iconBox, tools.shadow, tools.highlight);
    const POINT textBox[] = {{x140, y20}, {x140, y5}, {x23, y5}, {x23, y20}, {x140, y20}};
    drawTwoPenBox(dc, textBox, tools.highlight, tools.shadow);
}

// Raised lettering: every shadow one pixel down and right first, then every text on top.
void drawEmbossed(HDC dc, const int* xs, const int* ys, const char* const* texts, const int* lengths, int count,
                  const Look& look)
{
    const int offset = look.px(1);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    for (int i = 0; i < count; ++i)
        TextOutA(dc, xs[i] + offset, ys[i] + offset, texts[i], lengths[i]);
    SetTextColor(dc, GetSysColor(COLOR_WINDOW));
    for (int i = 0; i < count; ++i)
        TextOutA(dc, xs[i], ys[i], texts[i], lengths[i]);
}

void drawHeaders(HDC dc, const Look& look)
{
    const int xs[] = {look.px(kTimeCentre), look.px(kCostCentre)};
    const int ys[] = {look.px(5), look.px(5)};
    const int lengths[] = {4, 4};
    SelectObject(dc, look.fonts[BoldFont]);
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    drawEmbossed(dc, xs, ys, kColumnHeaders, lengths, 2, look);
}

void drawRowLabels(HDC dc, const Look& look)
{
    int xs[kRows], ys[kRows], lengths[kRows];
    for (int i = 0; i < kRows; ++i) {
        xs[i] = look.px(120);
        ys[i] = look.px(kFigureTop + kRowPitch * i);
        lengths[i] = textLength(kRowLabels[i]);
    }
    SelectObject(dc, look.fonts[NormalFont]);
    SetTextAlign(dc, TA_RIGHT | TA_TOP);
    drawEmbossed(dc, xs, ys, kRowLabels, lengths, kRows, look);
}

void drawCurrencySymbols(HDC dc, const char* symbol, int symbolLength, const Look& look)
{
    int xs[kRows], ys[kRows], lengths[kRows];
    const char* texts[kRows];
    for (int i = 0; i < kRows; ++i) {
        xs[i] = look.px(330);
        ys[i] = look.px(kFigureTop + kRowPitch * i);
        texts[i] = symbol;
        lengths[i] = symbolLength;
    }
    SelectObject(dc, look.fonts[NormalFont]);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    drawEmbossed(dc, xs, ys, texts, lengths, kRows, look);
}

// The outline of row `row`'s cell that begins at `left`: 80 by 17 pixels at the default DPI.
RECT cellOutline(int left, int row, const Look& look)
{
    const RECT outline = {look.px(left), look.px(28 + kRowPitch * row), look.px(left + 80),
                          look.px(45 + kRowPitch * row)};
    return outline;
}

// The inside of a cell: its outline less the pen's width on every side.
RECT cellInside(int left, int row, const Look& look)
{
    const int pen = look.px(1);
    RECT inside = cellOutline(left, row, look);
    InflateRect(&inside, -pen, -pen);
    return inside;
}

// The empty cells of one column, outlined with the dark pen.
void drawCells(HDC dc, int left, HPEN dark, HBRUSH fill, const Look& look)
{
    SelectObject(dc, fill);
    SelectObject(dc, dark);
    for (int i = 0; i < kRows; ++i) {
        const RECT outline = cellOutline(left, i, look);
        Rectangle(dc, outline.left, outline.top, outline.right, outline.bottom);
    }
}

// One figure over an opaque white fill of its cell, which also erases the figure it replaces.
void drawFigure(HDC dc, const RECT& inside, int centre, int row, const char* text, int length, bool warn,
                const Look& look)
{
    SetTextColor(dc, warn ? kWarningColour : kFigureColour);
    ExtTextOutA(dc, look.px(centre), look.px(kFigureTop + kRowPitch * row), ETO_OPAQUE | ETO_CLIPPED, &inside, text,
                length, nullptr);
}

void drawTime(HDC dc, int row, double seconds, bool warn, const Look& look)
{
    char text[kDurationTextSize];
    const int length = statisticsFigureText(kTimeColumn, seconds, 0, text, sizeof text);
    drawFigure(dc, cellInside(kTimeCellLeft, row, look), kTimeCentre, row, text, length, warn, look);
}

void drawCost(HDC dc, int row, double cost, double tariffCommon, bool warn, const Look& look)
{
    char text[kCostTextSize];
    const int length = statisticsFigureText(kCostColumn, cost, tariffCommon, text, sizeof text);
    drawFigure(dc, cellInside(kCostCellLeft, row, look), kCostCentre, row, text, length, warn, look);
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

// The status line's two places: the icon's square and the text's box.
RECT statusIconPlace(const RECT& client, const Look& look)
{
    const int size = look.px(10);
    const RECT place = {client.left + look.px(8), client.bottom - look.px(17), client.left + look.px(8) + size,
                        client.bottom - look.px(17) + size};
    return place;
}

RECT statusTextBox(const RECT& client, const Look& look)
{
    const RECT box = {client.left + look.px(25), client.bottom - look.px(19), client.left + look.px(140),
                      client.bottom - look.px(6)};
    return box;
}

// Icon and text of the status line; the box is filled first so that the longer old text goes.
void drawStatusLine(HDC dc, const RECT& client, bool connected, const Look& look)
{
    HGDIOBJ oldFont = SelectObject(dc, look.fonts[StatusFont]);
    SetTextAlign(dc, TA_LEFT | TA_TOP);

    const RECT iconPlace = statusIconPlace(client, look);
    const int size = iconPlace.right - iconPlace.left;
    const int iconId = connected ? IDI_CONNECTED : IDI_DISCONNECTED;
    HICON icon = static_cast<HICON>(
        LoadImageA(shell.instance, MAKEINTRESOURCEA(iconId), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    if (icon != nullptr) {
        DrawIconEx(dc, iconPlace.left, iconPlace.top, icon, size, size, 0, nullptr, DI_NORMAL);
        DestroyIcon(icon);
    }

    const RECT box = statusTextBox(client, look);
    FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
    const char* text = statisticsStatusText(connected);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    ExtTextOutA(dc, box.left + look.px(1), box.top + look.px(1), ETO_CLIPPED, &box, text, textLength(text), nullptr);

    SelectObject(dc, oldFont);
}

void drawFrame(HDC dc, const RECT& client, const SettingsBlock& block, const char* symbol, int symbolLength,
               const Look& look)
{
    const int pen = look.px(1);
    const FrameTools tools = {CreatePen(PS_SOLID, pen, GetSysColor(COLOR_BTNHIGHLIGHT)),
                              CreatePen(PS_SOLID, pen, GetSysColor(COLOR_3DDKSHADOW)),
                              CreatePen(PS_SOLID, pen, GetSysColor(COLOR_BTNSHADOW)),
                              CreateSolidBrush(GetSysColor(COLOR_APPWORKSPACE))};
    HGDIOBJ oldPen = SelectObject(dc, tools.dark);
    HGDIOBJ oldBrush = SelectObject(dc, tools.workspace);
    HGDIOBJ oldFont = SelectObject(dc, look.fonts[NormalFont]);
    SetBkMode(dc, TRANSPARENT);

    drawPanel(dc, client, tools, look);
    drawStatusBoxes(dc, client, tools, look);
    drawHeaders(dc, look);
    drawRowLabels(dc, look);
    drawCells(dc, kTimeCellLeft, tools.dark, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), look);
    const bool withCost = block.calculateCost != 0;
    if (withCost)
        drawCurrencySymbols(dc, symbol, symbolLength, look);
    drawCells(dc, kCostCellLeft, tools.dark, static_cast<HBRUSH>(GetStockObject(withCost ? WHITE_BRUSH : LTGRAY_BRUSH)),
              look);

    SelectObject(dc, oldFont);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(tools.workspace);
    DeleteObject(tools.highlight);
    DeleteObject(tools.dark);
    DeleteObject(tools.shadow);
}

// Each pass draws all its times, then all its costs; the idle pass grays row 0 in each column first.
void drawFigures(HDC dc, const RECT& client, FigurePass pass, const StatisticsFigures& figures,
                 const SettingsBlock& block, const Look& look)
{
    // Transparent, so that the status text leaves its box's fill; the figures fill their cells white themselves.
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, RGB(255, 255, 255));
    const bool idle = pass == FigurePass::Idle;
    if (pass != FigurePass::LiveUpdate)
        drawStatusLine(dc, client, !idle, look);

    HGDIOBJ oldFont = SelectObject(dc, look.fonts[BoldFont]);
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    const PassRows order = rowsOf(pass);
    if (idle)
        drawGrayCell(dc, cellInside(kTimeCellLeft, kCurrentConnectionRow, look));
    for (int i = 0; i < order.count; ++i) {
        const int row = order.rows[i];
        drawTime(dc, row, figures.seconds[row], timeWarns(block, row, figures.seconds[row]), look);
    }
    // Without cost calculation the frame has grayed the whole cost column.
    if (block.calculateCost) {
        if (idle)
            drawGrayCell(dc, cellInside(kCostCellLeft, kCurrentConnectionRow, look));
        for (int i = 0; i < order.count; ++i) {
            const int row = order.rows[i];
            drawCost(dc, row, figures.costs[row], block.tariffCommon, costWarns(block, row, figures.costs[row]),
                     look);
        }
    }
    SelectObject(dc, oldFont);
}

// What a pass changes is invalidated: the paint draws every pixel of it again, so the per-second update erases
// nothing and does not flicker. The change is painted at once, as the monitor's updates are meant to show.
void invalidatePass(FigurePass pass)
{
    HWND window = shell.statisticsWindow;
    if (window == nullptr)
        return;
    RECT client;
    GetClientRect(window, &client);
    const Look look = {paintDpiOf(window), {}};
    const PassRows order = rowsOf(pass);
    for (int i = 0; i < order.count; ++i) {
        const RECT time = cellInside(kTimeCellLeft, order.rows[i], look);
        const RECT cost = cellInside(kCostCellLeft, order.rows[i], look);
        InvalidateRect(window, &time, FALSE);
        InvalidateRect(window, &cost, FALSE);
    }
    if (pass != FigurePass::LiveUpdate) {
        // Row 0 turns gray or shows figures, and the status line changes with the state.
        const RECT time = cellInside(kTimeCellLeft, kCurrentConnectionRow, look);
        const RECT cost = cellInside(kCostCellLeft, kCurrentConnectionRow, look);
        // The icon is drawn over what its square holds: erased, the other state's icon leaves no pixels there.
        const RECT icon = statusIconPlace(client, look);
        const RECT text = statusTextBox(client, look);
        InvalidateRect(window, &time, FALSE);
        InvalidateRect(window, &cost, FALSE);
        InvalidateRect(window, &icon, TRUE);
        InvalidateRect(window, &text, FALSE);
    }
    UpdateWindow(window);
}

// The window is known before the start-up sequence, so a repaint it asks for reaches this window. Its fonts are
// made for the DPI it was created at.
void onCreate(HWND window)
{
    shell.statisticsWindow = window;
    attachWindowScale(window, dpiOfWindow(window), kStatisticsFonts, kStatisticsFontCount);
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

// The window's DPI for measures alone, without its fonts.
Look measuresOf(HWND window)
{
    const WindowScale* scale = window != nullptr ? windowScaleOf(window) : nullptr;
    return Look{scale != nullptr ? scale->dpi : kDefaultDpi, {}};
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
    case WM_NCDESTROY: detachWindowScale(window); break;
    case WM_PAINT: paintStatistics(window); break;
    case WM_TIMER: onTick(wParam); break;
    case WM_SYSCOMMAND: if (hideOnClose(wParam)) return 0; break;
    case WM_COMMAND: runCommand(wParam); break;
    case WM_TRAYNOTIFY: onTrayNotify(lParam); break;
    case WM_STORENOTICE: showStoreNotices(); break;
    case WM_GETOBJECT: return answerFiguresObject(window, FigureSet::Statistics, wParam, lParam);
    case kWmDpiChanged: applyDpiChange(window, wParam, lParam); break;
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

int statisticsWindowWidth(UINT dpi) { return scaled(kStatisticsWidth, dpi); }

int statisticsWindowHeight(UINT dpi)
{
    return metricForDpi(SM_CYMENU, dpi) + scaled(kStatisticsHeightBelowMenu, dpi);
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
    const Look look = lookOf(nullptr);
    drawFrame(dc, client, block, symbol, symbolLength, look);
    freeLook(nullptr, look);
}

void drawStatisticsFigures(HDC dc, const RECT& client, FigurePass pass, const StatisticsFigures& figures,
                           const SettingsBlock& block)
{
    const Look look = lookOf(nullptr);
    drawFigures(dc, client, pass, figures, block, look);
    freeLook(nullptr, look);
}

// One device context for the whole paint: the frame, then the figures of the state the connection is in.
void paintStatistics(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const Look look = lookOf(window);
    drawFrame(dc, client, settings.block, shell.currencySymbol, currencySymbolDrawnLength(), look);
    // A connection that is open but not in the connected state shows the finished figures only.
    const bool connected = statisticsShowsConnection();
    const FigurePass pass = connected ? FigurePass::Connected : FigurePass::Idle;
    drawFigures(dc, client, pass, statisticsFiguresNow(connected), settings.block, look);
    freeLook(window, look);
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
    return cellInside(column == kCostColumn ? kCostCellLeft : kTimeCellLeft, row, measuresOf(shell.statisticsWindow));
}

RECT statisticsStatusBox(const RECT& client) { return statusTextBox(client, measuresOf(shell.statisticsWindow)); }

void paintConnected(bool full) { invalidatePass(full ? FigurePass::Connected : FigurePass::LiveUpdate); }

void paintNotConnected() { invalidatePass(FigurePass::Idle); }

void invalidateStatistics()
{
    if (shell.statisticsWindow != nullptr)
        InvalidateRect(shell.statisticsWindow, nullptr, TRUE);
}
