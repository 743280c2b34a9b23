// The data file's operations over a file seam: writes grouped into batches that a side journal makes whole,
// batches kept pending in memory whatever keeps them out of the file, and the log replaced in one step. How
// they are kept whole: core/store_protocol.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/file_seam.h"
#include "core/journal_format.h"
#include "core/layout.h"
#include "core/state.h"

// Opens the store on `seam` (nullptr: no file at all) and settles what a journal of an ended process holds:
// batches written for the data file as it stands land in it, a journal written for another file is set aside.
// The data-file operations below open it themselves, on dataFileSeam(), when nothing has opened it before them.
void openDataStore(const FileSeam* seam);

// Writes from here to the matching end form one batch, stored whole or not at all; batches may nest.
void beginWriteBatch();
void endWriteBatch();
// Settles a journal not yet settled and tries to land what is pending, at once.
void retryPendingWrites();
// The same from a tick: after a failure it is tried again only at every 20th tick, about once a second.
void retryPendingWritesAtTick();
// The data file can be read as it stands: the journal an ended process left is settled and the file's header
// was read. Until then nothing reads or writes the figures.
bool dataStoreReady();
// Whether batches wait in memory for the data file, and whether every one of those is in the journal as well,
// flushed (a start then writes them).
bool writesPending();
bool pendingWritesJournaled();
// Nothing waits, no journal is left, and the data file was flushed after its last write: a power loss now
// takes nothing back.
bool everythingDurable();
// Whether a journal that could not be deleted still lies beside the data file (Clear waits for it).
bool journalLeftOver();
// Reads of the data file that failed since the store opened; a caller compares it before and after reading.
uint64_t dataFileReadFailures();
// The latest failed read: the file and the system's answer.
StoreResult latestReadFailure();
// Start-up's reading of the figures failed (the latest failed read says why), or has been done: while it
// fails, data waits as when a batch cannot land, and the user is told after the same patience.
void noteFiguresUnread(bool unread);

// Why data waits: the file at fault and the system's code, and since when (calendar seconds).
struct StoreTrouble {
    bool waiting;         // batches wait for the data file, or its figures for a first reading
    StoreFile file;       // the file whose call failed last
    FileResult result;    // that call's outcome
    int64_t since;        // when the oldest waiting batch first failed to land
    bool reported;        // the user has been told of this episode
    FileResult journalFailure; // the latest try to write the journal, Done when it went well
};
StoreTrouble storeTrouble();
// The user has been told of the present episode; a new one begins when nothing waits any more.
void markTroubleReported();
// The name a journal that did not belong was set aside under, once; empty when there is nothing to tell.
bool takeSetAsideNotice(char* name, size_t size);

// Told each data-file operation's name (as declared below) when it begins; the native tests keep their
// log of file calls this way. nullptr: nobody is told.
void watchDataFile(void (*watcher)(const char* operation));

// Data file "Tq.dat"; each operation opens, transfers one field and closes. A write that cannot reach the file,
// whatever the reason, waits in memory (and in the journal beside the file) and lands at the first tick that can
// write it; reads see it as landed. Several writes between beginWriteBatch and endWriteBatch land whole or not at all.
void writeCounterBlock();
void readCounterBlock();
void writeMonthStamp();
bool readMonthStamp(SystemTime& stamp);
void writeRecordCount();
void readRecordCount();
// Whole records the file holds by its size (0 below the header), or -1 when its size cannot be learned.
int32_t wholeRecordsInFile();
// Fills `record` and returns true when all 32 bytes of slot `index` were read;
// otherwise returns false and leaves `record` zeroed.
bool readRecord(int32_t index, ConnectionRecord& record);
void appendRecord(ConnectionRecord record);
void truncateLog();
// The bulk forms the detailed list, the export and Clear use on long logs, one open each:
// reads up to `count` records from slot `first` on and returns how many were wholly in the file;
int32_t readRecords(int32_t first, int32_t count, ConnectionRecord* out);
// the file as it stands with `count` records from offset 100 on and the count field set to `count`, built
// beside it, flushed and put in its place in one step; on failure the old file stays as it was, and the result
// names the file at fault. Refused while writes wait or a journal is left over.
StoreResult replaceLog(const ConnectionRecord* records, int32_t count);
