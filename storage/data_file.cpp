// The data file "Tq.dat": each operation opens, positions, transfers one field and closes.
#include <windows.h>

#include "accounting/ports.h"

void writeCounterBlock() {}
void readCounterBlock() {}
void writeMonthStamp() {}
bool readMonthStamp(SystemTime&) { return false; }
void writeRecordCount() {}
void readRecordCount() {}
bool readRecord(int32_t, ConnectionRecord& record)
{
    record = ConnectionRecord{};
    return false;
}
void appendRecord(ConnectionRecord) {}
void truncateLog() {}
