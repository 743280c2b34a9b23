// Fakes of the outside world for native tests: a settable clock and status source, a recording data file
// and recording display calls.
#pragma once

#include <string>
#include <vector>

#include "core/ports.h"

struct FakeWorld {
    int32_t calendarTime = 946684800;  // what calendarNow() returns
    SystemTime localTime{2000, 1, 6, 1, 12, 0, 0, 0}; // what localSystemTime() returns
    LocalMoment moment{3, 12, 0, 0};   // what localMomentOf() returns when useMomentOverride
    bool useMomentOverride = true;     // false: localMomentOf breaks calendarTime down in UTC
    int32_t connectionCount = 0;       // what enumerateConnections() reports
    ConnectionHandle firstHandle = 1;  // the handle it reports
    uint32_t connectionState = 0;      // what queryConnectionState() reports
    bool timerWindowOpen = false;      // what timerWindowExists() reports
    std::vector<std::string> calls;    // every file and display call, in order
    // The data file as the fakes keep it.
    std::vector<ConnectionRecord> storedRecords;
    int32_t storedCount = 0;
    CounterBlock storedCounters{};
    SystemTime storedStamp{};
    bool hasStamp = false;
    int32_t wholeRecords = -2;         // what wholeRecordsInFile() reports; -2: the stored records' number
    int fileOperations = 0;            // opens of the data file
    bool throughStore = false;         // file calls go to the real store (on whatever seam it was opened on)
    int paints = 0;                    // display calls of any kind
};

extern FakeWorld fake;

// Clears the fakes and every process-wide record.
void resetWorld();
// Number of recorded calls with this name.
int countCalls(const std::string& name);
