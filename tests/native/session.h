// Processes over the fake disk for the storage tests: start-ups, ticks, connections, the user's commands and
// Exit, and what a later start-up finds.
#pragma once

#include <cstdint>
#include <vector>

#include "core/log_format.h"
#include "core/stored_log.h"
#include "fakes/disk.h"
#include "fakes/world.h"

// What a start-up finds: the totals, the stamp, the log, and whether the file is whole: its stored count field
// equals its whole records, its length ends at the last of them, and no record is zeroed.
struct Image {
    CounterBlock totals;
    SystemTime stamp;
    std::vector<ConnectionRecord> log;
    int32_t countField;
    bool whole;
};
bool operator==(const Image& a, const Image& b);

SystemTime day(uint16_t year, uint16_t month, uint16_t date);

// A new process on the disk as it is (the planted fault included): records cleared, the store opened, the
// figures read (or put off), with the automatic Sum Up on unless `autoSumUp` is false.
void startProcess(const SystemTime& now, bool firstRun = false, bool autoSumUp = true);
// One tick of the fast timer, counted on the disk for transient faults.
void tick();
// A connection that lasts `seconds`, with `sumUpAfter` seconds into it a Sum Up when not negative.
void connectFor(int32_t seconds, int32_t sumUpAfter = -1);
// The user's commands as a patient user gives them: tried again at later ticks while refused, and after
// `patience` ticks the planted fault is cleared (the user frees the disk, ends the other program).
void sumUpPatiently(int patience = 20);
void clearPatiently(ClearMode mode, int patience = 20);
// Exit once what is waiting is at least in the journal (ticks; a lasting fault is cleared after `patience`).
void exitPatiently(int patience = 20);
// A fault-free start-up at `now`, without the automatic Sum Up, after the process ends, and what it finds; the
// disk keeps what it wrote.
Image restartAndRead(const SystemTime& now);
// The three-month log and totals, stamped in March 2000, that sessions start from.
void storeStartingFiles();
