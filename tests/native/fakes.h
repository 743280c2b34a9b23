// Fakes of the outside world for native tests: a settable clock and status source, the data file on a
// disk in memory with a log of the file calls, and recording display calls.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/ports.h"

struct FakeWorld {
    int64_t calendarTime = 946684800;  // what calendarNow() returns
    SystemTime localTime{2000, 1, 6, 1, 12, 0, 0, 0}; // what localSystemTime() returns
    LocalMoment moment{3, 12, 0, 0};   // what localMomentOf() returns when useMomentOverride
    bool useMomentOverride = true;     // false: localMomentOf breaks calendarTime down in UTC
    int32_t connectionCount = 0;       // what enumerateConnections() reports
    ConnectionHandle firstHandle = 1;  // the handle it reports
    uint32_t connectionState = 0;      // what queryConnectionState() reports
    bool timerWindowOpen = false;      // what timerWindowExists() reports
    std::vector<std::string> calls;    // every file and display call, in order
    int fileOperations = 0;            // data-file operations
    int paints = 0;                    // display calls of any kind
};

extern FakeWorld fake;

// The files in memory. Every byte written, every length change, removal and replacement spends one unit of
// a budget; the unit that finds it spent is where the process dies: nothing it does afterwards reaches a file.
struct Disk {
    std::map<StoreFile, std::vector<uint8_t>> files; // the files that exist
    int64_t budget = -1;                             // units left before the process dies; -1: never
    int64_t spent = 0;                               // units spent so far
    bool dead = false;                               // the cut has happened
    bool dataHeld = false;                           // another process holds the data file
};
extern Disk disk;
// The seam over `disk`, which dataFileSeam() gives the store.
extern const FileSeam kMemoryFiles;

// Clears the fakes, the disk and every process-wide record, and opens the store on the empty disk.
void resetWorld();
// Number of recorded calls with this name.
int countCalls(const std::string& name);

// The data file on the disk, as the fields stand in its bytes; the setters write them there directly.
std::vector<ConnectionRecord> storedRecords(); // the whole records after the header
void storeRecords(const std::vector<ConnectionRecord>& records);
int32_t storedCount();
void storeCount(int32_t count);
CounterBlock storedCounters();
void storeCounters(const CounterBlock& counters);
SystemTime storedStamp();
