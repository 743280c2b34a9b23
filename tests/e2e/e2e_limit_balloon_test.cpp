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

// Tolvar.exe of `folder` started by explorer in a virtual desktop of its own, whose taskbar shows balloons with
// their texts (Wine's stand-alone tray shows them empty); this thread then looks at that desktop's windows.
class DesktopRun {
public:
    explicit DesktopRun(const std::string& folder)
    {
        // Explorer's desktop sometimes ends within seconds of its first starts: it is started again then.
        for (int attempt = 0; attempt < 3 && window_ == nullptr; ++attempt) {
            endExplorer();
            std::string line = "explorer.exe /desktop=TolvarBalloon,800x600 \"" + folder + "Tolvar.exe\"";
            line.push_back('\0');
            STARTUPINFOA startup{};
            startup.cb = sizeof startup;
            if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                &explorer_))
                return;
            if (desktop_ == nullptr &&
                waitUntil([&] { return (desktop_ = OpenDesktopA("TolvarBalloon", 0, FALSE, GENERIC_ALL)) != nullptr; }) &&
                !SetThreadDesktop(desktop_))
                return;
            waitUntil([&] { return (window_ = FindWindowA("LinkStatistics", nullptr)) != nullptr; });
        }
        GetWindowThreadProcessId(window_, &programId_);
    }
    ~DesktopRun()
    {
        if (HANDLE program = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, programId_)) {
            TerminateProcess(program, 0);
            WaitForSingleObject(program, 5000);
            CloseHandle(program);
        }
        SetThreadDesktop(original_);
        if (desktop_ != nullptr)
            CloseDesktop(desktop_);
        endExplorer();
    }
    DesktopRun(const DesktopRun&) = delete;
    DesktopRun& operator=(const DesktopRun&) = delete;
    // The program's process, 0 when its window did not appear.
    DWORD programId() const { return window_ != nullptr ? programId_ : 0; }

private:
    void endExplorer()
    {
        if (explorer_.hProcess == nullptr)
            return;
        TerminateProcess(explorer_.hProcess, 0);
        WaitForSingleObject(explorer_.hProcess, 5000);
        CloseHandle(explorer_.hProcess);
        CloseHandle(explorer_.hThread);
        explorer_ = PROCESS_INFORMATION{};
    }

    HDESK original_ = GetThreadDesktop(GetCurrentThreadId());
    PROCESS_INFORMATION explorer_{};
    HDESK desktop_ = nullptr;
    HWND window_ = nullptr;
    DWORD programId_ = 0;
};

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
    {
        DesktopRun run(folder);
        ASSERT_NE(run.programId(), 0u);
        setService(folder, 1, "connected");
        waitUntil([&] { return !(seen = shellBalloons(run.programId())).empty(); }, 20000);
        // Told once: the figure grows on, the balloon keeps its text.
        Sleep(2500);
        later = shellBalloons(run.programId());
        clearService(folder);
    }
    ASSERT_EQ(seen.size(), 1u) << "one balloon";
    EXPECT_EQ(seen[0].rfind("This month's cost has passed 0.50 $: ", 0), 0u) << seen[0];
    EXPECT_EQ(seen[0].substr(seen[0].size() - 14), " $ by the 27th") << seen[0];
    EXPECT_TRUE(later.empty() || later == seen) << later[0];
}

} // namespace
