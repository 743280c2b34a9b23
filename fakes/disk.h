// The fake file seam: the data file and its side files on a disk in memory, with planted faults and power losses.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/file_seam.h"
#include "core/state.h"

// A fault planted at one call of the file seam (or at a tick): it begins there, on that call's file or on one
// chosen beforehand, and lasts some ticks or until cleared. A full disk refuses every file whatever grows it; the
// others concern the one file (a rename both of its names).
enum class FaultKind {
    Held,       // another process holds the file: every call on it answers Held
    DiskFull,   // writes reach no further than the files' present ends
    Denied,     // a read-only medium or no right: writes, length changes, flushes, deletions and renames fail
    ReadError,  // reads fail
    Refused,    // deletions and renames fail
    FlushFails, // flushes fail (the device reports an error), everything else goes through
};
struct Fault {
    int64_t atCall = -1;              // the seam call, counted from 0, at which it begins; -1: not at a call
    FaultKind kind = FaultKind::Held; // what fails
    int64_t ticks = -1;               // how many ticks it lasts once begun; -1: until cleared
    bool active = false;              // it has begun and not yet ended
    StoreFile file = StoreFile::Data; // the file of the call it began at, or the one chosen when `pinned`
    int64_t endTick = 0;              // the tick at which it ends
    int64_t atTick = -1;              // the tick from which it begins, at the first call then; -1: not by a tick
    bool pinned = false;              // `file` was chosen beforehand rather than taken from the call
    bool over = false;                // it has ended, or never will begin, and does not begin again
    int64_t every = 0;                // above 1: only every such call it touches fails (a scanner that comes back)
    int64_t calls = 0;                // the calls it has touched while active
};

// What a power loss does to the writes not yet flushed.
enum class PowerLoss { DropAll, KeepAll, KeepSome };

// One write of a file since its last flush, kept so that a power loss can take it back.
struct DiskWrite {
    bool cut;                   // a change of length
    uint64_t offset;            // where, or the new length
    std::vector<uint8_t> bytes; // what
};

// The files in memory. Every byte written, every length change, removal and replacement spends one unit of
// a budget; the unit that finds it spent is where the process dies: nothing it does afterwards reaches a file.
// Flushed content is kept apart from what the process sees, for power losses.
struct Disk {
    std::map<StoreFile, std::vector<uint8_t>> files;           // the files that exist, as the process sees them
    std::map<StoreFile, std::vector<uint8_t>> durable;         // their content as of their last flush
    std::map<StoreFile, std::vector<DiskWrite>> unflushed;     // their writes since then, in order
    std::vector<std::vector<uint8_t>> setAside;                // journals set aside, in order
    int64_t budget = -1;                                       // units left before the process dies; -1: never
    int64_t spent = 0;                                         // units spent so far
    bool dead = false;                                         // the cut has happened
    bool dataHeld = false;                                     // another process holds the data file
    int64_t calls = 0;                                         // seam calls so far
    int64_t tick = 0;                                          // ticks so far, counted by the tests
    Fault fault;                                               // the planted fault
    std::vector<Fault> schedule;                               // further faults, each on its own course
    std::vector<std::string> callKinds;                        // each seam call's kind and file, in order
    int flushes = 0;                                           // flushes done
};
extern Disk disk;
// The seam over `disk`, which dataFileSeam() gives the store.
extern const FileSeam kMemoryFiles;
// The user acts: every fault that has begun ends (the planted one is dropped even before it begins).
void clearFaults();

// What a power loss leaves of every file: the flushed content and all, none or some (per 512-byte sector,
// chosen by `seed`) of the writes after it.
void losePower(PowerLoss loss, uint32_t seed);

// The data file on the disk, as the fields stand in its bytes; the setters write them there directly.
std::vector<ConnectionRecord> storedRecords(); // the whole records after the header
void storeRecords(const std::vector<ConnectionRecord>& records);
int32_t storedCount();
void storeCount(int32_t count);
CounterBlock storedCounters();
void storeCounters(const CounterBlock& counters);
SystemTime storedStamp();
