// The data file's operations over a file seam: writes grouped into batches that a side journal makes whole,
// batches kept pending in memory whatever keeps them out of the file, and the log replaced in one step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/file_seam.h"
#include "core/layout.h"
#include "core/state.h"

// The data file as a batch finds it: its header bytes (zero beyond its length) and its length. The journal
// stores it with each batch, so that a batch is replayed only onto the file it was written for.
struct FileState {
    uint8_t header[kHeaderSize]; // the first 100 bytes, zeros where the file is shorter
    uint64_t length;             // the whole file's length
};

// One write of a batch: bytes at an offset, or the data file cut to `offset` when `cut` is set.
struct PendingWrite {
    uint64_t offset;            // where the bytes go, or the new length
    bool cut;                   // a change of length rather than a write
    std::vector<uint8_t> bytes; // what to write
};
using WriteBatch = std::vector<PendingWrite>;

// A batch as the journal keeps it: the data file it was written for, and its writes.
struct JournalBatch {
    FileState before;   // the data file before the batch's first write
    WriteBatch writes;  // the writes, in order
};

// Opens the store on `seam` (nullptr: no file at all) and settles what a journal of an ended process holds:
// batches written for the data file as it stands land in it, a journal written for another file is set aside.
// The data-file operations below open it themselves, on dataFileSeam(), when nothing has opened it before them.
void openDataStore(const FileSeam* seam);

// Writes from here to the matching end form one batch, stored whole or not at all; batches may nest.
void beginWriteBatch();
void endWriteBatch();
// Settles a journal not yet settled and tries to land what is pending; every tick calls it.
void retryPendingWrites();
// The data file can be read as it stands: the journal an ended process left is settled and the file's header
// was read. Until then nothing reads or writes the figures.
bool dataStoreReady();
// Whether batches wait in memory for the data file, and whether every one of those is in the journal as well.
bool writesPending();
bool pendingWritesJournaled();
// Whether a journal that could not be deleted still lies beside the data file (Clear waits for it).
bool journalLeftOver();
// Reads of the data file that failed since the store opened; a caller compares it before and after reading.
uint64_t dataFileReadFailures();

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

// A batch as the journal stores it: a tag, the data file before it, the number of writes, each write (offset,
// cut flag, length, bytes), then a checksum of all that; appends one batch to `out`.
void encodeJournalBatch(const JournalBatch& batch, std::vector<uint8_t>& out);
// The whole batches at the start of a journal; `validLength` receives how many bytes they take.
std::vector<JournalBatch> decodeJournal(const uint8_t* bytes, size_t size, size_t& validLength);
// The state after `writes` are applied to `state`.
FileState applyWrites(FileState state, const WriteBatch& writes, size_t count);
bool sameState(const FileState& a, const FileState& b);

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
