// Tells the user, once per episode, of data that waits for the data file, and at Exit where it is kept.
#include "win32/store_alerts.h"

#include <cstdio>
#include <cstring>

#include "core/clock.h"
#include "core/display.h"
#include "core/file_seam.h"
#include "core/stored_figures.h"
#include "win32/data_file.h"
#include "win32/program_records.h"

namespace {

// Data that has waited this long is no longer a short hold: the user is told.
constexpr int64_t kPatienceSeconds = 10;

const char kCaption[] = "Tolvar 2.2";

// Room for the system's reason and for a whole message around it.
constexpr size_t kReasonSize = 256;
constexpr size_t kMessageSize = 3 * kReasonSize + 256;

void show(HWND owner, const char* text, const char* caption) { MessageBoxA(owner, text, caption, MB_ICONEXCLAMATION); }

// The boxes a tick found due, kept until the statistics window opens them after the tick.
struct StoreNotices {
    bool posted;                     // a WM_STORENOTICE is on its way
    bool boxOpen;                    // one of these boxes is open: the next waits for it
    char setAside[kMessageSize];     // the text about a journal set aside, or empty
    char trouble[kMessageSize];      // the text about data that has waited, or empty
};

StoreNotices notices{};

// One journal that did not belong to the data file, set aside: said once.
void noteSetAsideJournal()
{
    char name[16];
    if (!takeSetAsideNotice(name, sizeof name))
        return;
    std::snprintf(notices.setAside, sizeof notices.setAside,
                  "Tq.jnl beside Tq.dat held connection data written for another copy of Tq.dat (one restored, "
                  "replaced or made anew since), so none of it was written into Tq.dat.\n\nIt was kept as %s.",
                  name);
}

// Shows and empties one waiting text; false when none waits.
bool showOne(char* text)
{
    if (text[0] == '\0')
        return false;
    char shown[kMessageSize];
    std::snprintf(shown, sizeof shown, "%s", text);
    text[0] = '\0';
    show(shell.statisticsWindow, shown, kCaption);
    return true;
}

} // namespace

const char* storeFileName(StoreFile file)
{
    switch (file) {
    case StoreFile::Journal: return "Tq.jnl";
    case StoreFile::Fresh: return "Tq.new";
    case StoreFile::SetAside: return "Tq-1.jnl";
    case StoreFile::Data: break;
    }
    return "Tq.dat";
}

void describeFailure(const FileResult& result, char* out, size_t size)
{
    out[0] = '\0';
    if (result.error != 0)
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, result.error, 0, out,
                       static_cast<DWORD>(size), nullptr);
    // The system's texts end with a line break; the message places its own.
    size_t length = std::strlen(out);
    while (length > 0 && (out[length - 1] == '\r' || out[length - 1] == '\n' || out[length - 1] == ' '))
        out[--length] = '\0';
    if (length == 0 && result.outcome == FileOutcome::Held)
        std::snprintf(out, size, "It is in use by another program.");
    else if (length == 0 && result.error != 0)
        std::snprintf(out, size, "Error %lu.", static_cast<unsigned long>(result.error));
    else if (length == 0)
        std::snprintf(out, size, "The system gave no reason.");
}

namespace {

// The failure to name for `file`: the store's own, or, when the store learned no code (a length that could not
// be asked, a name taken by a folder), what the system says when the file is opened now.
FileResult failureToName(StoreFile file, const FileResult& result)
{
    if (result.error != 0 || result.outcome == FileOutcome::Held)
        return result;
    // Every sharing allowed and nothing written: the look cannot get in the way of the program's own opens.
    const HANDLE probe = CreateFileW(storeFilePath(file).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return FileResult{result.outcome, GetLastError()};
    CloseHandle(probe);
    return result;
}

// The text about data that has waited a whole patience, once per episode.
void noteWaitingData()
{
    const StoreTrouble trouble = storeTrouble();
    // The clock counts whole seconds: one more than the patience is a whole patience, whenever in its second the
    // episode began.
    if (!trouble.waiting || trouble.reported || calendarNow() - trouble.since <= kPatienceSeconds)
        return;
    markTroubleReported();
    char reason[kReasonSize];
    describeFailure(failureToName(trouble.file, trouble.result), reason, sizeof reason);
    char* text = notices.trouble;
    const size_t size = sizeof notices.trouble;
    // Until the figures are read nothing was written: what waits is the reading, and the connections behind it.
    if (!storedFiguresLoaded())
        std::snprintf(text, size,
                      "%s could not be read:\n%s\n\nNothing is lost while Tolvar runs: the connections that end "
                      "meanwhile are kept and will be counted as soon as the file can be read.",
                      storeFileName(trouble.file), reason);
    else
        std::snprintf(text, size,
                      "Connection data could not be written to %s%s:\n%s\n\nNothing is lost while Tolvar runs: the "
                      "data is kept and will be written as soon as the file can be written.%s",
                      storeFileName(trouble.file), trouble.file == StoreFile::Data ? "" : " beside Tq.dat", reason,
                      writesPending() && pendingWritesJournaled() ? " It is also kept in Tq.jnl beside it." : "");
}

} // namespace

void reportStoreTrouble()
{
    noteSetAsideJournal();
    noteWaitingData();
    // The monitor opens no modal loop: the box opens once this tick is over.
    if ((notices.setAside[0] != '\0' || notices.trouble[0] != '\0') && !notices.posted && !notices.boxOpen)
        notices.posted = PostMessageA(shell.statisticsWindow, WM_STORENOTICE, 0, 0) != FALSE;
}

void showStoreNotices()
{
    notices.posted = false;
    if (notices.boxOpen)
        return;
    notices.boxOpen = true;
    while (showOne(notices.setAside) || showOne(notices.trouble)) {
    }
    notices.boxOpen = false;
}

void tellOfUnwrittenDataAtExit()
{
    retryPendingWrites();
    const StoreTrouble trouble = storeTrouble();
    char reason[kReasonSize];
    char text[kMessageSize];
    if (!storedFiguresLoaded() && connectionsAwaitingFigures() > 0) {
        describeFailure(failureToName(trouble.file, trouble.result), reason, sizeof reason);
        std::snprintf(text, sizeof text,
                      "%s could not be read since Tolvar started:\n%s\n\nThe connections that ended since then "
                      "could not be counted, and are lost.",
                      storeFileName(trouble.file), reason);
    } else if (!writesPending()) {
        return;
    } else if (pendingWritesJournaled()) {
        describeFailure(trouble.result, reason, sizeof reason);
        std::snprintf(text, sizeof text,
                      "The latest connection data could not be written to %s:\n%s\n\nIt is kept in Tq.jnl beside "
                      "it and will be written at the next start.",
                      storeFileName(trouble.file), reason);
    } else if (trouble.file == StoreFile::Journal) {
        // Nothing reaches Tq.dat but through the journal: the journal is what failed.
        describeFailure(failureToName(trouble.file, trouble.result), reason, sizeof reason);
        std::snprintf(text, sizeof text,
                      "The latest connection data could not be written to Tq.dat, as it could not be kept in Tq.jnl "
                      "beside it first:\n%s\n\nThe data is lost.",
                      reason);
    } else {
        char journalReason[kReasonSize];
        describeFailure(trouble.result, reason, sizeof reason);
        describeFailure(trouble.journalFailure, journalReason, sizeof journalReason);
        std::snprintf(text, sizeof text,
                      "The latest connection data could not be written to %s:\n%s\n\nIt could not be kept in Tq.jnl "
                      "either:\n%s\n\nThe data is lost.",
                      storeFileName(trouble.file), reason, journalReason);
    }
    show(shell.statisticsWindow, text, kCaption);
}

void tellClearRefused(HWND owner, const StoreResult& result)
{
    char text[kMessageSize];
    if (result.outcome == FileOutcome::Held) {
        std::snprintf(text, sizeof text,
                      "The log could not be rewritten, so nothing was cleared: %s may be in use by another "
                      "program.\n\nPlease try again in a moment.",
                      storeFileName(result.file));
    } else {
        char reason[kReasonSize];
        // A log read short names no code of the system: the file is shorter than its count says.
        const bool readShort = result.error == 0 && result.file == StoreFile::Data;
        describeFailure(failureToName(result.file, FileResult{result.outcome, result.error}), reason, sizeof reason);
        std::snprintf(text, sizeof text,
                      "The log could not be rewritten, so nothing was cleared: %s could not be %s.%s%s\n\nPlease "
                      "try again in a moment.",
                      storeFileName(result.file), readShort ? "read whole" : "written", readShort ? "" : "\n",
                      readShort ? "" : reason);
    }
    show(owner, text, "Clear?");
}

void tellFiguresNotRead()
{
    show(shell.statisticsWindow,
         "The figures in Tq.dat could not be read yet, so nothing was changed.\n\nPlease try again in a moment.",
         kCaption);
}
