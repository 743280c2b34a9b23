// The detailed window in-process: rows and texts per period, columns, grid switch and the stored "Place".
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/display.h"
#include "win32/program_records.h"
#include "res/resource.h"
#include "core/layout.h"
#include "core/settings.h"
#include "win32/details_window.h"
#include "tests/wine/in_process.h"

namespace {

using kit::monthsBefore;

ConnectionRecord record(SystemTime start, double seconds, double cost) { return ConnectionRecord{start, seconds, cost}; }

void storePlace(const uint8_t* bytes, DWORD length)
{
    ASSERT_TRUE(kit::setRegistryValue(HKEY_CURRENT_USER, kit::kPlacementKey, "Place", REG_BINARY,
                                      kit::Bytes(bytes, bytes + length)));
}

void storePlacement(const DetailPlacement& placement)
{
    uint8_t bytes[kDetailPlacementSize];
    encodeDetailPlacement(placement, bytes);
    storePlace(bytes, sizeof bytes);
}

// The stored "Place" as bytes; empty when absent.
std::vector<uint8_t> readPlace(DWORD* type = nullptr)
{
    return kit::registryValue(HKEY_CURRENT_USER, kit::kPlacementKey, "Place", type);
}

std::string cell(int row, int column)
{
    char text[400] = "";
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(details.list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

int columnCount()
{
    const HWND header = reinterpret_cast<HWND>(SendMessageA(details.list, LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

int columnWidth(int column) { return static_cast<int>(SendMessageA(details.list, LVM_GETCOLUMNWIDTH, column, 0)); }

std::string windowTitle() { return kit::windowText(details.window); }

UINT gridMenuState() { return GetMenuState(GetMenu(details.window), IDC_DETAILS_SHOW_GRID, MF_BYCOMMAND); }

LRESULT extendedStyle() { return SendMessageA(details.list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0); }

void command(WORD id) { SendMessageA(details.window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

std::string monthTitle(unsigned month, unsigned year)
{
    char text[64];
    std::snprintf(text, sizeof text, "Detailed statistics (%02u.%4u)", month, year);
    return text;
}

class DetailsWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.enter("tolvar-details"));
        inproc::takeAsProgramFolder(scratch.path());
        inproc::prepareDetailsWindow(1);
    }

    void TearDown() override
    {
        if (IsWindow(details.window))
            DestroyWindow(details.window);
        scratch.leave();
    }

    kit::ScratchFolder scratch;
};

TEST_F(DetailsWindow, FirstOpeningShowsEveryRecordWithDefaults)
{
    SystemTime start{2000, 8, 6, 5, 14, 3, 27, 0};
    inproc::logOf({record(start, 3725, 1.5), record(monthsBefore(0), 59.9, 12.345)});
    openDetails(All);
    ASSERT_TRUE(IsWindow(details.window));
    EXPECT_TRUE(IsWindowVisible(details.window));
    EXPECT_EQ("Detailed statistics (All)", windowTitle());
    EXPECT_EQ(WS_OVERLAPPEDWINDOW, GetWindowLongA(details.window, GWL_STYLE) & WS_OVERLAPPEDWINDOW);

    ASSERT_EQ(2, inproc::detailsRowCount());
    EXPECT_EQ("05.08.2000", cell(0, 0));
    EXPECT_EQ("14:03:27", cell(0, 1));
    EXPECT_EQ("001:02:05", cell(0, 2));
    EXPECT_EQ("1.50 $", cell(0, 3));
    EXPECT_EQ("000:00:59", cell(1, 2));
    EXPECT_EQ("12.35 $", cell(1, 3));

    ASSERT_EQ(4, columnCount());
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(100, columnWidth(column)) << column;
    EXPECT_EQ(static_cast<UINT>(MF_CHECKED), gridMenuState());
    EXPECT_EQ(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES, extendedStyle());
    const LONG listStyle = GetWindowLongA(details.list, GWL_STYLE);
    EXPECT_EQ(LVS_REPORT, listStyle & LVS_TYPEMASK);
    EXPECT_TRUE(listStyle & LVS_SINGLESEL);
    EXPECT_TRUE(listStyle & LVS_NOSORTHEADER);
    EXPECT_EQ(0, GetDlgCtrlID(details.list));
}

TEST_F(DetailsWindow, PeriodsListTheirMonthsAndKeepTheChoice)
{
    const SystemTime now = kit::localNow();
    const SystemTime last = monthsBefore(1);
    inproc::logOf({record(monthsBefore(0, 1), 1, 0), record(last, 2, 0), record(monthsBefore(2), 3, 0),
           record(now, 4, 0.5)});
    settings.block.tariffCommon = 59.99;
    openDetails(CurrentMonth);
    EXPECT_EQ(monthTitle(now.wMonth, now.wYear), windowTitle());
    ASSERT_EQ(2, inproc::detailsRowCount());
    EXPECT_EQ("000:00:01", cell(0, 2));
    EXPECT_EQ("000:00:04", cell(1, 2));
    EXPECT_EQ("0.5000 $", cell(1, 3));

    command(IDC_DETAILS_SHOW_LAST_MONTH);
    EXPECT_EQ(LastMonth, details.filter);
    EXPECT_EQ(monthTitle(last.wMonth, last.wYear), windowTitle());
    ASSERT_EQ(1, inproc::detailsRowCount());
    EXPECT_EQ("000:00:02", cell(0, 2));

    // A finished connection refills with the chosen period, not with everything.
    inproc::logOf({record(last, 2, 0), record(last, 5, 0)});
    refreshDetailsIfOpen();
    ASSERT_EQ(2, inproc::detailsRowCount());
    EXPECT_EQ("000:00:05", cell(1, 2));

    command(IDC_DETAILS_SHOW_ALL);
    EXPECT_EQ(All, details.filter);
    EXPECT_EQ(2, inproc::detailsRowCount());
    command(IDC_DETAILS_SHOW_CURRENT_MONTH);
    EXPECT_EQ(CurrentMonth, details.filter);
    EXPECT_EQ(0, inproc::detailsRowCount());

    // Opening again only refills: an open window keeps its place.
    RECT before;
    GetWindowRect(details.window, &before);
    const HWND window = details.window;
    openDetails(LastMonth);
    EXPECT_EQ(window, details.window);
    EXPECT_EQ(2, inproc::detailsRowCount());
    RECT after;
    GetWindowRect(details.window, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
}

TEST_F(DetailsWindow, OnlyStoredRecordsBecomeRows)
{
    // The live connection's reserved slot is not in the file yet.
    inproc::logOf({record(monthsBefore(0), 1, 0), record(monthsBefore(0), 2, 0)});
    accounting.recordCount = 3;
    accounting.liveConnection.connected = true;
    openDetails(All);
    EXPECT_EQ(2, inproc::detailsRowCount());

    // A damaged count far beyond the stored records lists what is there.
    const kit::Bytes damaged = kit::DataImage().records({record(monthsBefore(0), 1, 0)}).count(0x7fffffff).bytes();
    ASSERT_TRUE(kit::writeFile("Tq.dat", damaged));
    accounting.recordCount = 0x7fffffff;
    fillDetails(All);
    EXPECT_EQ(1, inproc::detailsRowCount());

    inproc::logOf({});
    fillDetails(CurrentMonth);
    EXPECT_EQ(0, inproc::detailsRowCount());
}

TEST_F(DetailsWindow, CostOffGivesThreeColumnsWithoutCostTexts)
{
    settings.block.calculateCost = 0;
    inproc::logOf({record(monthsBefore(0), 61, 7.25)});
    openDetails(All);
    EXPECT_EQ(3, columnCount());
    ASSERT_EQ(1, inproc::detailsRowCount());
    EXPECT_EQ("000:01:01", cell(0, 2));
    EXPECT_EQ("", cell(0, 3));

    // Switching cost on while open adds no column, and a missing column stores no width over the old one.
    settings.block.calculateCost = 1;
    fillDetails(All);
    EXPECT_EQ(3, columnCount());
    command(IDC_DETAILS_CLOSE);
    const std::vector<uint8_t> place = readPlace();
    ASSERT_EQ(kDetailPlacementSize, place.size());
    EXPECT_EQ(100, getI32(place.data() + 32));
}

TEST_F(DetailsWindow, StoredPlaceGivesPositionWidthsAndGrid)
{
    DetailPlacement stored{};
    stored.gridState = 0;
    stored.left = 40;
    stored.top = 30;
    stored.right = 640;
    stored.bottom = 430;
    stored.columnWidths[0] = 51;
    stored.columnWidths[1] = 62;
    stored.columnWidths[2] = 73;
    stored.columnWidths[3] = 84;
    stored.showCmd = SW_SHOWNORMAL;
    storePlacement(stored);
    openDetails(All);
    ASSERT_TRUE(IsWindow(details.window));
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(details.window, &placement);
    EXPECT_EQ(40, placement.rcNormalPosition.left);
    EXPECT_EQ(30, placement.rcNormalPosition.top);
    EXPECT_EQ(640, placement.rcNormalPosition.right);
    EXPECT_EQ(430, placement.rcNormalPosition.bottom);
    EXPECT_EQ(51, columnWidth(0));
    EXPECT_EQ(62, columnWidth(1));
    EXPECT_EQ(73, columnWidth(2));
    EXPECT_EQ(84, columnWidth(3));
    EXPECT_EQ(0u, gridMenuState());
    EXPECT_EQ(LVS_EX_FULLROWSELECT, extendedStyle());

    // The list fills the client area less a 5-pixel margin.
    RECT client, list;
    GetClientRect(details.window, &client);
    GetWindowRect(details.list, &list);
    MapWindowPoints(nullptr, details.window, reinterpret_cast<POINT*>(&list), 2);
    EXPECT_EQ(5, list.left);
    EXPECT_EQ(5, list.top);
    EXPECT_EQ(client.right - 5, list.right);
    EXPECT_EQ(client.bottom - 5, list.bottom);

    command(IDC_DETAILS_SHOW_GRID);
    EXPECT_EQ(static_cast<UINT>(MF_CHECKED), gridMenuState());
    EXPECT_EQ(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES, extendedStyle());
    command(IDC_DETAILS_SHOW_GRID);
    EXPECT_EQ(0u, gridMenuState());
    EXPECT_EQ(LVS_EX_FULLROWSELECT, extendedStyle());
}

TEST_F(DetailsWindow, ClosingStoresThePlaceField)
{
    openDetails(All);
    ASSERT_TRUE(IsWindow(details.window));
    MoveWindow(details.window, 30, 40, 500, 350, TRUE);
    SendMessageA(details.list, LVM_SETCOLUMNWIDTH, 1, 77);
    SendMessageA(details.list, LVM_SETCOLUMNWIDTH, 3, 55);
    command(IDC_DETAILS_SHOW_GRID);
    command(IDC_DETAILS_CLOSE);
    EXPECT_FALSE(IsWindow(details.window));

    DWORD type = 0;
    const std::vector<uint8_t> place = readPlace(&type);
    ASSERT_EQ(kDetailPlacementSize, place.size());
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    const int32_t expected[10] = {0, 30, 40, 530, 390, 100, 77, 100, 55, SW_SHOWNORMAL};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(expected[i], getI32(place.data() + 4 * i)) << "field " << i;

    // With cost off at closing the cost width is not read again.
    openDetails(All);
    SendMessageA(details.list, LVM_SETCOLUMNWIDTH, 3, 99);
    settings.block.calculateCost = 0;
    DestroyWindow(details.window);
    EXPECT_EQ(55, getI32(readPlace().data() + 32));
}

TEST_F(DetailsWindow, StoredMaximisedStateReopensMaximised)
{
    openDetails(All);
    ShowWindow(details.window, SW_MAXIMIZE);
    DestroyWindow(details.window);
    ASSERT_EQ(SW_SHOWMAXIMIZED, getI32(readPlace().data() + 36));
    openDetails(All);
    EXPECT_TRUE(IsZoomed(details.window));
}

TEST_F(DetailsWindow, DamagedPlaceValues)
{
    // A value longer than the record gives the defaults.
    uint8_t longValue[44] = {};
    storePlace(longValue, sizeof longValue);
    openDetails(All);
    EXPECT_EQ(100, columnWidth(2));
    EXPECT_EQ(static_cast<UINT>(MF_CHECKED), gridMenuState());
    DestroyWindow(details.window);

    // A shorter one fills only its leading fields; the others keep what the last closing left.
    details.placement.columnWidths[0] = 90;
    details.placement.showCmd = SW_HIDE;
    uint8_t shortValue[8];
    putI32(shortValue, 0);
    putI32(shortValue + 4, 12);
    storePlace(shortValue, 6);
    openDetails(All);
    EXPECT_EQ(0, details.placement.gridState);
    EXPECT_EQ(12, details.placement.left);
    EXPECT_EQ(90, columnWidth(0));
    EXPECT_EQ(0u, gridMenuState());
    // A stored hidden state would make the window unreachable: it is shown.
    EXPECT_TRUE(IsWindowVisible(details.window));
}

TEST_F(DetailsWindow, PlaceValuesOfEveryLengthAndTypeStillOpenAVisibleWindow)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kit::kPlacementKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);

    for (DWORD type : {DWORD{REG_BINARY}, DWORD{REG_SZ}, DWORD{REG_DWORD}}) {
        for (size_t length = 0; length <= 200; ++length) {
            kit::Bytes stored;
            if (!kit::storeAndReadBack(key, "Place", type, kit::patterned(length, 3), stored))
                continue;
            details.placement = DetailPlacement{};
            openDetails(All);
            ASSERT_TRUE(IsWindow(details.window)) << "type " << type << ", length " << length;
            EXPECT_TRUE(IsWindowVisible(details.window)) << "type " << type << ", length " << length;
            DestroyWindow(details.window);

            DWORD againType = 0;
            bool found = false;
            const kit::Bytes again =
                kit::registryValue(HKEY_CURRENT_USER, kit::kPlacementKey, "Place", &againType, &found);
            ASSERT_TRUE(found) << "type " << type << ", length " << length;
            EXPECT_EQ(againType, static_cast<DWORD>(REG_BINARY)) << "type " << type << ", length " << length;
            EXPECT_EQ(again.size(), kDetailPlacementSize) << "type " << type << ", length " << length;
        }
    }
    RegDeleteValueA(key, "Place");
    RegCloseKey(key);
}

} // namespace
