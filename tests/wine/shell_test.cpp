// The shell in-process: classes, the hidden statistics window, start-up sequence, menus, tray icon and its clicks.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/state.h"
#include "win32/commands.h"
#include "win32/startup.h"
#include "win32/statistics_window.h"
#include "win32/program_records.h"
#include "res/resource.h"
#include "core/layout.h"
#include "core/settings.h"
#include "tests/wine/in_process.h"
#include "win32/details_window.h"
#include "win32/timer_window.h"

namespace {

using kit::kSettingsKey;
using kit::kUninstallKey;
using inproc::trayItemGrayed;

// Whether the shell still knows the tray icon: only a present icon can be modified.
bool trayIconPresent()
{
    NOTIFYICONDATAA probe = shell.trayIconData;
    return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

// One line per menu item: its path of titles, command, and grayed or separator marks.
void describeMenu(HMENU menu, const std::string& path, std::vector<std::string>& lines)
{
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        const UINT state = GetMenuState(menu, position, MF_BYPOSITION);
        char text[128] = {};
        GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
        const std::string itemPath = path.empty() ? text : path + "/" + text;
        // A pop-up's state carries its item count in the high byte, which may look like MF_SEPARATOR.
        if (HMENU popup = GetSubMenu(menu, position)) {
            describeMenu(popup, itemPath, lines);
            continue;
        }
        if (state & MF_SEPARATOR) {
            lines.push_back(path + "/-");
            continue;
        }
        char line[256];
        std::snprintf(line, sizeof line, "%s %u%s", itemPath.c_str(), GetMenuItemID(menu, position),
                      (state & MF_GRAYED) ? " grayed" : "");
        lines.push_back(line);
    }
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        inproc::forgetEarlierRuns();
        // Started from another folder, as at logon: the program must move to its own.
        ASSERT_TRUE(scratch.enter("tolvar-shell"));
        start();
    }

    void TearDown() override
    {
        inproc::endApplication();
        inproc::forgetEarlierRuns();
        scratch.leave();
    }

    void start() { ASSERT_TRUE(inproc::startApplication()); }

    kit::ScratchFolder scratch;
};

TEST_F(ShellTest, TheStatisticsWindowIsCreatedHiddenWithItsClassTitleStyleAndSize)
{
    ASSERT_TRUE(IsWindow(shell.statisticsWindow));
    EXPECT_FALSE(IsWindowVisible(shell.statisticsWindow));
    char text[64] = {};
    GetClassNameA(shell.statisticsWindow, text, sizeof text);
    EXPECT_STREQ(text, "LinkStatistics");
    GetWindowTextA(shell.statisticsWindow, text, sizeof text);
    EXPECT_STREQ(text, "Link Statistics");

    const LONG style = GetWindowLongA(shell.statisticsWindow, GWL_STYLE);
    const LONG wanted = WS_POPUPWINDOW | WS_CAPTION | WS_MINIMIZEBOX;
    EXPECT_EQ(style & wanted, wanted);
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0);
    EXPECT_EQ(GetWindowLongA(shell.statisticsWindow, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE & ~WS_EX_DLGMODALFRAME, 0);
    EXPECT_EQ(GetParent(shell.statisticsWindow), nullptr);
    EXPECT_EQ(GetMenu(shell.statisticsWindow), shell.statisticsMenu);

    RECT frame{};
    GetWindowRect(shell.statisticsWindow, &frame);
    EXPECT_EQ(frame.right - frame.left, 400);
    EXPECT_EQ(frame.bottom - frame.top, GetSystemMetrics(SM_CYMENU) + 170);
}

TEST_F(ShellTest, TheThreeClassesCarryTheirStylesProceduresIconsCursorsBackgroundsAndMenus)
{
    const HBRUSH buttonFace = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    const struct {
        const char* name;
        UINT style;
        WNDPROC procedure;
        bool icon;
        HCURSOR cursor;
        HBRUSH background;
        const char* menu;
    } classes[] = {
        {"LinkStatistics", 0, statisticsWindowProc, true, nullptr, buttonFace, MAKEINTRESOURCEA(IDM_STATISTICS)},
        {"Counter", CS_DBLCLKS, timerWindowProc, false, arrow, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)),
         nullptr},
        {"Details", 0, detailsWindowProc, true, arrow, buttonFace, MAKEINTRESOURCEA(IDM_DETAILS)},
    };
    for (const auto& wanted : classes) {
        SCOPED_TRACE(wanted.name);
        WNDCLASSA found{};
        ASSERT_TRUE(GetClassInfoA(shell.instance, wanted.name, &found));
        EXPECT_EQ(found.style, wanted.style);
        EXPECT_EQ(found.lpfnWndProc, wanted.procedure);
        EXPECT_EQ(found.hIcon != nullptr, wanted.icon);
        EXPECT_EQ(found.hCursor, wanted.cursor);
        EXPECT_EQ(found.hbrBackground, wanted.background);
        EXPECT_EQ(found.lpszMenuName, wanted.menu);
        EXPECT_EQ(found.cbClsExtra, 0);
        EXPECT_EQ(found.cbWndExtra, 0);
    }
}

TEST_F(ShellTest, ASecondInitialisationInTheSameProcessFailsOnTheTakenClassName)
{
    const HWND first = shell.statisticsWindow;
    EXPECT_FALSE(initApplication());
    EXPECT_EQ(shell.statisticsWindow, first);
}

// The icon directory as the module stores it: each image's width, height and bits per pixel, "16x16x8" ...
std::string iconImages(int id)
{
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitsPerPixel;
        DWORD bytes;
        WORD imageId;
    };
#pragma pack(pop)
    static_assert(sizeof(GroupEntry) == 14, "an entry of an icon group resource is 14 bytes");
    const HRSRC found = FindResourceA(shell.instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
    if (found == nullptr)
        return "missing";
    const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(shell.instance, found)));
    const WORD count = *reinterpret_cast<const WORD*>(group + 4);
    std::string images;
    for (WORD i = 0; i < count; ++i) {
        GroupEntry entry;
        std::memcpy(&entry, group + 6 + i * sizeof entry, sizeof entry);
        char text[32];
        std::snprintf(text, sizeof text, "%s%ux%ux%u", i == 0 ? "" : " ", entry.width, entry.height,
                      entry.bitsPerPixel);
        images += text;
    }
    return images;
}

TEST_F(ShellTest, IconsHaveTheirSizesAndColourDepthsAndTheStatusIconsLoadAtTenPixels)
{
    EXPECT_EQ(iconImages(IDI_MAIN), "16x16x8 32x32x4");
    EXPECT_EQ(iconImages(IDI_TRAY), "16x16x4");
    EXPECT_EQ(iconImages(IDI_DETAILS), "16x16x4 32x32x4");
    for (int id : {IDI_CONNECTED, IDI_DISCONNECTED}) {
        HICON loaded = static_cast<HICON>(LoadImageA(shell.instance, MAKEINTRESOURCEA(id), IMAGE_ICON, 10, 10, 0));
        ASSERT_NE(loaded, nullptr) << id;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(loaded, &info));
        BITMAP mask{};
        GetObjectA(info.hbmMask, sizeof mask, &mask);
        EXPECT_EQ(mask.bmWidth, 10) << id;
        DeleteObject(info.hbmMask);
        if (info.hbmColor != nullptr)
            DeleteObject(info.hbmColor);
        DestroyIcon(loaded);
    }
}

// What the first start stores, in the registry and beside the executable, is the end-to-end StartAndExit's; here,
// what it leaves in memory.
TEST_F(ShellTest, TheFirstStartHoldsTheDefaultSettingsAndThisMonthsStamp)
{
    EXPECT_EQ(settings.block.showCounterOnConnect, 1);
    EXPECT_EQ(settings.extra.autoSumUp, 1);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(accounting.monthStamp.wYear, now.wYear);
    EXPECT_EQ(accounting.monthStamp.wMonth, now.wMonth);
}

TEST_F(ShellTest, TotalsLeftInTheDataFileAreReadOnlyWhenTheSettingsKeyExisted)
{
    inproc::endApplication();
    inproc::forgetEarlierRuns();
    CounterBlock left{};
    left.lastConnSeconds = 61;
    left.curMonthSeconds = 3600;
    left.lastMonthCost = 12.5;
    uint8_t header[kCounterBlockSize];
    encodeCounterBlock(left, header);
    HANDLE file = CreateFileA(inproc::dataFilePath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, header, sizeof header, &written, nullptr);
    CloseHandle(file);

    // First run for this user: the totals start at zero whatever the file holds.
    start();
    EXPECT_EQ(accounting.counterBlock.curMonthSeconds, 0.0);

    // A later start with the file's totals and the stored settings, and no new uninstall entry.
    encodeCounterBlock(left, header);
    file = CreateFileA(inproc::dataFilePath().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    WriteFile(file, header, sizeof header, &written, nullptr);
    CloseHandle(file);
    inproc::endApplication();
    kit::deleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    SettingsExtra stored{};
    stored.autoSumUp = 0;
    stored.addSeconds = 7;
    uint8_t extra[kSettingsExtraSize];
    encodeSettingsExtra(stored, extra);
    HKEY settingsKey = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_SET_VALUE, &settingsKey), ERROR_SUCCESS);
    RegSetValueExA(settingsKey, "Settings1", 0, REG_BINARY, extra, sizeof extra);
    RegCloseKey(settingsKey);
    start();
    EXPECT_EQ(accounting.counterBlock.lastConnSeconds, 61.0);
    EXPECT_EQ(accounting.counterBlock.curMonthSeconds, 3600.0);
    EXPECT_EQ(accounting.counterBlock.lastMonthCost, 12.5);
    EXPECT_EQ(settings.extra.addSeconds, 7);
    EXPECT_EQ(settings.block.showCounterOnConnect, 1);
    EXPECT_FALSE(kit::keyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

TEST_F(ShellTest, BothTimersTickIntoTheWindow)
{
    std::vector<WPARAM> seen;
    const DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < 1500) {
        while (PeekMessageA(&message, shell.statisticsWindow, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            seen.push_back(message.wParam);
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
    size_t fast = 0;
    size_t slow = 0;
    for (WPARAM id : seen) {
        fast += id == 1;
        slow += id == 2;
    }
    EXPECT_GE(fast, 10u);
    EXPECT_GE(slow, 1u);
    EXPECT_LE(slow, 2u);
    EXPECT_EQ(fast + slow, seen.size());
}

TEST_F(ShellTest, TheMenuBarHasItsItemsCommandsAndStates)
{
    std::vector<std::string> lines;
    describeMenu(shell.statisticsMenu, "", lines);
    const std::vector<std::string> wanted = {
        "Program/Show detailed.../All 40011",
        "Program/Show detailed.../Last month 40023",
        "Program/Show detailed.../Current month 40024",
        "Program/Hide Statistics 40007",
        "Program/Reset Counters 40008 grayed",
        "Program/Sum Up 40029",
        "Program/-",
        "Program/Settings 40009",
        "Program/-",
        "Program/Exit 40010",
        "Help/About 40006",
    };
    EXPECT_EQ(lines, wanted);
    EXPECT_EQ(GetMenuItemCount(shell.statisticsMenu), 2);
}

TEST_F(ShellTest, TheTrayMenuHasOneUntitledPopUpWithItsItemsCommandsAndStates)
{
    ASSERT_EQ(GetMenuItemCount(shell.trayMenu), 1);
    char title[16] = "x";
    GetMenuStringA(shell.trayMenu, 0, title, sizeof title, MF_BYPOSITION);
    EXPECT_STREQ(title, "");
    std::vector<std::string> lines;
    describeMenu(GetSubMenu(shell.trayMenu, 0), "", lines);
    const std::vector<std::string> wanted = {
        "Show Statistics 40001",
        "Show detailed.../All 40012",
        "Show detailed.../Last month 40025",
        "Show detailed.../Current month 40026",
        "Show Timer 40004 grayed",
        "Reset Counters 40005 grayed",
        "Sum Up 40030",
        "/-",
        "Settings 40002",
        "/-",
        "Exit 40003",
    };
    EXPECT_EQ(lines, wanted);
}

TEST_F(ShellTest, TheTrayIconIsAddedWithItsRecordAndRemovedWithTheWindow)
{
    EXPECT_EQ(shell.trayIconData.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(shell.trayIconData.hWnd, shell.statisticsWindow);
    EXPECT_EQ(shell.trayIconData.uID, 0u);
    EXPECT_EQ(shell.trayIconData.uFlags, 7u);
    EXPECT_EQ(shell.trayIconData.uCallbackMessage, 1025u);
    EXPECT_EQ(shell.trayIconData.hIcon, LoadIconA(shell.instance, MAKEINTRESOURCEA(IDI_TRAY)));
    EXPECT_STREQ(shell.trayIconData.szTip, "Tolvar");
    EXPECT_TRUE(trayIconPresent());

    DestroyWindow(shell.statisticsWindow);
    EXPECT_FALSE(trayIconPresent());
    shell.statisticsWindow = nullptr;
}

TEST_F(ShellTest, ARestartedShellGetsTheIconBack)
{
    removeTrayIcon();
    ASSERT_FALSE(trayIconPresent());
    SendMessageA(shell.statisticsWindow, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(trayIconPresent());
}

TEST_F(ShellTest, DoubleClickShowsTheWindowAndTheCloseCommandOnlyHidesIt)
{
    EXPECT_FALSE(trayItemGrayed(IDC_TRAY_SHOW_STATISTICS));
    SendMessageA(shell.statisticsWindow, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(shell.statisticsWindow));
    EXPECT_TRUE(trayItemGrayed(IDC_TRAY_SHOW_STATISTICS));
    SendMessageA(shell.statisticsWindow, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(shell.statisticsWindow));
    EXPECT_TRUE(trayItemGrayed(IDC_TRAY_SHOW_STATISTICS));

    EXPECT_EQ(SendMessageA(shell.statisticsWindow, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
    EXPECT_TRUE(IsWindow(shell.statisticsWindow));
    EXPECT_FALSE(IsWindowVisible(shell.statisticsWindow));
    EXPECT_FALSE(trayItemGrayed(IDC_TRAY_SHOW_STATISTICS));

    // Alt+F4 and the close box arrive as the same command; WM_CLOSE itself would destroy the window.
    SendMessageA(shell.statisticsWindow, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
    EXPECT_EQ(SendMessageA(shell.statisticsWindow, WM_SYSCOMMAND, SC_CLOSE, MAKELPARAM(10, 10)), 0);
    EXPECT_FALSE(IsWindowVisible(shell.statisticsWindow));
    EXPECT_TRUE(IsWindow(shell.statisticsWindow));
    // The program goes on in the tray.
    WPARAM code = 0;
    EXPECT_FALSE(kit::quitPosted(code));
}

TEST_F(ShellTest, OtherMouseMessagesOnTheIconDoNothing)
{
    for (LPARAM mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE, WM_RBUTTONDBLCLK}) {
        SendMessageA(shell.statisticsWindow, WM_TRAYNOTIFY, 0, mouse);
        EXPECT_FALSE(IsWindowVisible(shell.statisticsWindow)) << mouse;
        EXPECT_FALSE(trayItemGrayed(IDC_TRAY_SHOW_STATISTICS)) << mouse;
    }
}

// Opens the tray pop-up as a right click does and drives it by keys from a second thread.
class TrayPopUpTest : public ShellTest {
protected:
    struct Seen {
        RECT rect{};
        bool opened = false;
        int defaultPosition = -1;
    };

    Seen rightClickThen(std::initializer_list<WPARAM> keys)
    {
        Seen seen;
        std::thread watcher([&] {
            HWND popup = nullptr;
            for (int wait = 0; wait < 500 && popup == nullptr; ++wait) {
                popup = FindWindowA("#32768", nullptr);
                if (popup != nullptr && !IsWindowVisible(popup))
                    popup = nullptr;
                Sleep(10);
            }
            if (popup == nullptr)
                return;
            seen.opened = true;
            GetWindowRect(popup, &seen.rect);
            seen.defaultPosition = static_cast<int>(GetMenuDefaultItem(GetSubMenu(shell.trayMenu, 0), TRUE, 0));
            for (WPARAM key : keys) {
                PostMessageA(popup, WM_KEYDOWN, key, 0);
                Sleep(50);
            }
        });
        SendMessageA(shell.statisticsWindow, WM_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
        watcher.join();
        kit::pumpMessages(100);
        return seen;
    }
};

TEST_F(TrayPopUpTest, ARightClickOpensThePopUpAtTheCursorWithShowStatisticsAsDefault)
{
    SetCursorPos(300, 200);
    POINT cursor{};
    GetCursorPos(&cursor);
    const Seen seen = rightClickThen({VK_ESCAPE, VK_ESCAPE});
    ASSERT_TRUE(seen.opened);
    EXPECT_EQ(seen.rect.left, cursor.x);
    EXPECT_EQ(seen.rect.top, cursor.y);
    EXPECT_EQ(seen.defaultPosition, 0);
    EXPECT_FALSE(IsWindowVisible(shell.statisticsWindow));
}

// What the command then does, and Hide Statistics after it, is CommandsTest's.
TEST_F(TrayPopUpTest, ChoosingShowStatisticsGivesItsCommand)
{
    const Seen seen = rightClickThen({VK_DOWN, VK_RETURN});
    ASSERT_TRUE(seen.opened);
    EXPECT_TRUE(IsWindowVisible(shell.statisticsWindow));
    EXPECT_TRUE(trayItemGrayed(IDC_TRAY_SHOW_STATISTICS));
}

} // namespace
