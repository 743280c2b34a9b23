// The stored totals as the heart keeps them: start-up's reading of the totals, the month stamp and the record
// count, put off while the data file cannot be read; ended connections counted onto them (those that end before
// the reading, once it is done); and Reset Counters.
#pragma once

#include <cstddef>

#include "core/state.h"

// An ended connection's figures as they enter the totals and the log.
struct EndedConnection {
    ConnectionRecord record; // its log record: start, duration and cost
    double carriedSeconds;   // the part of the duration a Sum Up already moved to the last month
    double carriedCost;      // the part of the cost a Sum Up already moved to the last month
};

// Reads the figures, or, while the data file cannot be read (held past the start-up wait, a read error, a
// journal not yet settled), writes nothing and tries again at each tick. On the first run for this user the
// month stamp is written instead of the totals being read. Then the automatic month check and the count.
void loadStoredFigures(bool firstRun);
// Tries a put-off reading again; every tick calls it.
void retryStoredFigures();
// Whether the figures have been read; until then nothing is written into the data file's header.
bool storedFiguresLoaded();
// An ended connection into the totals, the count and the log, stored as one batch; before the figures are read
// it is kept in memory and stored right after them.
void storeEndedConnection(const EndedConnection& ended);
// Reset Counters: all six totals to zero, stored; stamp, record count and log stay.
void resetCounters();
// Connections kept in memory until the figures are read.
size_t connectionsAwaitingFigures();
// Forgets the reading and the kept connections, as a new process starts.
void resetStoredFigures();
