// What the accounting heart needs from the outside world, as free functions.
// The program links the real ones (win32/); native tests link fakes that record calls.
// The data file's operations are core's own (core/data_store.cpp), on the file seam each side supplies.
#pragma once

#include <cstdint>

#include "core/data_store.h"
#include "core/state.h"

// Clock.
int64_t calendarNow();         // seconds since 1970, 64 bits wide: 32 run out in January 2038
SystemTime localSystemTime();  // the present local time, as GetLocalTime
struct LocalMoment {
    int weekday; // 0 = Sunday ... 6 = Saturday
    int hour;    // 0 to 23
    int minute;  // 0 to 59
    int second;  // 0 to 60
};
LocalMoment localMomentOf(int64_t calendarTime); // local breakdown, as localtime()

// Connection status source (the remote-access service).
using ConnectionHandle = uintptr_t;
// Number of active connections; when at least one, *first receives the first one's handle.
int32_t enumerateConnections(ConnectionHandle* first);
// State of a connection; a query the service leaves unanswered returns `previous`, the latest answer.
uint32_t queryConnectionState(ConnectionHandle handle, uint32_t previous);

// The file system the data file lives on, asked once, by the first data-file operation.
const FileSeam* dataFileSeam();

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

// Display.
void paintConnected(bool full);   // statistics window, connected layout
void paintNotConnected();         // statistics window, idle layout
void invalidateStatistics();      // full repaint of the statistics window
void showTimerWindow();           // open the floating timer strip
bool timerWindowExists();         // whether a strip is open
void paintTimer();                // repaint the strip
void destroyTimerWindow();        // close the strip the monitor opened
void refreshDetailsIfOpen();      // refill an open detailed list with its current filter
void reportStoreTrouble();        // tell the user, once, of data that has waited long for the data file
