// Fakes of the clock, the status source, the data file and the display for native tests.
#include "tests/native/fakes.h"

#include <ctime>

#include "core/settings.h"

FakeWorld fake;

void resetWorld()
{
    fake = FakeWorld{};
    accounting.liveConnection = LiveConnection{};
    accounting.counterBlock = CounterBlock{};
    accounting.monthStamp = SystemTime{};
    accounting.recordCount = 0;
    settings.block = SettingsBlock{};
    settings.extra = SettingsExtra{};
}

int countCalls(const std::string& name)
{
    int n = 0;
    for (const std::string& call : fake.calls)
        n += call == name;
    return n;
}

static void fileCall(const char* name)
{
    fake.calls.push_back(name);
    ++fake.fileOperations;
}

static void displayCall(const char* name)
{
    fake.calls.push_back(name);
    ++fake.paints;
}

int32_t calendarNow() { return fake.calendarTime; }
SystemTime localSystemTime() { return fake.localTime; }

LocalMoment localMomentOf(int32_t calendarTime)
{
    if (fake.useMomentOverride)
        return fake.moment;
    const std::time_t when = calendarTime;
    std::tm parts{};
    gmtime_r(&when, &parts);
    return LocalMoment{parts.tm_wday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

int32_t enumerateConnections(ConnectionHandle* first)
{
    if (fake.connectionCount >= 1)
        *first = fake.firstHandle;
    return fake.connectionCount;
}

uint32_t queryConnectionState(ConnectionHandle, uint32_t) { return fake.connectionState; }

void writeCounterBlock()
{
    fileCall("writeCounterBlock");
    fake.storedCounters = accounting.counterBlock;
}

void readCounterBlock()
{
    fileCall("readCounterBlock");
    accounting.counterBlock = fake.storedCounters;
}

void writeMonthStamp()
{
    fileCall("writeMonthStamp");
    fake.storedStamp = fake.localTime;
    fake.hasStamp = true;
}

bool readMonthStamp(SystemTime& stamp)
{
    fileCall("readMonthStamp");
    if (fake.hasStamp)
        stamp = fake.storedStamp;
    return fake.hasStamp;
}

void writeRecordCount()
{
    fileCall("writeRecordCount");
    fake.storedCount = accounting.recordCount;
}

void readRecordCount()
{
    fileCall("readRecordCount");
    accounting.recordCount = fake.storedCount;
}

int32_t wholeRecordsInFile()
{
    fileCall("wholeRecordsInFile");
    return fake.wholeRecords == -2 ? static_cast<int32_t>(fake.storedRecords.size()) : fake.wholeRecords;
}

bool readRecord(int32_t index, ConnectionRecord& record)
{
    fileCall("readRecord");
    record = ConnectionRecord{};
    if (index < 0 || static_cast<size_t>(index) >= fake.storedRecords.size())
        return false;
    record = fake.storedRecords[static_cast<size_t>(index)];
    return true;
}

void appendRecord(ConnectionRecord record)
{
    fileCall("appendRecord");
    if (accounting.recordCount < 1)
        return;
    const size_t slot = static_cast<size_t>(accounting.recordCount - 1);
    if (fake.storedRecords.size() <= slot)
        fake.storedRecords.resize(slot + 1);
    fake.storedRecords[slot] = record;
}

int32_t readRecords(int32_t first, int32_t count, ConnectionRecord* out)
{
    fileCall("readRecords");
    int32_t done = 0;
    while (done < count && first >= 0 && static_cast<size_t>(first) + done < fake.storedRecords.size()) {
        out[done] = fake.storedRecords[static_cast<size_t>(first) + done];
        ++done;
    }
    return done;
}

void rewriteLog(const ConnectionRecord* records, int32_t count)
{
    fileCall("rewriteLog");
    fake.storedRecords.assign(records, records + (count > 0 ? count : 0));
}

void truncateLog()
{
    fileCall("truncateLog");
    fake.storedRecords.clear();
}

void paintConnected(bool full) { displayCall(full ? "paintConnected(full)" : "paintConnected"); }
void paintNotConnected() { displayCall("paintNotConnected"); }
void invalidateStatistics() { displayCall("invalidateStatistics"); }
void showTimerWindow()
{
    displayCall("showTimerWindow");
    fake.timerWindowOpen = true;
}
bool timerWindowExists() { return fake.timerWindowOpen; }
void paintTimer() { displayCall("paintTimer"); }
void destroyTimerWindow()
{
    displayCall("destroyTimerWindow");
    fake.timerWindowOpen = false;
}
void refreshDetailsIfOpen() { displayCall("refreshDetailsIfOpen"); }
