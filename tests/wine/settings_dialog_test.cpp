// The settings dialog driven as a user would: what it shows, its enable cascade, amount checks and endings.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "win32/program_records.h"
#include "res/resource.h"
#include "core/layout.h"
#include "core/settings.h"
#include "win32/settings_store.h"
#include "win32/time_fields.h"
#include "tests/wine/in_process.h"

namespace {

using kit::windowText;

void resetToFirstRun()
{
    settings.block = SettingsBlock{};
    settings.extra = SettingsExtra{};
    applyDefaultSettings();
}

// The texts of the ten time parts: "from", "to", then the two limits.
std::vector<std::string> timeTexts(HWND dialog)
{
    std::vector<std::string> texts;
    for (int field : {IDC_COMMON_FROM, IDC_COMMON_TO, IDC_TIME_LIMIT_PER_CONN, IDC_TIME_LIMIT_PER_MONTH})
        for (TimePartPlace place : {HoursPart, MinutesPart, SecondsPart})
            if (HWND part = timeFieldPart(dialog, field, place))
                texts.push_back(windowText(part));
    return texts;
}

// Disabled counts too: the dialog must give the item back fully usable.
bool settingsCommandEnabled()
{
    return (GetMenuState(shell.trayMenu, IDC_TRAY_SETTINGS, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0;
}

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetToFirstRun();
        inproc::useCurrencySymbol("$");
        shell.trayMenu = CreatePopupMenu();
        AppendMenuA(shell.trayMenu, MF_STRING | MF_GRAYED, IDC_TRAY_SETTINGS, "Settings");
    }
    void TearDown() override
    {
        if (dialog)
            DestroyWindow(dialog);
        DestroyMenu(shell.trayMenu);
        shell.trayMenu = nullptr;
    }

    // Opens the dialog modelessly on the records as they are now.
    void open()
    {
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr,
                                    settingsDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
    }

    HWND item(int id) { return GetDlgItem(dialog, id); }
    std::string text(int id) { return windowText(item(id)); }
    bool enabled(int id) { return IsWindowEnabled(item(id)) != FALSE; }
    bool checked(int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
    void click(int id) { SendMessageA(item(id), BM_CLICK, 0, 0); }

    // A time field counts as shown when it is enabled and its parts are visible.
    bool fieldShown(int id)
    {
        HWND host = item(id);
        HWND part = GetWindow(host, GW_CHILD);
        const bool partsVisible = part && IsWindowVisible(part);
        EXPECT_EQ(IsWindowEnabled(host) != FALSE, partsVisible) << id;
        return partsVisible;
    }

    void expectEnabled(std::initializer_list<int> ids, bool on)
    {
        for (int id : ids)
            EXPECT_EQ(enabled(id), on) << "control " << id;
    }

    // Puts a text in an amount edit and moves the focus away from it.
    std::string leave(int id, const char* typed)
    {
        SetDlgItemTextA(dialog, id, typed);
        SetFocus(item(id));
        SetFocus(item(IDC_SHOW_COUNTER));
        return text(id);
    }

    void typeInto(HWND part, const char* keys) { kit::typeKeys(part, keys, kit::Typing::OverText); }

    HWND dialog = nullptr;
};

TEST_F(SettingsDialog, FirstRunDefaultsAreShown)
{
    open();
    for (int id : {IDC_SHOW_COUNTER, IDC_CALCULATE_COST, IDC_AS_ECONOMIC, IDC_AUTO_SUM_UP})
        EXPECT_TRUE(checked(id)) << id;
    for (int id = IDC_WARNINGS; id <= IDC_COST_WARN_PER_MONTH; ++id)
        EXPECT_FALSE(checked(id)) << id;
    EXPECT_FALSE(checked(IDC_HOLIDAY));
    for (int id : {IDC_TARIFF_COMMON, IDC_TARIFF_ECONOMIC, IDC_TARIFF_WEEKEND, IDC_COST_LIMIT_PER_CONN,
                   IDC_COST_LIMIT_PER_MONTH, IDC_ADD_SECONDS})
        EXPECT_EQ(text(id), "0") << id;
    EXPECT_EQ(timeTexts(dialog), (std::vector<std::string>{"7", "00", "20", "00", "0", "00", "00", "0", "00", "00"}));

    for (int id = IDC_TIME_WARNING; id <= IDC_LABEL_COST_PER_MONTH; ++id)
        EXPECT_FALSE(enabled(id)) << id;
    EXPECT_FALSE(fieldShown(IDC_TIME_LIMIT_PER_CONN));
    EXPECT_FALSE(fieldShown(IDC_TIME_LIMIT_PER_MONTH));
    EXPECT_TRUE(fieldShown(IDC_COMMON_FROM));
    EXPECT_TRUE(fieldShown(IDC_COMMON_TO));
    EXPECT_FALSE(enabled(IDC_TARIFF_WEEKEND));
    expectEnabled({IDC_SHOW_COUNTER, IDC_CALCULATE_COST, IDC_WARNINGS, IDC_ADD_SECONDS, IDC_AUTO_SUM_UP, IDC_OK,
                   IDC_CANCEL, IDC_TARIFF_COMMON, IDC_TARIFF_ECONOMIC, IDC_AS_ECONOMIC, IDC_HOLIDAY},
                  true);

    EXPECT_EQ(text(IDC_PER_MIN_COMMON), "$/min");
    EXPECT_EQ(text(IDC_PER_MIN_ECONOMIC), "$/min");
    EXPECT_EQ(text(IDC_PER_MIN_WEEKEND), "$/min");
    EXPECT_EQ(text(IDC_LABEL_COST_PER_CONN), "$ for connection");
    EXPECT_EQ(text(IDC_LABEL_COST_PER_MONTH), "$ for month");
    EXPECT_EQ(text(IDC_LABEL_TIME_PER_CONN), "for connection");
    EXPECT_EQ(text(IDC_LABEL_TIME_PER_MONTH), "for month");
    EXPECT_EQ(GetFocus(), item(IDC_SHOW_COUNTER));
}

TEST_F(SettingsDialog, StoredValuesAreShownWithEveryWarningAvailable)
{
    SettingsBlock& s = settings.block;
    s.weekendAsEconomic = 0;
    s.todayIsHoliday = 1;
    s.warningsEnabled = s.costWarning = 1;
    s.timeWarning = 2; // any nonzero flag is on
    s.timeWarnPerConn = s.timeWarnPerMonth = s.costWarnPerConn = s.costWarnPerMonth = 1;
    s.tariffCommon = 1.5;
    s.tariffEconomic = 0.25;
    s.tariffWeekend = 0.75;
    s.costLimitPerConn = 10;
    s.costLimitPerMonth = 200.125;
    s.commonFrom = Hms{8, 5, 0};
    s.commonTo = Hms{19, 30, 0};
    s.timeLimitPerConn = Hms{100, 5, 7};
    s.timeLimitPerMonth = Hms{999, 59, 0};
    settings.extra = SettingsExtra{45, 0};
    open();

    EXPECT_TRUE(checked(IDC_TIME_WARNING));
    EXPECT_TRUE(checked(IDC_HOLIDAY));
    EXPECT_FALSE(checked(IDC_AUTO_SUM_UP));
    EXPECT_EQ(text(IDC_TARIFF_COMMON), "1.5");
    EXPECT_EQ(text(IDC_TARIFF_ECONOMIC), "0.25");
    EXPECT_EQ(text(IDC_TARIFF_WEEKEND), "0.75");
    EXPECT_EQ(text(IDC_COST_LIMIT_PER_CONN), "10");
    EXPECT_EQ(text(IDC_COST_LIMIT_PER_MONTH), "200.125");
    EXPECT_EQ(text(IDC_ADD_SECONDS), "45");
    EXPECT_EQ(timeTexts(dialog),
              (std::vector<std::string>{"8", "05", "19", "30", "100", "05", "07", "999", "59", "00"}));
    for (int id = IDC_TIME_WARNING; id <= IDC_LABEL_COST_PER_MONTH; ++id)
        EXPECT_TRUE(enabled(id)) << id;
    EXPECT_TRUE(enabled(IDC_TARIFF_WEEKEND));
    EXPECT_TRUE(fieldShown(IDC_TIME_LIMIT_PER_CONN));
    EXPECT_TRUE(fieldShown(IDC_TIME_LIMIT_PER_MONTH));
}

TEST_F(SettingsDialog, CurrencyLabelsTakeTheSymbolAsDrawn)
{
    std::snprintf(shell.currencySymbol, sizeof shell.currencySymbol, "\x80");
    shell.currencySymbolLength = 2;
    open();
    EXPECT_EQ(text(IDC_PER_MIN_WEEKEND), "\x80/min");
    EXPECT_EQ(text(IDC_LABEL_COST_PER_MONTH), "\x80 for month");
    DestroyWindow(dialog);

    std::snprintf(shell.currencySymbol, sizeof shell.currencySymbol, "EUR");
    shell.currencySymbolLength = 0; // the locale lookup failed
    open();
    EXPECT_EQ(text(IDC_PER_MIN_COMMON), "/min");
    EXPECT_EQ(text(IDC_LABEL_COST_PER_CONN), " for connection");
}

TEST_F(SettingsDialog, CalculateCostGovernsTheGridAndTheCostWarningOnly)
{
    SettingsBlock& s = settings.block;
    s.weekendAsEconomic = 0;
    s.warningsEnabled = s.timeWarning = s.costWarning = 1;
    s.timeWarnPerConn = s.timeWarnPerMonth = s.costWarnPerConn = s.costWarnPerMonth = 1;
    open();
    const std::initializer_list<int> grid = {IDC_AS_ECONOMIC,    IDC_HOLIDAY,         IDC_TARIFF_COMMON,
                                             IDC_TARIFF_ECONOMIC, IDC_TARIFF_WEEKEND, IDC_LABEL_COMMON,
                                             IDC_LABEL_ECONOMIC, IDC_LABEL_WEEKEND,   IDC_LABEL_FROM,
                                             IDC_LABEL_TO,       IDC_TARIFF_GRID,     IDC_PER_MIN_COMMON,
                                             IDC_PER_MIN_ECONOMIC, IDC_PER_MIN_WEEKEND};
    const std::initializer_list<int> costWarning = {IDC_COST_WARNING,        IDC_COST_WARN_PER_CONN,
                                                    IDC_COST_WARN_PER_MONTH, IDC_COST_LIMIT_PER_CONN,
                                                    IDC_COST_LIMIT_PER_MONTH, IDC_LABEL_COST_PER_CONN,
                                                    IDC_LABEL_COST_PER_MONTH};
    const std::initializer_list<int> timeWarning = {IDC_TIME_WARNING, IDC_TIME_WARN_PER_CONN, IDC_TIME_WARN_PER_MONTH,
                                                    IDC_LABEL_TIME_PER_CONN, IDC_LABEL_TIME_PER_MONTH};

    click(IDC_CALCULATE_COST);
    EXPECT_FALSE(checked(IDC_CALCULATE_COST));
    expectEnabled(grid, false);
    expectEnabled(costWarning, false);
    EXPECT_FALSE(fieldShown(IDC_COMMON_FROM));
    EXPECT_FALSE(fieldShown(IDC_COMMON_TO));
    expectEnabled(timeWarning, true);
    EXPECT_TRUE(fieldShown(IDC_TIME_LIMIT_PER_CONN));
    EXPECT_TRUE(fieldShown(IDC_TIME_LIMIT_PER_MONTH));

    click(IDC_CALCULATE_COST);
    expectEnabled(grid, true);
    expectEnabled(costWarning, true);
    EXPECT_TRUE(fieldShown(IDC_COMMON_FROM));
    EXPECT_TRUE(fieldShown(IDC_COMMON_TO));

    // Without "Warning if.." ticking "Calculate cost" brings the grid back but not the cost warning.
    click(IDC_WARNINGS);
    click(IDC_CALCULATE_COST);
    click(IDC_CALCULATE_COST);
    expectEnabled(grid, true);
    expectEnabled(costWarning, false);
    expectEnabled(timeWarning, false);
}

TEST_F(SettingsDialog, WarningsWithoutCostsOfferTheTimeWarningOnly)
{
    settings.block.calculateCost = 0;
    settings.block.costWarning = 1;
    open();
    click(IDC_WARNINGS);
    EXPECT_TRUE(enabled(IDC_TIME_WARNING));
    EXPECT_FALSE(enabled(IDC_COST_WARNING));
    expectEnabled({IDC_COST_WARN_PER_CONN, IDC_COST_WARN_PER_MONTH, IDC_COST_LIMIT_PER_CONN}, false);
    expectEnabled({IDC_TIME_WARN_PER_CONN, IDC_TIME_WARN_PER_MONTH}, false);

    click(IDC_TIME_WARNING);
    expectEnabled({IDC_TIME_WARN_PER_CONN, IDC_TIME_WARN_PER_MONTH}, true);
    EXPECT_FALSE(fieldShown(IDC_TIME_LIMIT_PER_CONN));
    EXPECT_FALSE(enabled(IDC_LABEL_TIME_PER_CONN));
}

TEST_F(SettingsDialog, RowBoxesGovernTheirFieldsAndLabels)
{
    settings.block.warningsEnabled = settings.block.timeWarning = settings.block.costWarning = 1;
    open();
    click(IDC_TIME_WARN_PER_MONTH);
    EXPECT_TRUE(fieldShown(IDC_TIME_LIMIT_PER_MONTH));
    EXPECT_TRUE(enabled(IDC_LABEL_TIME_PER_MONTH));
    EXPECT_FALSE(fieldShown(IDC_TIME_LIMIT_PER_CONN));
    click(IDC_TIME_WARN_PER_MONTH);
    EXPECT_FALSE(fieldShown(IDC_TIME_LIMIT_PER_MONTH));
    EXPECT_FALSE(enabled(IDC_LABEL_TIME_PER_MONTH));

    click(IDC_COST_WARN_PER_CONN);
    expectEnabled({IDC_COST_LIMIT_PER_CONN, IDC_LABEL_COST_PER_CONN}, true);
    expectEnabled({IDC_COST_LIMIT_PER_MONTH, IDC_LABEL_COST_PER_MONTH}, false);

    // The warning boxes above take their rows along, and "Warning if.." takes everything.
    click(IDC_TIME_WARN_PER_CONN);
    click(IDC_TIME_WARNING);
    EXPECT_FALSE(fieldShown(IDC_TIME_LIMIT_PER_CONN));
    expectEnabled({IDC_TIME_WARN_PER_CONN, IDC_LABEL_TIME_PER_CONN}, false);
    click(IDC_TIME_WARNING);
    EXPECT_TRUE(fieldShown(IDC_TIME_LIMIT_PER_CONN));
    click(IDC_COST_WARNING);
    expectEnabled({IDC_COST_WARN_PER_CONN, IDC_COST_LIMIT_PER_CONN, IDC_LABEL_COST_PER_CONN}, false);
    click(IDC_COST_WARNING);
    expectEnabled({IDC_COST_WARN_PER_CONN, IDC_COST_LIMIT_PER_CONN, IDC_LABEL_COST_PER_CONN}, true);
    click(IDC_WARNINGS);
    for (int id = IDC_TIME_WARNING; id <= IDC_LABEL_COST_PER_MONTH; ++id)
        EXPECT_FALSE(enabled(id)) << id;
    EXPECT_FALSE(fieldShown(IDC_TIME_LIMIT_PER_CONN));
}

TEST_F(SettingsDialog, AsEconomicCopiesTheEconomicAmountOfThatMoment)
{
    settings.block.tariffWeekend = 0.3;
    open();
    SetDlgItemTextA(dialog, IDC_TARIFF_ECONOMIC, "0.50");
    click(IDC_AS_ECONOMIC);
    EXPECT_TRUE(enabled(IDC_TARIFF_WEEKEND));
    EXPECT_EQ(text(IDC_TARIFF_WEEKEND), "0.3");
    click(IDC_AS_ECONOMIC);
    EXPECT_FALSE(enabled(IDC_TARIFF_WEEKEND));
    EXPECT_EQ(text(IDC_TARIFF_WEEKEND), "0.5");
    SetDlgItemTextA(dialog, IDC_TARIFF_ECONOMIC, "2.000");
    EXPECT_EQ(text(IDC_TARIFF_WEEKEND), "0.5");
    click(IDC_AS_ECONOMIC);
    click(IDC_AS_ECONOMIC);
    EXPECT_EQ(text(IDC_TARIFF_WEEKEND), "2");
}

TEST_F(SettingsDialog, AmountsAreNormalisedWhenTheyLoseTheFocus)
{
    settings.block.weekendAsEconomic = 0;
    settings.block.warningsEnabled = settings.block.costWarning = 1;
    settings.block.costWarnPerConn = settings.block.costWarnPerMonth = 1;
    open();
    kit::BoxAnswerer noBoxes(std::vector<kit::Box>{});
    const struct {
        const char* typed;
        const char* shown;
    } rows[] = {{"12", "12"},   {"012", "12"},  {"007", "7"},    {"000", "0"},   {"0", "0"},
                {"100", "100"}, {"5.0", "5."},  {"5.", "5."},    {"0.50", "0.5"}, {"0.0", "0."},
                {"1.250", "1.25"}, {"007.5", "7.5"}, {"00.5", "0.5"}, {"0.5", "0.5"}, {"10.0", "10."}};
    for (const auto& row : rows)
        EXPECT_EQ(leave(IDC_TARIFF_COMMON, row.typed), row.shown) << row.typed;
    EXPECT_EQ(leave(IDC_TARIFF_ECONOMIC, "0.250"), "0.25");
    EXPECT_EQ(leave(IDC_TARIFF_WEEKEND, "03"), "3");
    EXPECT_EQ(leave(IDC_COST_LIMIT_PER_CONN, "1.0"), "1.");
    EXPECT_EQ(leave(IDC_COST_LIMIT_PER_MONTH, "0100"), "100");
    // A long pasted number is judged whole and kept.
    EXPECT_EQ(leave(IDC_TARIFF_COMMON, "00123456789012345678901234.5"), "123456789012345678901234.5");
    noBoxes.finish();
}

TEST_F(SettingsDialog, InvalidAmountsAreReportedAndReplacedByZero)
{
    settings.block.warningsEnabled = settings.block.costWarning = settings.block.costWarnPerMonth = 1;
    open();
    const char* invalid[] = {".5", "1.2.3", "1,5", "-1", "1e3", "abc", "1 5", "", "12345678901234567a",
                             "1234567890123456789x"};
    for (const char* typed : invalid) {
        // Every amount edit shares the check; the cost limits are tried with the first text.
        for (int id : {IDC_TARIFF_COMMON, IDC_COST_LIMIT_PER_MONTH}) {
            if (id == IDC_COST_LIMIT_PER_MONTH && typed != invalid[0])
                continue;
            SCOPED_TRACE(std::string("\"") + typed + "\" in " + std::to_string(id));
            kit::BoxAnswerer boxes({{"Input error", "Invalid currency format!", IDOK}});
            EXPECT_EQ(leave(id, typed), "0");
            boxes.finish();
            EXPECT_EQ(GetFocus(), item(id));
            DWORD start = 1, end = 0;
            SendMessageA(item(id), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            EXPECT_EQ(start, 0u);
            EXPECT_EQ(end, 1u);
        }
    }
}

// Digits with at most one point, not at the start.
bool validAmountText(const std::string& text)
{
    if (text.empty() || text[0] == '.')
        return false;
    int points = 0;
    for (char c : text) {
        if (c == '.')
            ++points;
        else if (c < '0' || c > '9')
            return false;
    }
    return points <= 1;
}

// Pasted amounts far longer than the edits let anyone type.
TEST_F(SettingsDialog, PastedAmountsAreRefusedOrNormalisedAndStoredFromTheirFirstTenCharacters)
{
    const struct {
        std::string pasted;
        bool refused;
    } rows[] = {
        {"1234567890123456789", false},
        {"12345678901234567890", false},
        {"123456789.123456789", false},
        {"00000000000000000001.5", false},
        {"12345678901234567a", true},
        {"1234567890123456789x", true},
        {"1.2345678901234567.9", true},
        {std::string(1000, '9'), false},
        {std::string(30000, '7'), false},
        {std::string(25, '0') + "." + std::string(25, '0'), false},
    };
    for (const auto& row : rows) {
        const std::string& pasted = row.pasted;
        settings.block.tariffCommon = 1.5;
        open();
        const std::string context = pasted.substr(0, 40) + " (" + std::to_string(pasted.size()) + " characters)";
        SCOPED_TRACE(context);

        kit::BoxAnswerer boxes(row.refused ? std::vector<kit::Box>{{"Input error", "Invalid currency format!", IDOK}}
                                           : std::vector<kit::Box>{});
        SendDlgItemMessageA(dialog, IDC_TARIFF_COMMON, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pasted.c_str()));
        SetFocus(GetDlgItem(dialog, IDC_TARIFF_COMMON));
        SetFocus(GetDlgItem(dialog, IDC_SHOW_COUNTER));
        boxes.finish();

        const std::string shown = text(IDC_TARIFF_COMMON);
        if (row.refused)
            EXPECT_EQ(shown, "0");
        else
            EXPECT_TRUE(validAmountText(shown)) << " became " << shown.substr(0, 40);

        SendDlgItemMessageA(dialog, IDC_OK, BM_CLICK, 0, 0);
        EXPECT_TRUE(std::isfinite(settings.block.tariffCommon)) << context;
        EXPECT_EQ(settings.block.tariffCommon, std::atof(shown.substr(0, 10).c_str())) << context;
        DestroyWindow(dialog);
        dialog = nullptr;
    }
}

// Runs the dialog modally as the shell does; each step runs on its own later turn of the dialog's loop.
class ModalSettingsDialog : public SettingsDialog {
protected:
    // The settings key exists, as after a first start, so that OK stores; what it held comes back at the end.
    void SetUp() override
    {
        SettingsDialog::SetUp();
        createdKey = !kit::keyExists(HKEY_CURRENT_USER, settingsKeyPath);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, settingsKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void TearDown() override
    {
        if (createdKey)
            kit::deleteKeyTree(HKEY_CURRENT_USER, settingsKeyPath);
        dialog = nullptr;
        SettingsDialog::TearDown();
    }

    std::vector<uint8_t> readValue(const char* name)
    {
        return kit::registryValue(HKEY_CURRENT_USER, settingsKeyPath, name);
    }
    std::vector<uint8_t> stored(const SettingsBlock& block)
    {
        std::vector<uint8_t> bytes(kSettingsBlockSize);
        encodeSettingsBlock(block, bytes.data());
        return bytes;
    }
    std::vector<uint8_t> stored(const SettingsExtra& extra)
    {
        std::vector<uint8_t> bytes(kSettingsExtraSize);
        encodeSettingsExtra(extra, bytes.data());
        return bytes;
    }

    INT_PTR run(std::vector<std::function<void()>> turns)
    {
        steps = std::move(turns);
        current = this;
        SetTimer(nullptr, 0, 1, nextTurn);
        const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr,
                                               settingsDialogProc, 0);
        current = nullptr;
        return result;
    }

    static void CALLBACK nextTurn(HWND, UINT, UINT_PTR timer, DWORD)
    {
        ModalSettingsDialog* self = current;
        if (!self)
            return KillTimer(nullptr, timer), void();
        self->dialog = FindWindowA("#32770", "Settings");
        if (self->steps.empty() || !self->dialog) {
            KillTimer(nullptr, timer);
            if (self->dialog)
                EndDialog(self->dialog, -1); // a test that forgot to end the dialog fails instead of hanging
            return;
        }
        auto step = self->steps.front();
        self->steps.erase(self->steps.begin());
        step();
    }

    static ModalSettingsDialog* current;
    std::vector<std::function<void()>> steps;
    kit::SavedValue savedBlock{HKEY_CURRENT_USER, settingsKeyPath, "Settings"};
    kit::SavedValue savedExtra{HKEY_CURRENT_USER, settingsKeyPath, "Settings1"};
    bool createdKey = false;
};
ModalSettingsDialog* ModalSettingsDialog::current = nullptr;

TEST_F(ModalSettingsDialog, OkStoresEveryControlAndRepaintsTheStatistics)
{
    settings.block.commonFrom.seconds = 15; // no control edits it
    settings.block.commonTo = Hms{20, 75, 0};
    shell.statisticsWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    UpdateWindow(shell.statisticsWindow);
    SettingsBlock expected = settings.block;
    expected.commonTo.minutes = 5; // a stored minute of 60 to 99 shows and is stored as its last digit
    expected.warningsEnabled = expected.timeWarning = expected.timeWarnPerConn = 1;
    expected.timeLimitPerConn = Hms{1, 30, 0};
    expected.tariffCommon = 0.25;
    expected.tariffEconomic = 1234567890.0; // eleven characters, stored from ten
    expected.todayIsHoliday = 1;
    SettingsExtra expectedExtra{12, 0};

    const INT_PTR result = run({[&] {
        EXPECT_EQ(windowText(timeFieldPart(dialog, IDC_COMMON_TO, MinutesPart)), "5");
        click(IDC_WARNINGS);
        click(IDC_TIME_WARNING);
        click(IDC_TIME_WARN_PER_CONN);
        typeInto(timeFieldPart(dialog, IDC_TIME_LIMIT_PER_CONN, HoursPart), "1");
        typeInto(timeFieldPart(dialog, IDC_TIME_LIMIT_PER_CONN, MinutesPart), "30");
        typeInto(timeFieldPart(dialog, IDC_TIME_LIMIT_PER_CONN, SecondsPart), "00");
        SetDlgItemTextA(dialog, IDC_TARIFF_COMMON, "0.250");
        SetDlgItemTextA(dialog, IDC_TARIFF_ECONOMIC, "12345678901");
        SetDlgItemTextA(dialog, IDC_ADD_SECONDS, "123");
        click(IDC_HOLIDAY);
        click(IDC_AUTO_SUM_UP);
        click(IDC_OK);
    }});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(0, std::memcmp(&settings.block, &expected, sizeof expected));
    EXPECT_EQ(settings.block.timeLimitPerConn.hours, 1);
    EXPECT_EQ(settings.block.timeLimitPerConn.minutes, 30);
    EXPECT_EQ(settings.block.commonFrom.seconds, 15);
    EXPECT_EQ(settings.block.tariffEconomic, 1234567890.0);
    EXPECT_EQ(settings.extra.addSeconds, 12);
    EXPECT_EQ(0, std::memcmp(&settings.extra, &expectedExtra, sizeof expectedExtra));
    EXPECT_EQ(readValue("Settings"), stored(expected));
    EXPECT_EQ(readValue("Settings1"), stored(expectedExtra));
    EXPECT_TRUE(GetUpdateRect(shell.statisticsWindow, nullptr, FALSE));
    EXPECT_TRUE(settingsCommandEnabled());
    DestroyWindow(shell.statisticsWindow);
    shell.statisticsWindow = nullptr;
}

TEST_F(ModalSettingsDialog, CancelAndTheCloseBoxLeaveTheSettingsAlone)
{
    settings.block.tariffCommon = 0.5;
    saveSettings();
    const SettingsBlock before = settings.block;
    const SettingsExtra beforeExtra = settings.extra;
    const std::vector<uint8_t> storedBefore = readValue("Settings");
    auto change = [&] {
        click(IDC_CALCULATE_COST);
        click(IDC_WARNINGS);
        SetDlgItemTextA(dialog, IDC_ADD_SECONDS, "9");
        typeInto(timeFieldPart(dialog, IDC_COMMON_FROM, HoursPart), "9");
    };

    EXPECT_EQ(run({[&] { change(); click(IDC_CANCEL); }}), 1);
    EXPECT_TRUE(settingsCommandEnabled());

    EnableMenuItem(shell.trayMenu, IDC_TRAY_SETTINGS, MF_BYCOMMAND | MF_GRAYED);
    EXPECT_EQ(run({[&] {
        change();
        SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(settingsCommandEnabled()) << "the close box enables it at once";
    }}),
              1);
    EXPECT_TRUE(settingsCommandEnabled());

    EXPECT_EQ(0, std::memcmp(&settings.block, &before, sizeof before));
    EXPECT_EQ(0, std::memcmp(&settings.extra, &beforeExtra, sizeof beforeExtra));
    EXPECT_EQ(readValue("Settings"), storedBefore);
}

TEST_F(ModalSettingsDialog, EnterAndEscDoNothing)
{
    bool stillOpen = false;
    const INT_PTR result = run({[&] {
                                    SetFocus(item(IDC_TARIFF_COMMON));
                                    PostMessageA(item(IDC_TARIFF_COMMON), WM_KEYDOWN, VK_RETURN, 0);
                                    PostMessageA(item(IDC_TARIFF_COMMON), WM_KEYDOWN, VK_ESCAPE, 0);
                                    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
                                    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                                    SendMessageA(dialog, WM_CLOSE, 0, 0);
                                },
                                [&] {
                                    stillOpen = IsWindowVisible(dialog) != FALSE;
                                    click(IDC_CANCEL);
                                }});
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, 1);
}

TEST_F(ModalSettingsDialog, EveryOpeningStartsFromTheRecords)
{
    run({[&] {
        SetDlgItemTextA(dialog, IDC_TARIFF_COMMON, "7");
        click(IDC_CANCEL);
    }});
    std::string shown;
    run({[&] {
        shown = text(IDC_TARIFF_COMMON);
        click(IDC_CANCEL);
    }});
    EXPECT_EQ(shown, "0");
}

} // namespace
