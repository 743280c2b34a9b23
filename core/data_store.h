// The data file's operations over a file seam: writes grouped into batches that a side journal makes whole,
// batches kept pending in memory whatever keeps them out of the file, and the log replaced in one step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/layout.h"
#include "core/state.h"

// The files beside the executable the store works with.
enum class StoreFile {
    Data,     // "Tq.dat", the totals, the stamp, the count and the log
    Journal,  // "Tq.jnl", batches written ahead of the data file until they have landed in it
    Fresh,    // "Tq.new", the log Clear builds before it takes the data file's place
    SetAside, // "Tq-1.jnl" ... "Tq-9.jnl", a journal that belonged to another data file, kept for the user
};

// How one call through the seam ended.
enum class FileOutcome {
    Done,   // opened, transferred and closed
    Held,   // another process holds the file open; worth trying again soon
    Failed, // any other failure: a full disk, a read-only medium, no right to write, a read error
};

// One call's outcome with the system's own code for a failure (0 when done), for the user's message.
struct FileResult {
    FileOutcome outcome;
    uint32_t error;
};

// Which file an operation failed on, and how; Done when it did not fail.
struct StoreResult {
    FileOutcome outcome; // how the failing call ended, or Done
    StoreFile file;      // the file at fault
    uint32_t error;      // the system's code
};

// What the store needs of a file system. Every call is a whole cycle: open, transfer, close.
struct FileSeam {
    // Writes `size` bytes at `offset`; a file shorter than `offset` grows with zeros first. Done only when
    // every byte was written (a full disk may have taken some of them).
    FileResult (*write)(StoreFile file, uint64_t offset, const uint8_t* bytes, size_t size);
    // Reads up to `size` bytes at `offset`; `got` receives how many arrived (fewer at the file's end). A missing
    // side file reads as empty without being made.
    FileResult (*read)(StoreFile file, uint64_t offset, uint8_t* bytes, size_t size, size_t& got);
    // Sets the file's length, cutting it or growing it with zeros.
    FileResult (*setLength)(StoreFile file, uint64_t length);
    // Puts what was written to the file on the disk itself, so that a power loss cannot take it back.
    FileResult (*flush)(StoreFile file);
    // The file's length; 0 when it does not exist, -1 when it cannot be learned.
    int64_t (*length)(StoreFile file);
    // Deletes the file; done when it is gone afterwards.
    FileResult (*remove)(StoreFile file);
    // Puts the fresh file in the data file's place in one step; the old data file stays whole when it fails.
    FileResult (*replaceData)();
    // Renames the journal to the first free set-aside name, written to `name` (at most `size` bytes with NUL).
    FileResult (*setAsideJournal)(char* name, size_t size);
};

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
// The data-file operations open it themselves, on dataFileSeam(), when nothing has opened it before them.
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

// Told each data-file operation's name (as core/ports.h calls it) when it begins; the native tests keep their
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
