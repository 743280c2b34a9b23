// The billing period's start day end to end in-process: chosen in the settings dialog's check box menu, stored as
// "Period", read again at the next start; at the 1st nothing of it shown or stored, a damaged value taken as the 1st.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/settings.h"
#include "res/resource.h"
#include "tests/wine/in_process.h"
#include "win32/program_records.h"
#include "win32/settings_store.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Down presses for the open menu, posted from a timer inside its modal loop, then Enter (Esc for none).
int pendingDowns = 0;

void CALLBACK answerMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND menu = FindWindowA("#32768", nullptr);
    if (menu == nullptr || !IsWindowVisible(menu))
        return;
    KillTimer(nullptr, timer);
    for (int i = 0; i < pendingDowns; ++i)
        PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, pendingDowns > 0 ? VK_RETURN : VK_ESCAPE, 0);
}

// Opens the dialog on the records as they are, picks `day` from the check box's menu (the keyboard's menu key;
// 0 dismisses it), and returns the check box's text; `button` then ends the dialog.
std::string chooseInDialog(int day, int button)
{
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr,
                                     settingsDialogProc, 0);
    HWND box = GetDlgItem(dialog, IDC_AUTO_SUM_UP);
    ShowWindow(dialog, SW_SHOW);
    if (day >= 0) {
        pendingDowns = day;
        SetTimer(nullptr, 0, 50, answerMenu);
        SendMessageA(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(box), static_cast<LPARAM>(-1));
    }
    const std::string text = kit::windowText(box);
    SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    DestroyWindow(dialog);
    return text;
}

// A new process's start: the records zeroed, then loaded from the registry.
void restart()
{
    settings = Settings{};
    const SettingsStore store = openSettingsStore();
    loadSettings(store.key);
    RegCloseKey(store.key);
}

Bytes storedPeriod(bool& found, DWORD& type)
{
    return kit::registryValue(HKEY_CURRENT_USER, settingsKeyPath, "Period", &type, &found);
}

TEST(StartDay, ChosenInTheCheckBoxMenuStoredAsPeriodAndReadAtTheNextStart)
{
    kit::deleteKeyTree(HKEY_CURRENT_USER, "Software\\Vesk\\Tolvar");
    const SettingsStore store = openSettingsStore();
    writeDefaultSettings(store.key);
    RegCloseKey(store.key);
    inproc::useCurrencySymbol("$");
    shell.trayMenu = CreatePopupMenu();
    bool found = true;
    DWORD type = 0;
    const struct {
        int pick, button;
        const char* shown;
        Bytes stored; // empty: no value
    } steps[] = {
        {-1, IDC_OK, "Sum up automatically at 1st day of month", {}},  // the template's text, nothing stored
        {15, IDC_OK, "Sum up automatically at 15th day of month", {15, 0, 0, 0}},
        {3, IDC_CANCEL, "Sum up automatically at 3rd day of month", {15, 0, 0, 0}}, // Cancel stores nothing
        {0, IDC_OK, "Sum up automatically at 15th day of month", {15, 0, 0, 0}},    // the menu dismissed
        {1, IDC_OK, "Sum up automatically at 1st day of month", {}},                // back at the 1st: removed
    };
    for (const auto& s : steps) {
        restart();
        EXPECT_EQ(chooseInDialog(s.pick, s.button), s.shown);
        EXPECT_EQ(storedPeriod(found, type), s.stored) << s.shown;
        EXPECT_EQ(found, !s.stored.empty()) << s.shown;
        EXPECT_TRUE(!found || type == REG_BINARY) << s.shown;
    }
    for (const Bytes& damaged : {Bytes{29, 0, 0, 0}, Bytes{0xff, 0xff, 0xff, 0xff}, Bytes{}, Bytes{20}}) {
        ASSERT_TRUE(kit::setRegistryValue(HKEY_CURRENT_USER, settingsKeyPath, "Period", REG_BINARY, damaged));
        restart();
        EXPECT_EQ(billingStartDay(), damaged == Bytes{20} ? 20 : 1) << damaged.size() << " bytes";
    }
    DestroyMenu(shell.trayMenu);
    shell.trayMenu = nullptr;
    kit::deleteKeyTree(HKEY_CURRENT_USER, "Software\\Vesk\\Tolvar");
}

} // namespace
