// The statistics window's commands: one switch on the command, each case a named operation.
#include "win32/commands.h"

#include "core/data_store.h"
#include "core/month.h"
#include "core/ports.h"
#include "win32/shell.h"
#include "res/resource.h"
#include "win32/details_window.h"
#include "win32/settings_dialog.h"

const char exitQuestion[] = "If you will close program now, connection data may be incorrect.\n"
                            "Run Tolvar before connection.\n\nDo you want to close the program? ";
const char exitCaption[] = "Tolvar 2.2";
const char resetQuestion[] = "If you'll reset counters, all data will be lost!\n\nContinue?";
const char resetCaption[] = "Reset counters?";
const char sumUpQuestion[] = "If you will continue, data for current month will become as data for last month. "
                             "Line \"current month\" will become 0.\nContinue? ";
const char sumUpCaption[] = "Sum Up?";

namespace {

// Item states change only in the tray menu; the menu bar keeps its template states.
void setTrayItem(UINT command, UINT state)
{
    EnableMenuItem(shell.trayMenu, command, MF_BYCOMMAND | state);
}

// Yes and No with No as the default, so that a stray Enter changes nothing.
bool confirmed(const char* text, const char* caption, UINT icon)
{
    return MessageBoxA(shell.statisticsWindow, text, caption, MB_YESNO | MB_DEFBUTTON2 | icon) == IDYES;
}

void openSettings()
{
    setTrayItem(IDC_TRAY_SETTINGS, MF_GRAYED);
    // The dialog enables the item again when it goes; one that could not be created never would.
    if (DialogBoxParamA(shell.instance, MAKEINTRESOURCEA(IDD_SETTINGS), shell.statisticsWindow, settingsDialogProc, 0) == -1)
        setTrayItem(IDC_TRAY_SETTINGS, MF_ENABLED);
}

// What another process kept out of the data file gets one more try; if it is still held, the user is told
// where the data is rather than losing it without a word.
void storePendingBeforeExit()
{
    if (retryPendingWrites())
        return;
    MessageBoxA(shell.statisticsWindow,
                pendingWritesJournaled()
                    ? "Tq.dat is in use by another program, so the latest connection data could not be written to "
                      "it.\n\nThe data is kept in Tq.jnl beside it and will be written at the next start."
                    : "Tq.dat is in use by another program, so the latest connection data could not be written to "
                      "it.\n\nThe data is lost.",
                exitCaption, MB_ICONEXCLAMATION);
}

void confirmExit()
{
    if (!confirmed(exitQuestion, exitCaption, MB_ICONWARNING))
        return;
    storePendingBeforeExit();
    PostQuitMessage(1);
}

void confirmReset()
{
    if (confirmed(resetQuestion, resetCaption, MB_ICONQUESTION))
        resetCounters();
}

void confirmSumUp()
{
    if (confirmed(sumUpQuestion, sumUpCaption, MB_ICONQUESTION))
        sumUp();
}

void showAbout()
{
    DialogBoxParamA(shell.instance, MAKEINTRESOURCEA(IDD_ABOUT), shell.statisticsWindow, aboutDialogProc, 0);
}

void showDetails(ViewFilter filter)
{
    openDetails(filter);
    details.filter = filter;
}

} // namespace

void showStatistics()
{
    ShowWindow(shell.statisticsWindow, SW_SHOW);
    setTrayItem(IDC_TRAY_SHOW_STATISTICS, MF_GRAYED);
}

void hideStatistics()
{
    ShowWindow(shell.statisticsWindow, SW_HIDE);
    setTrayItem(IDC_TRAY_SHOW_STATISTICS, MF_ENABLED);
}

void runCommand(WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_TRAY_SHOW_STATISTICS: showStatistics(); break;
    case IDC_MAIN_HIDE_STATISTICS: hideStatistics(); break;
    case IDC_TRAY_SETTINGS:
    case IDC_MAIN_SETTINGS: openSettings(); break;
    case IDC_TRAY_EXIT:
    case IDC_MAIN_EXIT: confirmExit(); break;
    case IDC_TRAY_SHOW_TIMER: showTimerWindow(); break;
    case IDC_TRAY_RESET_COUNTERS:
    case IDC_MAIN_RESET_COUNTERS: confirmReset(); break;
    case IDC_MAIN_ABOUT: showAbout(); break;
    case IDC_TRAY_DETAILS_ALL:
    case IDC_MAIN_DETAILS_ALL: showDetails(ViewFilter::All); break;
    case IDC_TRAY_DETAILS_CURRENT_MONTH:
    case IDC_MAIN_DETAILS_CURRENT_MONTH: showDetails(ViewFilter::CurrentMonth); break;
    case IDC_TRAY_DETAILS_LAST_MONTH:
    case IDC_MAIN_DETAILS_LAST_MONTH: showDetails(ViewFilter::LastMonth); break;
    case IDC_TRAY_SUM_UP:
    case IDC_MAIN_SUM_UP: confirmSumUp(); break;
    default: break;
    }
}

// OK and the close box both end the box with 1; nothing else is handled.
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            EndDialog(dialog, 1);
        break;
    case WM_SYSCOMMAND:
        if (wParam == SC_CLOSE)
            EndDialog(dialog, 1);
        break;
    default: break;
    }
    return FALSE;
}
