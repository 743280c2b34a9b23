// Fakes of the clock, the status source, the data file's disk and the display for native tests.
#include "tests/native/fakes.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "core/layout.h"
#include "core/settings.h"

FakeWorld fake;
Disk disk;

namespace {

// Spends up to `units`; returns how many may still happen before the cut.
size_t spend(size_t units)
{
    if (disk.dead)
        return 0;
    size_t allowed = units;
    if (disk.budget >= 0 && static_cast<int64_t>(units) > disk.budget - disk.spent) {
        allowed = static_cast<size_t>(disk.budget - disk.spent);
        disk.dead = true;
    }
    disk.spent += static_cast<int64_t>(allowed);
    return allowed;
}

bool held(StoreFile file) { return file == StoreFile::Data && disk.dataHeld; }

FileOutcome memoryWrite(StoreFile file, uint64_t offset, const uint8_t* bytes, size_t size)
{
    if (held(file))
        return FileOutcome::Held;
    const size_t allowed = spend(size);
    if (disk.dead && allowed == 0)
        return FileOutcome::Failed;
    std::vector<uint8_t>& content = disk.files[file];
    if (content.size() < offset + allowed)
        content.resize(offset + allowed, 0);
    std::memcpy(content.data() + offset, bytes, allowed);
    return allowed == size ? FileOutcome::Done : FileOutcome::Failed;
}

int64_t memoryRead(StoreFile file, uint64_t offset, uint8_t* bytes, size_t size)
{
    if (held(file))
        return -1;
    const std::vector<uint8_t>& content = disk.files[file];
    if (offset >= content.size())
        return 0;
    const size_t read = std::min(size, content.size() - static_cast<size_t>(offset));
    std::memcpy(bytes, content.data() + offset, read);
    return static_cast<int64_t>(read);
}

FileOutcome memorySetLength(StoreFile file, uint64_t length)
{
    if (held(file))
        return FileOutcome::Held;
    if (spend(1) == 0)
        return FileOutcome::Failed;
    disk.files[file].resize(length, 0);
    return FileOutcome::Done;
}

int64_t memoryLength(StoreFile file)
{
    const auto found = disk.files.find(file);
    return found == disk.files.end() ? 0 : static_cast<int64_t>(found->second.size());
}

bool memoryRemove(StoreFile file)
{
    if (spend(1) == 0)
        return false;
    disk.files.erase(file);
    return true;
}

FileOutcome memoryReplace()
{
    if (disk.dataHeld)
        return FileOutcome::Held;
    if (spend(1) == 0)
        return FileOutcome::Failed;
    disk.files[StoreFile::Data] = disk.files[StoreFile::Fresh];
    disk.files.erase(StoreFile::Fresh);
    return FileOutcome::Done;
}


void fileCall(const char* name)
{
    fake.calls.push_back(name);
    ++fake.fileOperations;
}

void displayCall(const char* name)
{
    fake.calls.push_back(name);
    ++fake.paints;
}

std::vector<uint8_t>& dataBytes(size_t atLeast)
{
    std::vector<uint8_t>& bytes = disk.files[StoreFile::Data];
    if (bytes.size() < atLeast)
        bytes.resize(atLeast, 0);
    return bytes;
}

} // namespace

const FileSeam kMemoryFiles{memoryWrite, memoryRead, memorySetLength, memoryLength, memoryRemove, memoryReplace};

void resetWorld()
{
    fake = FakeWorld{};
    disk = Disk{};
    zeroProcessRecords();
    watchDataFile(fileCall);
    openDataStore(&kMemoryFiles);
}

int countCalls(const std::string& name)
{
    int n = 0;
    for (const std::string& call : fake.calls)
        n += call == name;
    return n;
}

std::vector<ConnectionRecord> storedRecords()
{
    const std::vector<uint8_t>& bytes = dataBytes(0);
    std::vector<ConnectionRecord> records;
    for (size_t at = kHeaderSize; at + kRecordSize <= bytes.size(); at += kRecordSize)
        records.push_back(decodeRecord(bytes.data() + at));
    return records;
}

void storeRecords(const std::vector<ConnectionRecord>& records)
{
    std::vector<uint8_t>& bytes = dataBytes(kHeaderSize);
    bytes.resize(recordOffset(static_cast<int64_t>(records.size())));
    for (size_t i = 0; i < records.size(); ++i)
        encodeRecord(records[i], bytes.data() + recordOffset(static_cast<int64_t>(i)));
}

int32_t storedCount() { return getI32(dataBytes(kHeaderSize).data() + kRecordCountOffset); }

void storeCount(int32_t count) { putI32(dataBytes(kHeaderSize).data() + kRecordCountOffset, count); }

CounterBlock storedCounters() { return decodeCounterBlock(dataBytes(kHeaderSize).data() + kCounterBlockOffset); }

void storeCounters(const CounterBlock& counters)
{
    encodeCounterBlock(counters, dataBytes(kHeaderSize).data() + kCounterBlockOffset);
}

SystemTime storedStamp() { return decodeSystemTime(dataBytes(kHeaderSize).data() + kMonthStampOffset); }

const FileSeam* dataFileSeam() { return &kMemoryFiles; }

int64_t calendarNow() { return fake.calendarTime; }
SystemTime localSystemTime() { return fake.localTime; }

LocalMoment localMomentOf(int64_t calendarTime)
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
