// The real program's word when a limit is passed, seen from outside: the shell's balloon over the tray icon, its
// text naming the limit, the figure and the forecast to the end of the stored billing period.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/layout.h"
#include "tests/e2e/real_program.h"

using namespace e2e;
using namespace kit;

namespace {

// A tooltip's text is its own, not the window's title that GetWindowText reads across processes: asked by message.
std::string tooltipText(HWND window)
{
    char text[512] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        &copied);
    return std::string(text, copied < sizeof text ? copied : sizeof text - 1);
}

// The texts of the visible balloon tooltips that a process other than `programId` shows.
struct BalloonSearch {
    DWORD programId;                // the program's own tooltips do not count
    std::vector<std::string> texts; // what the shell's show
};

BOOL CALLBACK collectBalloon(HWND window, LPARAM data)
{
    BalloonSearch& search = *reinterpret_cast<BalloonSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.programId && classNameOf(window) == TOOLTIPS_CLASSA && IsWindowVisible(window) &&
        (GetWindowLongA(window, GWL_STYLE) & TTS_BALLOON) != 0 && !tooltipText(window).empty())
        search.texts.push_back(tooltipText(window));
    return TRUE;
}

std::vector<std::string> shellBalloons(DWORD programId)
{
    BalloonSearch search{programId, {}};
    EnumWindows(collectBalloon, reinterpret_cast<LPARAM>(&search));
    return search.texts;
}

TEST(LimitBalloon, TheMonthCostLimitIsToldOnceWithTheForecastToTheStoredPeriodsEnd)
{
    const auto install = freshInstallForThisTest("balloon-");
    const std::string folder = install->path();
    SettingsBlock block{};
    block.calculateCost = block.warningsEnabled = block.costWarning = block.costWarnPerMonth = 1;
    block.tariffCommon = block.tariffEconomic = block.tariffWeekend = 60.0; // one per second
    block.costLimitPerMonth = 0.5;
    uint8_t stored[kSettingsBlockSize], extra[kSettingsExtraSize], period[kSettingsPeriodSize];
    encodeSettingsBlock(block, stored);
    encodeSettingsExtra(SettingsExtra{0, 1}, extra);
    encodeSettingsPeriod(SettingsPeriod{28}, period);
    ASSERT_TRUE(setRegistryValue(HKEY_CURRENT_USER, kSettingsKey, "Settings", REG_BINARY, Bytes(stored, stored + sizeof stored)));
    ASSERT_TRUE(setRegistryValue(HKEY_CURRENT_USER, kSettingsKey, "Settings1", REG_BINARY, Bytes(extra, extra + sizeof extra)));
    ASSERT_TRUE(setRegistryValue(HKEY_CURRENT_USER, kSettingsKey, "Period", REG_BINARY, Bytes(period, period + sizeof period)));

    std::vector<std::string> seen, later;
    Program program = startProgram(folder);
    ASSERT_NE(program.mainWindow, nullptr);
    setService(folder, 1, "connected");
    waitUntil([&] { return !(seen = shellBalloons(program.process.dwProcessId)).empty(); }, 20000);
    // Told once: the figure grows on, the balloon keeps its text.
    Sleep(2500);
    later = shellBalloons(program.process.dwProcessId);
    clearService(folder);
    stopProgram(program);
    ASSERT_EQ(seen.size(), 1u) << "one balloon";
    EXPECT_EQ(seen[0].rfind("This month's cost has passed 0.50 $: ", 0), 0u) << seen[0];
    EXPECT_EQ(seen[0].substr(seen[0].size() - 14), " $ by the 27th") << seen[0];
    EXPECT_TRUE(later.empty() || later == seen) << later[0];
}

} // namespace
