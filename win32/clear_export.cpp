// Clear and Save in file of the detailed window: the confirmation of Clear, and the log written out as text or CSV.
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <vector>

#include "core/log_format.h"
#include "core/stored_log.h"
#include "core/clock.h"
#include "core/file_seam.h"
#include "core/settings.h"
#include "core/csv_export.h"
#include "win32/csv_file.h"
#include "win32/lazy_libraries.h"
#include "win32/program_folder.h"
#include "win32/program_records.h"
#include "win32/store_alerts.h"

namespace {

// The first generation of the record (Windows 95 / NT 4), OPENFILENAME_SIZE_VERSION_400A, in a form the
// compiler can check: the record up to and including lpTemplateName. 76 bytes on 32 bits, more with 64-bit pointers.
constexpr DWORD kSaveDialogRecordSize =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(static_cast<OPENFILENAMEA*>(nullptr)->lpTemplateName);
#if !defined(_WIN64)
static_assert(kSaveDialogRecordSize == 76, "the save dialog's first-generation record is 76 bytes");
#endif

// Description and pattern of each filter, each NUL-ended, and the empty string that ends the list: the text
// file first, as it always was, then the spreadsheet's CSV.
const char kExportFilter[] = "*.txt\0*.txt\0CSV file (*.csv)\0*.csv\0";
static_assert(sizeof kExportFilter == 13 + 23, "the filter list ends with two NULs");

void showNothingToSave() { MessageBoxA(details.window, "Nothing to save.", "No data", MB_ICONINFORMATION); }

void showNotReadWhole()
{
    MessageBoxA(details.window,
                "The log could not be read whole from Tq.dat, so nothing was saved.\n\nPlease try again in a moment.",
                "Save connection data", MB_ICONEXCLAMATION);
}

void showNotWritten(const char* path)
{
    char text[MAX_PATH + 96];
    std::snprintf(text, sizeof text, "The file could not be written:\n%s\n\nNothing was saved.", path);
    MessageBoxA(details.window, text, "Save connection data", MB_ICONEXCLAMATION);
}

// Asks for the export file with the suggestion in `path`; false when the user cancels or the dialog fails.
// `csv` tells whether the CSV filter or a name ending in .csv was chosen.
bool chooseExportFile(char (&path)[MAX_PATH], bool& csv)
{
    OPENFILENAMEA dialog{};
    dialog.lStructSize = kSaveDialogRecordSize;
    dialog.hwndOwner = details.window;
    dialog.lpstrFilter = kExportFilter;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = "Save connection data";
    dialog.lpstrDefExt = "txt";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    if (runSaveDialog(&dialog) == FALSE)
        return false;
    csv = namesCsvFile(path, dialog.nFilterIndex);
    return true;
}

// Writes the rule and the lines through a text-mode stream; every write and the close are checked.
bool writeExportFile(const char* path, const std::vector<const ConnectionRecord*>& exported)
{
    std::FILE* stream = std::fopen(path, "w");
    if (stream == nullptr)
        return false;
    const bool withCost = settings.block.calculateCost != 0;
    bool written = std::fputs(kExportRule, stream) >= 0;
    char line[kExportLineSize];
    for (const ConnectionRecord* record : exported) {
        if (!written)
            break;
        formatExportLine(*record, withCost, settings.block.tariffCommon, shell.currencySymbol,
                         currencySymbolDrawnLength(), line, sizeof line);
        written = std::fputs(line, stream) >= 0;
    }
    written = std::fflush(stream) == 0 && written;
    written = std::fclose(stream) == 0 && written;
    if (!written)
        DeleteFileA(path);
    return written;
}

} // namespace

void clearLog(ClearMode mode)
{
    if (MessageBoxA(details.window, "If you'll continue, some data will be lost!\n\nContinue?", "Clear?",
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    const StoreResult result = clearStoredLog(mode);
    if (result.outcome != FileOutcome::Done) {
        tellClearRefused(details.window, result);
        return;
    }
    fillDetails(details.filter);
}

void exportLog(ViewFilter filter)
{
    if (accounting.recordCount == 0) {
        showNothingToSave();
        return;
    }
    // The copy taken here is what gets written, whatever the timers change while the dialog is open; a log
    // read in part is not saved as though it were the whole.
    std::vector<ConnectionRecord> records;
    if (!readWholeStoredLog(records)) {
        showNotReadWhole();
        return;
    }
    const SystemTime today = localSystemTime();
    std::vector<const ConnectionRecord*> exported;
    for (const ConnectionRecord& record : records) {
        if (filterAdmits(filter, record.start, today))
            exported.push_back(&record);
    }
    if (exported.empty()) {
        showNothingToSave();
        return;
    }

    char path[MAX_PATH];
    formatSuggestedName(filter, exported.front()->start, today, path, sizeof path);
    bool csv = false;
    const bool chosen = chooseExportFile(path, csv);
    // The dialog may change the current folder even when cancelled, and the data file is opened relative to it.
    enterProgramFolder();
    if (!chosen)
        return;

    // A file left read-only by an earlier export may be replaced; if it cannot be, it stays as it was.
    const DWORD previousAttributes = GetFileAttributesA(path);
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    const bool written =
        csv ? writeCsvFile(path, connectionsCsv(exported, csvCostStyle())) : writeExportFile(path, exported);
    if (!written) {
        if (previousAttributes != INVALID_FILE_ATTRIBUTES && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
            SetFileAttributesA(path, previousAttributes);
        showNotWritten(path);
        return;
    }
    // The text file is left read-only as it always was; a spreadsheet's file stays one the spreadsheet can save.
    if (!csv)
        SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY);
}
