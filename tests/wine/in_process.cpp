// The program's own code run in the test's process: starts, ends and the windows' starting state.
#include "tests/wine/in_process.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "core/settings.h"
#include "core/state.h"
#include "res/resource.h"
#include "win32/details_window.h"
#include "win32/main_window.h"
#include "win32/shell.h"
#include "win32/timer_window.h"

namespace inproc {

std::string dataFilePath() { return kit::moduleFolder() + "Tq.dat"; }

void forgetEarlierRuns()
{
    kit::forgetProgramRegistry();
    DeleteFileA(dataFilePath().c_str());
}

void zeroRecords()
{
    liveConnection = LiveConnection{};
    counterBlock = CounterBlock{};
    monthStamp = SystemTime{};
    recordCount = 0;
    settingsBlock = SettingsBlock{};
    settingsExtra = SettingsExtra{};
}

bool startApplication()
{
    instance = GetModuleHandleA(nullptr);
    zeroRecords();
    return initApplication();
}

void endApplication()
{
    if (timerWindow != nullptr && IsWindow(timerWindow))
        DestroyWindow(timerWindow);
    if (detailsWindow != nullptr && IsWindow(detailsWindow))
        DestroyWindow(detailsWindow);
    if (mainWindow != nullptr)
        DestroyWindow(mainWindow);
    if (trayMenu != nullptr)
        DestroyMenu(trayMenu);
    for (const char* name : {"LinkStatistics", "Counter", "Details"})
        UnregisterClassA(name, instance);
    mainWindow = nullptr;
    mainMenu = nullptr;
    trayMenu = nullptr;
    kit::pumpMessages(20);
    WPARAM ignored = 0;
    while (kit::quitPosted(ignored)) {
    }
}

void takeAsProgramFolder(const std::string& folder)
{
    std::snprintf(exeDirectory, sizeof exeDirectory, "%s\\", folder.c_str());
}

void useCurrencySymbol(const char* symbol)
{
    std::snprintf(currencySymbol, sizeof currencySymbol, "%s", symbol);
    currencySymbolLength = lstrlenA(currencySymbol) + 1;
}

bool trayItemGrayed(UINT command) { return (GetMenuState(trayMenu, command, MF_BYCOMMAND) & MF_GRAYED) != 0; }

bool registerTimerStripClass()
{
    return kit::registerWindowClass("Counter", timerWindowProc, CS_DBLCLKS,
                                    static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), nullptr,
                                    LoadCursorA(nullptr, IDC_ARROW));
}

bool registerDetailsClass()
{
    const HBRUSH buttonFace = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    return kit::registerWindowClass("Details", detailsWindowProc, 0, buttonFace,
                                    LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_DETAILS)),
                                    LoadCursorA(nullptr, IDC_ARROW), MAKEINTRESOURCEA(IDM_DETAILS));
}

void prepareDetailsWindow(int32_t calculateCost)
{
    instance = GetModuleHandleA(nullptr);
    // Registered once per process: later tests find the class taken, which is as good.
    registerDetailsClass();
    // The placement key as every start makes sure of it, without a stored "Place".
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kit::kPlacementKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "Place");
        RegCloseKey(key);
    }
    useCurrencySymbol("$");
    zeroRecords();
    applyDefaultSettings();
    settingsBlock.calculateCost = calculateCost;
    settingsBlock.tariffCommon = 60;
    currentViewFilter = All;
}

int detailsRowCount() { return static_cast<int>(SendMessageA(detailsList, LVM_GETITEMCOUNT, 0, 0)); }

void logOf(const std::vector<ConnectionRecord>& records, const CounterBlock& totals)
{
    ASSERT_TRUE(kit::writeFile("Tq.dat", kit::DataImage().totals(totals).records(records).bytes()));
    recordCount = static_cast<int32_t>(records.size());
}

} // namespace inproc
