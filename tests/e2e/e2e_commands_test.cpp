// The real program's commands driven from outside where a real run shows more than the commands' in-process tests
// (tests/wine/commands_test.cpp, shell_test.cpp): Exit's end of the process and its icon, the strip and the
// detailed list at a connection of the simulated service.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "res/resource.h"
#include "tests/e2e/real_program.h"

using namespace e2e;
using namespace kit;

namespace {

class UserCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        forgetProgramRegistry();
        install = std::make_unique<InstallFolder>(::testing::UnitTest::GetInstance()->current_test_info()->name());
        folder = install->path();
        program = startProgram(folder);
        ASSERT_NE(program.mainWindow, nullptr);
        ASSERT_TRUE(waitUntil([&] { return fileBytes(dataFile()).size() >= 64; }));
    }

    void TearDown() override
    {
        clearService(folder);
        stopProgram(program);
    }

    std::string dataFile() const { return folder + "Tq.dat"; }
    DWORD processId() const { return program.process.dwProcessId; }
    void command(int id) { PostMessageA(program.mainWindow, WM_COMMAND, static_cast<WPARAM>(id), 0); }

    std::unique_ptr<InstallFolder> install;
    std::string folder;
    Program program;
};

TEST_F(UserCommands, ExitAnsweredYesRemovesTheIconAndEndsWithCodeOne)
{
    ASSERT_TRUE(waitUntil([&] { return trayIconCount() >= 1; }));
    const int icons = trayIconCount();
    // The box's text, buttons and default are the in-process tests'.
    BoxAnswerer boxes(processId(), {{"Tolvar 2.2", "", IDYES}});
    command(IDC_STATISTICS_EXIT);
    ASSERT_EQ(boxes.finish(10000).size(), 1u);
    EXPECT_EQ(waitForExit(program, 10000), 1u);
    EXPECT_TRUE(waitUntil([&] { return trayIconCount() == icons - 1; }));
}

TEST_F(UserCommands, TheStripOpensAtAConnectionClosesByDoubleClickAndReopensOnRequest)
{
    setService(folder, 1, "connected");
    HWND strip = waitForWindowOf(processId(), "Counter");
    ASSERT_NE(strip, nullptr);
    // Found as soon as it exists, which is before its creation has shown it.
    EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(strip) != FALSE; }));
    PostMessageA(strip, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    ASSERT_TRUE(waitForNoWindowOf(processId(), "Counter"));

    command(IDC_TRAY_SHOW_TIMER);
    HWND again = waitForWindowOf(processId(), "Counter");
    ASSERT_NE(again, nullptr);

    // The end of the connection closes the strip the program painted last.
    clearService(folder);
    EXPECT_TRUE(waitForNoWindowOf(processId(), "Counter"));
}

TEST_F(UserCommands, ShowDetailedOpensOneWindowAndLaterRefillsKeepTheFilter)
{
    SYSTEMTIME today;
    GetLocalTime(&today);
    char current[64];
    std::snprintf(current, sizeof current, "Detailed statistics (%02u.%4u)", today.wMonth, today.wYear);
    const unsigned lastMonth = today.wMonth == 1 ? 12 : today.wMonth - 1u;
    const unsigned lastYear = today.wMonth == 1 ? today.wYear - 1u : today.wYear;
    char last[64];
    std::snprintf(last, sizeof last, "Detailed statistics (%02u.%4u)", lastMonth, lastYear);

    command(IDC_STATISTICS_DETAILS_ALL);
    HWND details = waitForWindowOf(processId(), "Details", "Detailed statistics (All)");
    ASSERT_NE(details, nullptr);
    command(IDC_TRAY_DETAILS_LAST_MONTH);
    EXPECT_EQ(waitForWindowOf(processId(), "Details", last), details);
    command(IDC_STATISTICS_DETAILS_CURRENT_MONTH);
    EXPECT_EQ(waitForWindowOf(processId(), "Details", current), details);

    HWND list = FindWindowExA(details, nullptr, "SysListView32", nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 0);

    // A connection that ends refills the open list with the filter chosen last.
    setService(folder, 1, "connected");
    Sleep(1500);
    clearService(folder);
    EXPECT_TRUE(waitUntil([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 1; }));
    char title[64] = {};
    GetWindowTextA(details, title, sizeof title);
    EXPECT_STREQ(title, current);

    command(IDC_TRAY_DETAILS_ALL);
    EXPECT_EQ(waitForWindowOf(processId(), "Details", "Detailed statistics (All)"), details);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 1);
}

} // namespace
