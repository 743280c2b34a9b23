// The program's own code run in the test's process: starts, ends and the windows' starting state.
#include "tests/wine/in_process.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "core/settings.h"
#include "core/state.h"
#include "res/resource.h"
#include "win32/details_window.h"
#include "win32/program_folder.h"
#include "win32/startup.h"
#include "win32/program_records.h"
#include "win32/timer_window.h"

namespace inproc {

std::string dataFilePath() { return kit::moduleFolder() + "Tq.dat"; }

void forgetEarlierRuns()
{
    kit::forgetProgramRegistry();
    DeleteFileA(dataFilePath().c_str());
}

void zeroRecords() { zeroProcessRecords(); }

bool startApplication()
{
    shell.instance = GetModuleHandleA(nullptr);
    zeroRecords();
    return initApplication();
}

void endApplication()
{
    if (shell.timerWindow != nullptr && IsWindow(shell.timerWindow))
        DestroyWindow(shell.timerWindow);
    if (details.window != nullptr && IsWindow(details.window))
        DestroyWindow(details.window);
    if (shell.statisticsWindow != nullptr)
        DestroyWindow(shell.statisticsWindow);
    if (shell.trayMenu != nullptr)
        DestroyMenu(shell.trayMenu);
    for (const char* name : {"LinkStatistics", "Counter", "Details"})
        UnregisterClassA(name, shell.instance);
    shell.statisticsWindow = nullptr;
    shell.statisticsMenu = nullptr;
    shell.trayMenu = nullptr;
    kit::pumpMessages(20);
    WPARAM ignored = 0;
    while (kit::quitPosted(ignored)) {
    }
}

void takeAsProgramFolder(const std::string& folder)
{
    std::snprintf(shell.exeDirectory, sizeof shell.exeDirectory, "%s\\", folder.c_str());
    wchar_t wide[MAX_PATH + 2] = {};
    MultiByteToWideChar(CP_ACP, 0, shell.exeDirectory, -1, wide, MAX_PATH + 1);
    setProgramFolder(wide);
}

void useCurrencySymbol(const char* symbol)
{
    std::snprintf(shell.currencySymbol, sizeof shell.currencySymbol, "%s", symbol);
    shell.currencySymbolLength = lstrlenA(shell.currencySymbol) + 1;
}

bool trayItemGrayed(UINT command) { return (GetMenuState(shell.trayMenu, command, MF_BYCOMMAND) & MF_GRAYED) != 0; }

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
    shell.instance = GetModuleHandleA(nullptr);
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
    settings.block.calculateCost = calculateCost;
    settings.block.tariffCommon = 60;
    details.filter = All;
}

int detailsRowCount() { return static_cast<int>(SendMessageA(details.list, LVM_GETITEMCOUNT, 0, 0)); }

void logOf(const std::vector<ConnectionRecord>& records, const CounterBlock& totals)
{
    ASSERT_TRUE(kit::writeFile("Tq.dat", kit::DataImage().totals(totals).records(records).bytes()));
    accounting.recordCount = static_cast<int32_t>(records.size());
}

} // namespace inproc
