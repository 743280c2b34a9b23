// The billing period's start day end to end in-process: chosen in the settings dialog's check box menu, stored as
// "Period", read again at the next start, and nothing of it stored or shown at the default.
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

const char kDesignText[] = "Sum up automatically at 1st day of month";

// Key presses for the open menu, posted from a timer inside its modal loop: `downs` times down, then Enter
// (or Esc when `downs` is 0).
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

class StartDay : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::deleteKeyTree(HKEY_CURRENT_USER, "Software\\Vesk\\Tolvar");
        settings = Settings{};
        const SettingsStore store = openSettingsStore();
        ASSERT_NE(store.key, nullptr);
        writeDefaultSettings(store.key);
        RegCloseKey(store.key);
        inproc::useCurrencySymbol("$");
        shell.trayMenu = CreatePopupMenu();
        AppendMenuA(shell.trayMenu, MF_STRING | MF_GRAYED, IDC_TRAY_SETTINGS, "Settings");
    }
    void TearDown() override
    {
        close();
        DestroyMenu(shell.trayMenu);
        shell.trayMenu = nullptr;
        kit::deleteKeyTree(HKEY_CURRENT_USER, "Software\\Vesk\\Tolvar");
    }

    void open()
    {
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr,
                                    settingsDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
    }
    void close()
    {
        if (dialog)
            DestroyWindow(dialog);
        dialog = nullptr;
    }
    HWND box() { return GetDlgItem(dialog, IDC_AUTO_SUM_UP); }
    // The check box's menu from the keyboard's menu key, answered with the day `day` (0: dismissed).
    void pick(int day)
    {
        pendingDowns = day;
        SetTimer(nullptr, 0, 50, answerMenu);
        SendMessageA(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(box()), static_cast<LPARAM>(-1));
    }
    void end(int button)
    {
        SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
        close();
    }
    // A new process's start: the records zeroed, then loaded from the registry.
    void restart()
    {
        settings = Settings{};
        const SettingsStore store = openSettingsStore();
        loadSettings(store.key);
        RegCloseKey(store.key);
    }
    Bytes period(bool* found) { return kit::registryValue(HKEY_CURRENT_USER, settingsKeyPath, "Period", nullptr, found); }

    HWND dialog = nullptr;
};

TEST_F(StartDay, ChosenInTheCheckBoxMenuStoredAsPeriodAndReadAtTheNextStart)
{
    open();
    EXPECT_EQ(kit::windowText(box()), kDesignText);
    pick(15);
    EXPECT_EQ(kit::windowText(box()), "Sum up automatically at 15th day of month");
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_AUTO_SUM_UP), BST_CHECKED) << "the menu leaves the tick alone";
    end(IDC_OK);
    bool found = false;
    DWORD type = 0;
    EXPECT_EQ(kit::registryValue(HKEY_CURRENT_USER, settingsKeyPath, "Period", &type, &found), (Bytes{15, 0, 0, 0}));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));

    restart();
    EXPECT_EQ(billingStartDay(), 15);
    open();
    EXPECT_EQ(kit::windowText(box()), "Sum up automatically at 15th day of month");
    pick(3);
    EXPECT_EQ(kit::windowText(box()), "Sum up automatically at 3rd day of month");
    end(IDC_CANCEL);
    EXPECT_EQ(period(&found), (Bytes{15, 0, 0, 0})) << "Cancel stores nothing";
    EXPECT_EQ(billingStartDay(), 15);

    open();
    pick(0);
    EXPECT_EQ(kit::windowText(box()), "Sum up automatically at 15th day of month") << "a dismissed menu";
    pick(1);
    EXPECT_EQ(kit::windowText(box()), kDesignText);
    end(IDC_OK);
    period(&found);
    EXPECT_FALSE(found) << "back at the 1st the value is gone";
}

TEST_F(StartDay, AtTheDefaultNothingIsStoredAndADamagedValueCountsAsTheFirst)
{
    open();
    end(IDC_OK);
    bool found = true;
    period(&found);
    EXPECT_FALSE(found);
    for (const Bytes& stored : {Bytes{29, 0, 0, 0}, Bytes{0xff, 0xff, 0xff, 0xff}, Bytes{}, Bytes{20}}) {
        ASSERT_TRUE(kit::setRegistryValue(HKEY_CURRENT_USER, settingsKeyPath, "Period", REG_BINARY, stored));
        restart();
        EXPECT_EQ(billingStartDay(), stored == Bytes{20} ? 20 : 1) << stored.size() << " bytes";
    }
}

} // namespace
