// The data file's operations over a file seam: writes grouped into batches that a side journal makes whole,
// batches kept pending in memory while another process holds the file, and the log replaced in one step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/state.h"

// The files beside the executable the store works with.
enum class StoreFile {
    Data,    // "Tq.dat", the totals, the stamp, the count and the log
    Journal, // "Tq.jnl", batches written ahead of the data file until they have landed in it
    Fresh,   // "Tq.new", the log Clear builds before it takes the data file's place
};

// Result of one transfer through the seam.
enum class FileOutcome {
    Done,   // opened, transferred and closed
    Held,   // another process holds the file open; worth trying again later
    Failed, // any other failure: a missing folder, no right to write, a full disk
};

// What the store needs of a file system. Every call is a whole cycle: open, transfer, close.
struct FileSeam {
    // Writes `size` bytes at `offset`; a file shorter than `offset` grows with zeros first.
    FileOutcome (*write)(StoreFile file, uint64_t offset, const uint8_t* bytes, size_t size);
    // Reads up to `size` bytes at `offset`; returns how many arrived, or -1 when the file could not be opened.
    int64_t (*read)(StoreFile file, uint64_t offset, uint8_t* bytes, size_t size);
    // Sets the file's length, cutting it or growing it with zeros.
    FileOutcome (*setLength)(StoreFile file, uint64_t length);
    // The file's length; 0 when it does not exist, -1 when it cannot be learned.
    int64_t (*length)(StoreFile file);
    // Deletes the file; true when it is gone afterwards.
    bool (*remove)(StoreFile file);
    // Puts the fresh file in the data file's place in one step; the old data file stays whole when it fails.
    FileOutcome (*replaceData)();
};

// One write of a batch: bytes at an offset, or the data file cut to `offset` when `cut` is set.
struct PendingWrite {
    uint64_t offset;            // where the bytes go, or the new length
    bool cut;                   // a change of length rather than a write
    std::vector<uint8_t> bytes; // what to write
};
using WriteBatch = std::vector<PendingWrite>;

// Opens the store on `seam` (nullptr: no file at all) and brings in the batches a journal left by an
// ended process holds, so that what it had written ahead lands in the data file. The data-file operations
// of core/ports.h open it themselves, on dataFileSeam(), when nothing has opened it before them.
void openDataStore(const FileSeam* seam);

// Writes from here to the matching end form one batch, stored whole or not at all; batches may nest.
void beginWriteBatch();
void endWriteBatch();
// Tries to land what is pending; true when nothing is pending any more (the journal gone too).
bool retryPendingWrites();
// Whether batches wait in memory for the data file, and whether those are all in the journal as well.
bool writesPending();
bool pendingWritesJournaled();

// Told each data-file operation's name (as the ports in core/ports.h call it) when it begins; the native
// tests keep their log of file calls this way. nullptr: nobody is told.
void watchDataFile(void (*watcher)(const char* operation));

// A batch as the journal stores it: a tag, the number of writes, each write (offset, cut flag, length,
// bytes), then a checksum of all that; appends one batch to `out`.
void encodeJournalBatch(const WriteBatch& batch, std::vector<uint8_t>& out);
// The whole batches at the start of a journal; `validLength` receives how many bytes they take.
std::vector<WriteBatch> decodeJournal(const uint8_t* bytes, size_t size, size_t& validLength);
