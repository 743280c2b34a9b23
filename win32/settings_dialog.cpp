// The settings dialog: shows, cascades, validates and stores every setting.
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/money.h"
#include "core/settings.h"
#include "res/resource.h"
#include "win32/settings_store.h"
#include "win32/program_records.h"
#include "win32/start_day.h"
#include "win32/time_fields.h"

namespace {

// Characters of an amount that are converted on Ok, and of the economic amount copied to the weekend one.
constexpr int kAmountReadLength = 10;
constexpr int kWeekendCopyLength = 16;
// Characters converted from the "Add" edit, a minute, second or common hour part, and a limit's hours part.
constexpr int kAddReadLength = 2;
constexpr int kPartReadLength = 2;
constexpr int kLimitHoursReadLength = 3;

bool ticked(HWND dialog, int id) { return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) != 0; }

void enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE); }

void enableAll(HWND dialog, std::initializer_list<int> ids, bool on)
{
    for (int id : ids)
        enable(dialog, id, on);
}

void showTimeField(HWND dialog, int id, bool on) { SendDlgItemMessageA(dialog, id, WM_ENABLETIMEFIELD, on, 0); }

// At most `length` characters of a control's text, converted by atoi or atof.
int readInteger(HWND control, int length)
{
    char text[8];
    GetWindowTextA(control, text, length + 1);
    return std::atoi(text);
}

double readAmount(HWND dialog, int id)
{
    char text[kAmountReadLength + 1];
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return std::atof(text);
}

// The whole text of an edit, however long.
std::string wholeText(HWND edit)
{
    const int length = GetWindowTextLengthA(edit);
    std::vector<char> text(static_cast<size_t>(length) + 2, '\0');
    GetWindowTextA(edit, text.data(), length + 1);
    return std::string(text.data());
}

void setMoney(HWND dialog, int id, double value)
{
    char text[kMoneyTextSize];
    formatMoney(value, text, sizeof text);
    SetDlgItemTextA(dialog, id, text);
}

void setPart(HWND dialog, int field, TimePartPlace place, const char* format, int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(value));
    SetWindowTextA(timeFieldPart(dialog, field, place), text);
}

void setCheck(HWND dialog, int id, int32_t flag)
{
    // Every reader takes a nonzero flag as on, so any nonzero stored value ticks the box.
    SendDlgItemMessageA(dialog, id, BM_SETCHECK, flag != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
}

void setCurrencyLabel(HWND dialog, int id, const char* suffix)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*s%s", currencySymbolDrawnLength(), shell.currencySymbol, suffix);
    SetDlgItemTextA(dialog, id, text);
}

// The cascade keeps every control's enabled state consistent with the boxes that govern it.

// One limit row: its box, the limit it governs (a time field or an amount edit) and the label after it.
struct LimitRow {
    int box;
    int limit;
    int label;
    bool timeField;
};
constexpr LimitRow kTimePerConn = {IDC_TIME_WARN_PER_CONN, IDC_TIME_LIMIT_PER_CONN, IDC_LABEL_TIME_PER_CONN, true};
constexpr LimitRow kTimePerMonth = {IDC_TIME_WARN_PER_MONTH, IDC_TIME_LIMIT_PER_MONTH, IDC_LABEL_TIME_PER_MONTH,
                                    true};
constexpr LimitRow kCostPerConn = {IDC_COST_WARN_PER_CONN, IDC_COST_LIMIT_PER_CONN, IDC_LABEL_COST_PER_CONN, false};
constexpr LimitRow kCostPerMonth = {IDC_COST_WARN_PER_MONTH, IDC_COST_LIMIT_PER_MONTH, IDC_LABEL_COST_PER_MONTH,
                                    false};

// A time field is shown or hidden with its state; an amount edit is only enabled or disabled.
void enableLimit(HWND dialog, const LimitRow& row, bool on)
{
    if (row.timeField)
        showTimeField(dialog, row.limit, on);
    else
        enable(dialog, row.limit, on);
    enable(dialog, row.label, on);
}

void updateLimitRow(HWND dialog, const LimitRow& row) { enableLimit(dialog, row, ticked(dialog, row.box)); }

// The time or cost warning box governs its two rows: ticked, their boxes are enabled and each row follows its
// own box; unticked, the whole rows are disabled.
void updateWarningRows(HWND dialog, int groupBox, const LimitRow& perConn, const LimitRow& perMonth)
{
    const bool on = ticked(dialog, groupBox);
    for (const LimitRow* row : {&perConn, &perMonth}) {
        enable(dialog, row->box, on);
        if (on)
            updateLimitRow(dialog, *row);
        else
            enableLimit(dialog, *row, false);
    }
}

void updateTimeWarning(HWND dialog) { updateWarningRows(dialog, IDC_TIME_WARNING, kTimePerConn, kTimePerMonth); }

void updateCostWarning(HWND dialog) { updateWarningRows(dialog, IDC_COST_WARNING, kCostPerConn, kCostPerMonth); }

void updateWarnings(HWND dialog)
{
    if (ticked(dialog, IDC_WARNINGS)) {
        enable(dialog, IDC_TIME_WARNING, true);
        updateTimeWarning(dialog);
        // Without costs the cost warning stays as "Calculate cost" left it.
        if (ticked(dialog, IDC_CALCULATE_COST)) {
            updateCostWarning(dialog);
            enable(dialog, IDC_COST_WARNING, true);
        }
        return;
    }
    enableAll(dialog,
              {IDC_TIME_WARN_PER_CONN, IDC_TIME_WARN_PER_MONTH, IDC_COST_WARN_PER_CONN, IDC_COST_WARN_PER_MONTH,
               IDC_TIME_WARNING, IDC_COST_WARNING},
              false);
    showTimeField(dialog, IDC_TIME_LIMIT_PER_CONN, false);
    showTimeField(dialog, IDC_TIME_LIMIT_PER_MONTH, false);
    enableAll(dialog,
              {IDC_COST_LIMIT_PER_CONN, IDC_COST_LIMIT_PER_MONTH, IDC_LABEL_TIME_PER_CONN, IDC_LABEL_TIME_PER_MONTH,
               IDC_LABEL_COST_PER_CONN, IDC_LABEL_COST_PER_MONTH},
              false);
}

void updateCalculateCost(HWND dialog)
{
    const bool on = ticked(dialog, IDC_CALCULATE_COST);
    enableAll(dialog, {IDC_AS_ECONOMIC, IDC_HOLIDAY, IDC_TARIFF_COMMON, IDC_TARIFF_ECONOMIC}, on);
    enable(dialog, IDC_TARIFF_WEEKEND, on && !ticked(dialog, IDC_AS_ECONOMIC));
    showTimeField(dialog, IDC_COMMON_FROM, on);
    showTimeField(dialog, IDC_COMMON_TO, on);
    enableAll(dialog,
              {IDC_LABEL_COMMON, IDC_LABEL_ECONOMIC, IDC_LABEL_WEEKEND, IDC_LABEL_FROM, IDC_LABEL_TO, IDC_TARIFF_GRID,
               IDC_PER_MIN_COMMON, IDC_PER_MIN_ECONOMIC, IDC_PER_MIN_WEEKEND},
              on);
    if (!on) {
        enableAll(dialog,
                  {IDC_COST_WARN_PER_CONN, IDC_COST_WARN_PER_MONTH, IDC_COST_WARNING, IDC_COST_LIMIT_PER_CONN,
                   IDC_COST_LIMIT_PER_MONTH, IDC_LABEL_COST_PER_CONN, IDC_LABEL_COST_PER_MONTH},
                  false);
        return;
    }
    if (ticked(dialog, IDC_WARNINGS)) {
        enable(dialog, IDC_COST_WARNING, true);
        updateCostWarning(dialog);
    } else {
        enable(dialog, IDC_COST_WARNING, false);
    }
}

void updateWeekendTariff(HWND dialog)
{
    if (!ticked(dialog, IDC_AS_ECONOMIC)) {
        enable(dialog, IDC_TARIFF_WEEKEND, true);
        setMoney(dialog, IDC_TARIFF_WEEKEND, settings.block.tariffWeekend);
        return;
    }
    enable(dialog, IDC_TARIFF_WEEKEND, false);
    char economic[kWeekendCopyLength + 1];
    GetDlgItemTextA(dialog, IDC_TARIFF_ECONOMIC, economic, sizeof economic);
    std::string copy(economic);
    trimMoneyZeros(copy);
    SetDlgItemTextA(dialog, IDC_TARIFF_WEEKEND, copy.c_str());
}

// Normalises a valid amount, or reports an invalid one and puts "0" in its place.
void validateCurrency(HWND dialog, int id)
{
    HWND edit = GetDlgItem(dialog, id);
    const std::string text = wholeText(edit);
    if (isValidAmount(text)) {
        SetWindowTextA(edit, normalizeAmount(text).c_str());
        return;
    }
    MessageBoxA(dialog, "Invalid currency format!", "Input error", MB_OK | MB_ICONWARNING);
    SetWindowTextA(edit, "0");
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
}

void populateSettingsDialog(HWND dialog)
{
    const SettingsBlock& s = settings.block;
    setCheck(dialog, IDC_SHOW_COUNTER, s.showCounterOnConnect);
    setCheck(dialog, IDC_CALCULATE_COST, s.calculateCost);
    setCheck(dialog, IDC_AS_ECONOMIC, s.weekendAsEconomic);
    setCheck(dialog, IDC_HOLIDAY, s.todayIsHoliday);
    setCheck(dialog, IDC_WARNINGS, s.warningsEnabled);
    setCheck(dialog, IDC_TIME_WARN_PER_CONN, s.timeWarnPerConn);
    setCheck(dialog, IDC_TIME_WARN_PER_MONTH, s.timeWarnPerMonth);
    setCheck(dialog, IDC_COST_WARN_PER_CONN, s.costWarnPerConn);
    setCheck(dialog, IDC_COST_WARN_PER_MONTH, s.costWarnPerMonth);
    setCheck(dialog, IDC_TIME_WARNING, s.timeWarning);
    setCheck(dialog, IDC_COST_WARNING, s.costWarning);
    setCheck(dialog, IDC_AUTO_SUM_UP, settings.extra.autoSumUp);
    if (billingStartDay() != 1)
        showStartDay(dialog, billingStartDay());

    setMoney(dialog, IDC_TARIFF_COMMON, s.tariffCommon);
    setMoney(dialog, IDC_TARIFF_ECONOMIC, s.tariffEconomic);
    setMoney(dialog, IDC_COST_LIMIT_PER_CONN, s.costLimitPerConn);
    setMoney(dialog, IDC_COST_LIMIT_PER_MONTH, s.costLimitPerMonth);
    SetDlgItemInt(dialog, IDC_ADD_SECONDS, static_cast<UINT>(settings.extra.addSeconds), FALSE);

    // Filling a part is corrected like typing, so a stored minute of 60 to 99 shows as its last digit.
    setPart(dialog, IDC_COMMON_FROM, HoursPart, "%u", s.commonFrom.hours);
    setPart(dialog, IDC_COMMON_FROM, MinutesPart, "%.2u", s.commonFrom.minutes);
    setPart(dialog, IDC_COMMON_TO, HoursPart, "%u", s.commonTo.hours);
    setPart(dialog, IDC_COMMON_TO, MinutesPart, "%.2u", s.commonTo.minutes);
    for (int field : {IDC_TIME_LIMIT_PER_CONN, IDC_TIME_LIMIT_PER_MONTH}) {
        const Hms& limit = field == IDC_TIME_LIMIT_PER_CONN ? s.timeLimitPerConn : s.timeLimitPerMonth;
        setPart(dialog, field, HoursPart, "%u", limit.hours);
        setPart(dialog, field, MinutesPart, "%.2u", limit.minutes);
        setPart(dialog, field, SecondsPart, "%.2u", limit.seconds);
    }

    for (int id : {IDC_PER_MIN_COMMON, IDC_PER_MIN_ECONOMIC, IDC_PER_MIN_WEEKEND})
        setCurrencyLabel(dialog, id, "/min");
    setCurrencyLabel(dialog, IDC_LABEL_COST_PER_CONN, " for connection");
    setCurrencyLabel(dialog, IDC_LABEL_COST_PER_MONTH, " for month");

    updateLimitRow(dialog, kTimePerConn);
    updateLimitRow(dialog, kTimePerMonth);
    updateLimitRow(dialog, kCostPerConn);
    updateLimitRow(dialog, kCostPerMonth);
    updateTimeWarning(dialog);
    updateCostWarning(dialog);
    updateWarnings(dialog);
    updateWeekendTariff(dialog);
    updateCalculateCost(dialog);
}

Hms readTimeField(HWND dialog, int field, bool withSeconds, Hms kept)
{
    kept.hours =
        readInteger(timeFieldPart(dialog, field, HoursPart), withSeconds ? kLimitHoursReadLength : kPartReadLength);
    kept.minutes = readInteger(timeFieldPart(dialog, field, MinutesPart), kPartReadLength);
    if (withSeconds)
        kept.seconds = readInteger(timeFieldPart(dialog, field, SecondsPart), kPartReadLength);
    return kept;
}

// Copies every control into the records at once; the reserved field and the seconds of the common
// hours, which have no control, keep their values.
void applySettings(HWND dialog)
{
    SettingsBlock s = settings.block;
    s.showCounterOnConnect = ticked(dialog, IDC_SHOW_COUNTER);
    s.calculateCost = ticked(dialog, IDC_CALCULATE_COST);
    s.todayIsHoliday = ticked(dialog, IDC_HOLIDAY);
    s.weekendAsEconomic = ticked(dialog, IDC_AS_ECONOMIC);
    s.warningsEnabled = ticked(dialog, IDC_WARNINGS);
    s.timeWarning = ticked(dialog, IDC_TIME_WARNING);
    s.costWarning = ticked(dialog, IDC_COST_WARNING);
    s.timeWarnPerConn = ticked(dialog, IDC_TIME_WARN_PER_CONN);
    s.timeWarnPerMonth = ticked(dialog, IDC_TIME_WARN_PER_MONTH);
    s.costWarnPerConn = ticked(dialog, IDC_COST_WARN_PER_CONN);
    s.costWarnPerMonth = ticked(dialog, IDC_COST_WARN_PER_MONTH);
    s.tariffCommon = readAmount(dialog, IDC_TARIFF_COMMON);
    s.tariffEconomic = readAmount(dialog, IDC_TARIFF_ECONOMIC);
    s.tariffWeekend = readAmount(dialog, IDC_TARIFF_WEEKEND);
    s.costLimitPerConn = readAmount(dialog, IDC_COST_LIMIT_PER_CONN);
    s.costLimitPerMonth = readAmount(dialog, IDC_COST_LIMIT_PER_MONTH);
    s.commonFrom = readTimeField(dialog, IDC_COMMON_FROM, false, s.commonFrom);
    s.commonTo = readTimeField(dialog, IDC_COMMON_TO, false, s.commonTo);
    s.timeLimitPerConn = readTimeField(dialog, IDC_TIME_LIMIT_PER_CONN, true, s.timeLimitPerConn);
    s.timeLimitPerMonth = readTimeField(dialog, IDC_TIME_LIMIT_PER_MONTH, true, s.timeLimitPerMonth);
    SettingsExtra extra = settings.extra;
    extra.addSeconds = readInteger(GetDlgItem(dialog, IDC_ADD_SECONDS), kAddReadLength);
    extra.autoSumUp = ticked(dialog, IDC_AUTO_SUM_UP);
    settings.block = s;
    settings.extra = extra;
    settings.period.startDay = chosenStartDay(dialog);
}

void enableSettingsCommand() { EnableMenuItem(shell.trayMenu, IDC_TRAY_SETTINGS, MF_BYCOMMAND | MF_ENABLED); }

void acceptSettings(HWND dialog)
{
    applySettings(dialog);
    saveSettings();
    InvalidateRect(shell.statisticsWindow, nullptr, TRUE);
    EndDialog(dialog, 1);
}

void validateOnFocusLoss(HWND dialog, int id, WORD notification)
{
    if (notification == EN_KILLFOCUS)
        validateCurrency(dialog, id);
}

INT_PTR onInitDialog(HWND dialog)
{
    createTimeFields(dialog);
    populateSettingsDialog(dialog);
    return TRUE;
}

// Enter and Esc (IDOK, IDCANCEL) are not acted on: only "Ok", "Cancel" and the close box end the dialog.
INT_PTR onCommand(HWND dialog, WPARAM wParam)
{
    const int id = LOWORD(wParam);
    switch (id) {
    case IDC_CALCULATE_COST: updateCalculateCost(dialog); break;
    case IDC_AS_ECONOMIC: updateWeekendTariff(dialog); break;
    case IDC_WARNINGS: updateWarnings(dialog); break;
    case IDC_TIME_WARNING: updateTimeWarning(dialog); break;
    case IDC_TIME_WARN_PER_CONN: updateLimitRow(dialog, kTimePerConn); break;
    case IDC_TIME_WARN_PER_MONTH: updateLimitRow(dialog, kTimePerMonth); break;
    case IDC_COST_WARNING: updateCostWarning(dialog); break;
    case IDC_COST_WARN_PER_CONN: updateLimitRow(dialog, kCostPerConn); break;
    case IDC_COST_WARN_PER_MONTH: updateLimitRow(dialog, kCostPerMonth); break;
    case IDC_TARIFF_COMMON:
    case IDC_TARIFF_ECONOMIC:
    case IDC_TARIFF_WEEKEND:
    case IDC_COST_LIMIT_PER_CONN:
    case IDC_COST_LIMIT_PER_MONTH: validateOnFocusLoss(dialog, id, HIWORD(wParam)); break;
    case IDC_OK: acceptSettings(dialog); break;
    case IDC_CANCEL: EndDialog(dialog, 1); break;
    default: break;
    }
    return FALSE;
}

INT_PTR onSysCommand(HWND dialog, WPARAM wParam)
{
    if (wParam == SC_CLOSE) {
        EndDialog(dialog, 1);
        enableSettingsCommand();
    }
    return FALSE;
}

// The automatic Sum Up check box's context menu chooses the billing period's start day.
INT_PTR onContextMenu(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    if (reinterpret_cast<HWND>(wParam) != GetDlgItem(dialog, IDC_AUTO_SUM_UP))
        return FALSE;
    chooseStartDay(dialog, lParam);
    return TRUE;
}

INT_PTR onDestroy()
{
    enableSettingsCommand();
    return FALSE;
}

} // namespace

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: return onInitDialog(dialog);
    case WM_COMMAND: return onCommand(dialog, wParam);
    case WM_SYSCOMMAND: return onSysCommand(dialog, wParam);
    case WM_CONTEXTMENU: return onContextMenu(dialog, wParam, lParam);
    case WM_DESTROY: return onDestroy();
    default: return FALSE;
    }
}
