// The fakes' shared state: what the fake clock, status source and display answer, and the calls they record.
// Each seam's fake lives beside it in this folder; the native tests, the benchmarks and the fuzzers link them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/connection_source.h"
#include "core/state.h"

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
    std::vector<std::string> notices;  // every limit notice shown, as its text with the symbol "$"
};

extern FakeWorld fake;

// Clears the fakes, the disk and every process-wide record, and opens the store on the empty disk.
void resetWorld();
// Number of recorded calls with this name.
int countCalls(const std::string& name);

