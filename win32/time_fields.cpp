// Turns four edit boxes of the settings dialog into compound time fields.
#include "win32/time_fields.h"

#include <cstdlib>

#include "res/resource.h"
#include "win32/dpi.h"

namespace {

// A host holds at most three parts and two colons.
constexpr int kMaxHostParts = 3;
constexpr int kMaxHostChildren = 5;

// What one time field keeps, with its host (GWLP_USERDATA) from createTimeFields to the host's last message.
struct TimeFieldInfo {
    HWND parts[kMaxHostParts];             // the parts in the order of TimePartPlace
    int bounds[kMaxHostParts];             // the value at which each part is corrected while typing; 0 for none
    TimeSubFieldKind kinds[kMaxHostParts]; // each part's kind, which places it again at another DPI
    HWND colons[kMaxHostParts];            // the colon after each part, or null
    HFONT font;                            // the parts' font where the dialog's DPI is not the screen's, else null
    int count;                             // parts created so far
};

TimeFieldInfo* infoOf(HWND host)
{
    return reinterpret_cast<TimeFieldInfo*>(GetWindowLongPtrA(host, GWLP_USERDATA));
}

// The measures of a kind's sample text and of "000", in pixels.
struct PartMeasures {
    int sampleWidth;  // A
    int sampleHeight; // H
    int wideWidth;    // B
};

// Places inside the host: the part, and the colon after it (colonWidth 0 for none).
struct PartPlaces {
    int x;
    int width;
    int colonX;
    int colonWidth;
};

// DEFAULT_GUI_FONT is made for the screen's DPI: there the parts use it, elsewhere its like at the dialog's DPI.
HFONT partFont(const TimeFieldInfo* info)
{
    if (info != nullptr && info->font != nullptr)
        return info->font;
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HFONT fontForDpi(UINT dpi)
{
    const UINT screen = systemDpi();
    if (dpi == screen || dpi == 0)
        return nullptr;
    LOGFONTA font{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(screen));
    return CreateFontIndirectA(&font);
}

PartMeasures measureTexts(HWND dialog, TimeSubFieldKind kind, HFONT font)
{
    HDC dc = GetDC(dialog);
    HGDIOBJ oldFont = SelectObject(dc, font);
    const char* sample = kind == LimitHour ? "000" : "00";
    SIZE sampleSize{};
    GetTextExtentPoint32A(dc, sample, lstrlenA(sample), &sampleSize);
    SIZE wideSize{};
    GetTextExtentPoint32A(dc, "000", 3, &wideSize);
    SelectObject(dc, oldFont);
    ReleaseDC(dialog, dc);
    return PartMeasures{sampleSize.cx, sampleSize.cy, wideSize.cx};
}

// The gaps between parts and colons are pixels at the default DPI, scaled to the dialog's; the texts' measures
// already follow the font.
PartPlaces placesOf(TimeSubFieldKind kind, const PartMeasures& m, UINT dpi)
{
    const int a = m.sampleWidth;
    const int b = m.wideWidth;
    const int one = scaled(1, dpi), two = scaled(2, dpi), three = scaled(3, dpi);
    switch (kind) {
    case WindowHour:
        return PartPlaces{one, a + two, a + three, a / 2};
    case WindowMinute:
        return PartPlaces{a + a / 2 + one, a + two, 0, 0};
    case LimitHour:
        return PartPlaces{one, b + two, b + three, b / 2};
    case LimitMinute:
        return PartPlaces{b + a / 2 + one, a + two, b + a + a / 2 + three, a / 2};
    case LimitSecond:
        return PartPlaces{b + 2 * (a / 2) + a + one, a + two, 0, 0};
    }
    return PartPlaces{one, a + two, 0, 0};
}

// The value at which a part of the kind is corrected while typing; 0 for the unbounded hours of the limits.
int boundOfKind(TimeSubFieldKind kind)
{
    switch (kind) {
    case WindowHour: return 24;
    case LimitHour: return 0;
    case WindowMinute:
    case LimitMinute:
    case LimitSecond: return 60;
    }
    return 0;
}

int boundOf(HWND host, HWND part)
{
    const TimeFieldInfo* info = infoOf(host);
    for (int i = 0; info && i < info->count; ++i)
        if (info->parts[i] == part)
            return info->bounds[i];
    return 0;
}

LRESULT paintHost(HWND host)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(host, &paint);
    RECT client;
    GetClientRect(host, &client);
    FillRect(dc, &client, GetSysColorBrush(IsWindowEnabled(host) ? COLOR_WINDOW : COLOR_BTNFACE));
    EndPaint(host, &paint);
    return 0;
}

LRESULT enableTimeField(HWND host, WPARAM wParam, LPARAM lParam)
{
    HWND children[kMaxHostChildren];
    int count = 0;
    for (HWND child = GetWindow(host, GW_CHILD); child && count < kMaxHostChildren;
         child = GetWindow(child, GW_HWNDNEXT))
        children[count++] = child;
    EnableWindow(host, wParam ? TRUE : FALSE);
    for (int i = 0; i < count; ++i)
        ShowWindow(children[i], wParam ? SW_SHOW : SW_HIDE);
    InvalidateRect(host, nullptr, TRUE);
    return DefWindowProcA(host, WM_ENABLETIMEFIELD, wParam, lParam);
}

// A part that reached its bound keeps only its last digit, selected so that the next digit replaces it.
void clampPart(HWND host, HWND part)
{
    const int bound = boundOf(host, part);
    if (bound == 0)
        return;
    char text[3];
    GetWindowTextA(part, text, sizeof text);
    if (std::atoi(text) < bound)
        return;
    SetWindowTextA(part, CharNextA(text));
    SendMessageA(part, EM_SETSEL, 0, -1);
}

LRESULT partCommand(HWND host, WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == EN_CHANGE)
        clampPart(host, reinterpret_cast<HWND>(lParam));
    return 0;
}

LRESULT paintColon(HWND colon, WPARAM wParam, LPARAM lParam)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(colon, &paint);
    RECT client;
    GetClientRect(colon, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    HGDIOBJ oldFont = SelectObject(dc, partFont(infoOf(GetParent(colon))));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, scaled(1, dpiOfWindow(colon)), 0, ":", 1);
    SelectObject(dc, oldFont);
    EndPaint(colon, &paint);
    return DefWindowProcA(colon, WM_PAINT, wParam, lParam);
}

HWND createColon(HWND host, HINSTANCE module, const PartPlaces& places, int height)
{
    HWND colon = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, places.colonX, 0, places.colonWidth,
                                 height, host, nullptr, module, nullptr);
    SetWindowLongPtrA(colon, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(colonProc));
    return colon;
}

// A host was made as an edit control, which allocated its text and state then; only the edit procedure
// frees them, at the window's last message. Without this each opening of the dialog leaks four of them.
// The field's own record goes with them.
LRESULT destroyHost(HWND host, WPARAM wParam, LPARAM lParam)
{
    const TimeFieldInfo* info = infoOf(host);
    if (info != nullptr && info->font != nullptr)
        DeleteObject(info->font);
    delete info;
    SetWindowLongPtrA(host, GWLP_USERDATA, 0);
    WNDCLASSA edit{};
    if (!GetClassInfoA(nullptr, "EDIT", &edit))
        return DefWindowProcA(host, WM_NCDESTROY, wParam, lParam);
    return CallWindowProcA(edit.lpfnWndProc, host, WM_NCDESTROY, wParam, lParam);
}

} // namespace

HWND createTimeSubField(HWND dialog, int hostId, TimeSubFieldKind kind, int textLimit)
{
    HWND host = GetDlgItem(dialog, hostId);
    HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    TimeFieldInfo* info = infoOf(host);
    const HFONT font = partFont(info);
    const PartMeasures measures = measureTexts(dialog, kind, font);
    const UINT dpi = dpiOfWindow(dialog);
    const PartPlaces places = placesOf(kind, measures, dpi);
    HWND part = CreateWindowExA(WS_EX_NOPARENTNOTIFY, "EDIT", "",
                                WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | ES_NUMBER | ES_RIGHT, places.x,
                                scaled(1, dpi), places.width, measures.sampleHeight + scaled(2, dpi), host, nullptr,
                                module, nullptr);
    SendMessageA(part, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    SendMessageA(part, EM_LIMITTEXT, static_cast<WPARAM>(textLimit), 0);
    // A part is only as wide as its digits and does not scroll: the font's default margins would leave room
    // for fewer digits than its limit (two of the three hours digits of a time limit).
    SendMessageA(part, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    HWND colon = places.colonWidth > 0 ? createColon(host, module, places, measures.sampleHeight) : nullptr;
    if (info && info->count < kMaxHostParts) {
        info->parts[info->count] = part;
        info->bounds[info->count] = boundOfKind(kind);
        info->kinds[info->count] = kind;
        info->colons[info->count] = colon;
        ++info->count;
    }
    return part;
}

void createTimeFields(HWND dialog)
{
    static const int hostIds[] = {IDC_COMMON_FROM, IDC_COMMON_TO, IDC_TIME_LIMIT_PER_CONN, IDC_TIME_LIMIT_PER_MONTH};
    for (int id : hostIds) {
        // The edit procedure is dropped for good but for its last message: a host is only a framed container now.
        HWND host = GetDlgItem(dialog, id);
        auto* info = new TimeFieldInfo{};
        info->font = fontForDpi(dpiOfWindow(dialog));
        SetWindowLongPtrA(host, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(info));
        SetWindowLongPtrA(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(timeFieldHostProc));
        SetWindowLongPtrA(host, GWL_EXSTYLE, GetWindowLongPtrA(host, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    }
    static const struct {
        int hostId;
        TimeSubFieldKind kind;
        int textLimit;
    } parts[] = {
        {IDC_COMMON_FROM, WindowHour, 2},         {IDC_COMMON_FROM, WindowMinute, 2},
        {IDC_COMMON_TO, WindowHour, 2},           {IDC_COMMON_TO, WindowMinute, 2},
        {IDC_TIME_LIMIT_PER_CONN, LimitHour, 3},  {IDC_TIME_LIMIT_PER_CONN, LimitMinute, 2},
        {IDC_TIME_LIMIT_PER_CONN, LimitSecond, 2}, {IDC_TIME_LIMIT_PER_MONTH, LimitHour, 3},
        {IDC_TIME_LIMIT_PER_MONTH, LimitMinute, 2}, {IDC_TIME_LIMIT_PER_MONTH, LimitSecond, 2},
    };
    for (const auto& part : parts)
        createTimeSubField(dialog, part.hostId, part.kind, part.textLimit);
}

void placeTimeField(HWND host, UINT dpi)
{
    TimeFieldInfo* info = infoOf(host);
    if (info == nullptr || dpi == 0)
        return;
    HWND dialog = GetParent(host);
    const HFONT oldFont = info->font;
    info->font = fontForDpi(dpi);
    const HFONT font = partFont(info);
    for (int i = 0; i < info->count; ++i) {
        const PartMeasures measures = measureTexts(dialog, info->kinds[i], font);
        const PartPlaces places = placesOf(info->kinds[i], measures, dpi);
        SendMessageA(info->parts[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        MoveWindow(info->parts[i], places.x, scaled(1, dpi), places.width, measures.sampleHeight + scaled(2, dpi),
                   FALSE);
        if (info->colons[i] != nullptr)
            MoveWindow(info->colons[i], places.colonX, 0, places.colonWidth, measures.sampleHeight, FALSE);
    }
    if (oldFont != nullptr)
        DeleteObject(oldFont);
    InvalidateRect(host, nullptr, TRUE);
}

HWND timeFieldPart(HWND dialog, int hostId, TimePartPlace place)
{
    const TimeFieldInfo* info = infoOf(GetDlgItem(dialog, hostId));
    return info && place < info->count ? info->parts[place] : nullptr;
}

LRESULT CALLBACK timeFieldHostProc(HWND host, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCDESTROY: return destroyHost(host, wParam, lParam);
    case WM_PAINT: return paintHost(host);
    case WM_ENABLETIMEFIELD: return enableTimeField(host, wParam, lParam);
    case WM_COMMAND: return partCommand(host, wParam, lParam);
    case kWmDpiChangedAfterParent: placeTimeField(host, dpiOfWindow(host)); return 0;
    default: return DefWindowProcA(host, message, wParam, lParam);
    }
}

LRESULT CALLBACK colonProc(HWND colon, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: return paintColon(colon, wParam, lParam);
    default: return DefWindowProcA(colon, message, wParam, lParam);
    }
}
