// The compound time fields: their parts and colons, clamping while typing, and the enable-and-show switch.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/wine/in_process.h"
#include "win32/time_fields.h"

namespace {

using kit::classNameOf;
using kit::windowText;

// The ten parts by index, in the order the dialog fills them: "from", "to", then the two limits.
constexpr int kPartCount = 10;
HWND partOf(HWND dialog, int index)
{
    static const struct {
        int host;
        TimePartPlace place;
    } parts[kPartCount] = {
        {IDC_COMMON_FROM, HoursPart},           {IDC_COMMON_FROM, MinutesPart},
        {IDC_COMMON_TO, HoursPart},             {IDC_COMMON_TO, MinutesPart},
        {IDC_TIME_LIMIT_PER_CONN, HoursPart},   {IDC_TIME_LIMIT_PER_CONN, MinutesPart},
        {IDC_TIME_LIMIT_PER_CONN, SecondsPart}, {IDC_TIME_LIMIT_PER_MONTH, HoursPart},
        {IDC_TIME_LIMIT_PER_MONTH, MinutesPart}, {IDC_TIME_LIMIT_PER_MONTH, SecondsPart},
    };
    return timeFieldPart(dialog, parts[index].host, parts[index].place);
}

INT_PTR CALLBACK fieldsOnlyProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG)
        createTimeFields(dialog);
    return message == WM_INITDIALOG;
}

std::vector<HWND> childrenOf(HWND host)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(host, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// Every pixel of the window's client area that differs from `colour`.
int pixelsOtherThan(HWND window, COLORREF colour)
{
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    int count = 0;
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x)
            count += GetPixel(dc, x, y) != colour;
    ReleaseDC(window, dc);
    return count;
}

class TimeFields : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr, fieldsOnlyProc,
                                    0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
        UpdateWindow(dialog);
    }
    void TearDown() override { DestroyWindow(dialog); }

    HWND part(int index) { return partOf(dialog, index); }

    // Clears a part, types into it and reports the text left and whether all of it is selected.
    std::string typed(int index, const char* keys, bool* selected = nullptr)
    {
        HWND part = partOf(dialog, index);
        SetWindowTextA(part, "");
        kit::typeKeys(part, keys, kit::Typing::AtCaret);
        if (selected) {
            DWORD start = 0, end = 0;
            SendMessageA(part, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            *selected = start == 0 && end == static_cast<DWORD>(GetWindowTextLengthA(part)) && end > 0;
        }
        return windowText(part);
    }

    void pump()
    {
        kit::drainMessages();
        UpdateWindow(dialog);
    }

    HWND dialog = nullptr;
};

TEST_F(TimeFields, EachHostHoldsItsPartsAndColonsInOrder)
{
    const struct {
        int id;
        int firstPart;
        int parts;
    } hosts[] = {{IDC_COMMON_FROM, 0, 2}, {IDC_COMMON_TO, 2, 2}, {IDC_TIME_LIMIT_PER_CONN, 4, 3},
                 {IDC_TIME_LIMIT_PER_MONTH, 7, 3}};
    for (const auto& h : hosts) {
        HWND host = GetDlgItem(dialog, h.id);
        EXPECT_TRUE(GetWindowLongPtrA(host, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) << h.id;
        const std::vector<HWND> children = childrenOf(host);
        ASSERT_EQ(children.size(), static_cast<size_t>(2 * h.parts - 1)) << h.id;
        for (int p = 0; p < h.parts; ++p) {
            HWND edit = children[2 * p];
            EXPECT_EQ(edit, part(h.firstPart + p));
            EXPECT_EQ(classNameOf(edit), "Edit");
            EXPECT_EQ(GetDlgCtrlID(edit), 0);
            const LONG_PTR style = GetWindowLongPtrA(edit, GWL_STYLE);
            EXPECT_EQ(style & (ES_NUMBER | ES_RIGHT | WS_TABSTOP | WS_GROUP),
                      static_cast<LONG_PTR>(ES_NUMBER | ES_RIGHT | WS_TABSTOP | WS_GROUP));
            EXPECT_FALSE(style & WS_BORDER);
            EXPECT_TRUE(GetWindowLongPtrA(edit, GWL_EXSTYLE) & WS_EX_NOPARENTNOTIFY);
            const bool hoursOfLimit = h.parts == 3 && p == 0;
            EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), hoursOfLimit ? 3 : 2);
            if (p + 1 < h.parts) {
                HWND colon = children[2 * p + 1];
                EXPECT_EQ(classNameOf(colon), "Static");
                EXPECT_EQ(GetWindowLongPtrA(colon, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(colonProc));
            }
        }
    }
}

TEST_F(TimeFields, PartsSitSideBySideWithTheColonsBetween)
{
    HDC dc = GetDC(dialog);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE two{}, three{};
    GetTextExtentPoint32A(dc, "00", 2, &two);
    GetTextExtentPoint32A(dc, "000", 3, &three);
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
    const int a = two.cx, b = three.cx;

    auto placeOf = [](HWND child) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    const std::vector<HWND> limit = childrenOf(GetDlgItem(dialog, IDC_TIME_LIMIT_PER_CONN));
    const int expected[5][3] = {{1, b + 2, two.cy + 2},
                                {b + 3, b / 2, two.cy},
                                {b + a / 2 + 1, a + 2, two.cy + 2},
                                {b + a + a / 2 + 3, a / 2, two.cy},
                                {b + 2 * (a / 2) + a + 1, a + 2, two.cy + 2}};
    for (int i = 0; i < 5; ++i) {
        const RECT r = placeOf(limit[i]);
        EXPECT_EQ(r.left, expected[i][0]) << i;
        EXPECT_EQ(r.right - r.left, expected[i][1]) << i;
        EXPECT_EQ(r.bottom - r.top, expected[i][2]) << i;
    }
    const std::vector<HWND> from = childrenOf(GetDlgItem(dialog, IDC_COMMON_FROM));
    EXPECT_EQ(placeOf(from[1]).left, a + 3);
    EXPECT_EQ(placeOf(from[2]).left, a + a / 2 + 1);
    // The colon reaches two pixels into the part after it.
    EXPECT_EQ(placeOf(from[1]).right - placeOf(from[2]).left, 2);
}

TEST_F(TimeFields, CommonHourPartsStayBelow24WhileTyping)
{
    for (int index : {0, 2}) {
        bool selected = false;
        EXPECT_EQ(typed(index, "23", &selected), "23");
        EXPECT_FALSE(selected);
        EXPECT_EQ(typed(index, "24", &selected), "4");
        EXPECT_TRUE(selected);
        EXPECT_EQ(typed(index, "251"), "1");
        EXPECT_EQ(typed(index, "0"), "0");
    }
}

TEST_F(TimeFields, MinuteAndSecondPartsStayBelow60WhileTyping)
{
    for (int index : {1, 3, 5, 6, 8, 9}) {
        bool selected = false;
        EXPECT_EQ(typed(index, "59", &selected), "59") << index;
        EXPECT_FALSE(selected);
        EXPECT_EQ(typed(index, "60", &selected), "0") << index;
        EXPECT_TRUE(selected);
        EXPECT_EQ(typed(index, "75"), "5") << index;
        EXPECT_EQ(typed(index, "757"), "7") << index;
        EXPECT_EQ(typed(index, "123"), "12") << index;
    }
}

TEST_F(TimeFields, HoursOfTheLimitsTakeThreeDigitsWithoutBound)
{
    for (int index : {4, 7}) {
        EXPECT_EQ(typed(index, "999"), "999");
        EXPECT_EQ(typed(index, "24"), "24");
        EXPECT_EQ(typed(index, "1234"), "123");
    }
}

TEST_F(TimeFields, PartsRefuseAnythingButDigits)
{
    EXPECT_EQ(typed(1, "a-5"), "5");
}

TEST_F(TimeFields, TextSetFromOutsideIsCorrectedLikeTyping)
{
    SetWindowTextA(part(5), "75");
    EXPECT_EQ(windowText(part(5)), "5");
    SetWindowTextA(part(0), "24");
    EXPECT_EQ(windowText(part(0)), "4");
    SetWindowTextA(part(7), "500");
    EXPECT_EQ(windowText(part(7)), "500");
}

TEST_F(TimeFields, DisablingHidesThePartsAndPaintsTheBoxInTheFaceColour)
{
    HWND host = GetDlgItem(dialog, IDC_TIME_LIMIT_PER_CONN);
    SetWindowTextA(part(4), "12");
    SetWindowTextA(part(5), "34");
    pump();
    EXPECT_GT(pixelsOtherThan(host, GetSysColor(COLOR_WINDOW)), 0) << "parts and colons draw their digits";

    SendMessageA(host, WM_ENABLETIMEFIELD, 0, 0);
    pump();
    EXPECT_FALSE(IsWindowEnabled(host));
    for (HWND child : childrenOf(host))
        EXPECT_FALSE(IsWindowVisible(child));
    EXPECT_EQ(pixelsOtherThan(host, GetSysColor(COLOR_BTNFACE)), 0);

    SendMessageA(host, WM_ENABLETIMEFIELD, 1, 0);
    pump();
    EXPECT_TRUE(IsWindowEnabled(host));
    for (HWND child : childrenOf(host))
        EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_EQ(windowText(part(4)), "12");
    EXPECT_EQ(windowText(part(5)), "34");
    RECT client;
    GetClientRect(host, &client);
    HDC dc = GetDC(host);
    EXPECT_EQ(GetPixel(dc, client.right - 1, client.bottom - 1), GetSysColor(COLOR_WINDOW));
    ReleaseDC(host, dc);
}

TEST_F(TimeFields, ColonDrawsOnTheWindowColour)
{
    HWND colon = childrenOf(GetDlgItem(dialog, IDC_COMMON_FROM))[1];
    pump();
    HDC dc = GetDC(colon);
    EXPECT_EQ(GetPixel(dc, 0, 0), GetSysColor(COLOR_WINDOW));
    ReleaseDC(colon, dc);
    EXPECT_GT(pixelsOtherThan(colon, GetSysColor(COLOR_WINDOW)), 0);
}

TEST_F(TimeFields, TabMovesThroughThePartsOfAField)
{
    HWND next = GetNextDlgTabItem(dialog, part(4), FALSE);
    EXPECT_EQ(next, part(5));
    EXPECT_EQ(GetNextDlgTabItem(dialog, part(5), FALSE), part(6));
}

TEST_F(TimeFields, EachOpeningKeepsItsOwnPartsAndTheirBounds)
{
    HWND second = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr,
                                     fieldsOnlyProc, 0);
    ASSERT_NE(second, nullptr);
    for (int i = 0; i < kPartCount; ++i) {
        EXPECT_TRUE(IsChild(dialog, part(i))) << i;
        EXPECT_TRUE(IsChild(second, partOf(second, i))) << i;
    }
    // The first dialog's parts are still corrected while another is open, and after it is gone.
    EXPECT_EQ(typed(5, "75"), "5");
    EXPECT_EQ(windowText(partOf(second, 5)), "");
    DestroyWindow(second);
    EXPECT_EQ(typed(0, "24"), "4");
    // A host that is no time field has no parts.
    EXPECT_EQ(timeFieldPart(dialog, IDC_TARIFF_COMMON, HoursPart), nullptr);
}

} // namespace
