// The commands of the statistics window's menu bar and the tray pop-up: one switch on the command, each case a
// named operation.
#include "win32/commands.h"

#include "core/data_store.h"
#include "core/month.h"
#include "core/display.h"
#include "core/stored_figures.h"
#include "res/resource.h"
#include "win32/program_records.h"
#include "win32/store_alerts.h"

const char exitQuestion[] = "If you will close program now, connection data may be incorrect.\n"
                            "Run Tolvar before connection.\n\nDo you want to close the program? ";
const char exitCaption[] = "Tolvar 2.2";
const char resetQuestion[] = "If you'll reset counters, all data will be lost!\n\nContinue?";
const char resetCaption[] = "Reset counters?";
const char sumUpQuestion[] = "If you will continue, data for current month will become as data for last month. "
                             "Line \"current month\" will become 0.\nContinue? ";
const char sumUpCaption[] = "Sum Up?";

namespace {

// The settings item's state changes only in the tray menu; the menu bar keeps its template state.
void setSettingsItem(UINT state)
{
    EnableMenuItem(shell.trayMenu, IDC_TRAY_SETTINGS, MF_BYCOMMAND | state);
}

// Yes and No with No as the default, so that a stray Enter changes nothing.
bool confirmed(const char* text, const char* caption, UINT icon)
{
    return MessageBoxA(shell.statisticsWindow, text, caption, MB_YESNO | MB_DEFBUTTON2 | icon) == IDYES;
}

void openSettings()
{
    setSettingsItem(MF_GRAYED);
    // The dialog enables the item again when it goes; one that could not be created never would.
    const INT_PTR result =
        DialogBoxParamA(shell.instance, MAKEINTRESOURCEA(IDD_SETTINGS), shell.statisticsWindow, settingsDialogProc, 0);
    if (result == -1)
        setSettingsItem(MF_ENABLED);
}

void confirmExit()
{
    if (!confirmed(exitQuestion, exitCaption, MB_ICONWARNING))
        return;
    tellOfUnwrittenDataAtExit();
    PostQuitMessage(1);
}

// Asks; on Yes runs `operation` on the totals, unless they are not read yet: stored over the real ones, they would
// take their place.
void confirmOnTotals(const char* question, const char* caption, void (*operation)())
{
    if (!confirmed(question, caption, MB_ICONQUESTION))
        return;
    if (!storedFiguresLoaded())
        tellFiguresNotRead();
    else
        operation();
}

void confirmReset() { confirmOnTotals(resetQuestion, resetCaption, resetCounters); }

void confirmSumUp() { confirmOnTotals(sumUpQuestion, sumUpCaption, sumUp); }

void showDetails(ViewFilter filter)
{
    openDetails(filter);
    details.filter = filter;
}

} // namespace

void runCommand(WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_TRAY_SHOW_STATISTICS: showStatistics(); break;
    case IDC_STATISTICS_HIDE_STATISTICS: hideStatistics(); break;
    case IDC_TRAY_SETTINGS:
    case IDC_STATISTICS_SETTINGS: openSettings(); break;
    case IDC_TRAY_EXIT:
    case IDC_STATISTICS_EXIT: confirmExit(); break;
    case IDC_TRAY_SHOW_TIMER: showTimerWindow(); break;
    case IDC_TRAY_RESET_COUNTERS:
    case IDC_STATISTICS_RESET_COUNTERS: confirmReset(); break;
    case IDC_STATISTICS_ABOUT: showAboutBox(); break;
    case IDC_TRAY_DETAILS_ALL:
    case IDC_STATISTICS_DETAILS_ALL: showDetails(ViewFilter::All); break;
    case IDC_TRAY_DETAILS_CURRENT_MONTH:
    case IDC_STATISTICS_DETAILS_CURRENT_MONTH: showDetails(ViewFilter::CurrentMonth); break;
    case IDC_TRAY_DETAILS_LAST_MONTH:
    case IDC_STATISTICS_DETAILS_LAST_MONTH: showDetails(ViewFilter::LastMonth); break;
    case IDC_TRAY_SUM_UP:
    case IDC_STATISTICS_SUM_UP: confirmSumUp(); break;
    default: break;
    }
}
