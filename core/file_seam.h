// The file system the data store works on: its files, the outcome of a call, and the calls themselves, each a
// whole cycle of open, transfer, close. win32/data_file.cpp is the real one.
#pragma once

#include <cstddef>
#include <cstdint>

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

// Whether the call went through.
inline bool done(const FileResult& result) { return result.outcome == FileOutcome::Done; }

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

// The file system the data file lives on, asked once, by the first data-file operation.
const FileSeam* dataFileSeam();
