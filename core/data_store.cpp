// The data file's field operations on top of the pager: header fields and records written as batches, read
// as though every pending batch had landed.
#include "core/data_store.h"

#include <algorithm>

#include "core/clock.h"
#include "core/log_replacement.h"
#include "core/pager.h"
#include "core/store_view.h"

namespace {

// The operations' own state: whether the store is open, the batch being gathered, who watches.
struct FieldOperations {
    bool opened;                  // openDataStore has run
    WriteBatch gathering;         // the writes of the batch between beginWriteBatch and its end
    int depth;                    // nesting of beginWriteBatch
    void (*watcher)(const char*); // told each operation's name, or nullptr
};

FieldOperations operations{};

// Every data-file operation begins here: the store opens at the first one, which start-up makes after
// finding the executable's folder, where an ended process's journal lies.
void beginOperation(const char* name)
{
    if (!operations.opened)
        openDataStore(dataFileSeam());
    if (operations.watcher != nullptr)
        operations.watcher(name);
}

void queueWrite(PendingWrite write)
{
    operations.gathering.push_back(std::move(write));
    if (operations.depth == 0) {
        queueBatch(std::move(operations.gathering));
        operations.gathering.clear();
    }
}

void writeField(const char* operation, uint32_t offset, const uint8_t* bytes, size_t size)
{
    beginOperation(operation);
    queueWrite(PendingWrite{offset, false, std::vector<uint8_t>(bytes, bytes + size)});
}

size_t readField(const char* operation, uint32_t offset, uint8_t* bytes, size_t size)
{
    beginOperation(operation);
    return readView(offset, bytes, size);
}

// Reads a field of `size` bytes (the counter block's at most) and lays what arrived over its record.
void overlayField(const char* operation, uint32_t offset, size_t size, void (*overlay)(const uint8_t*, size_t))
{
    uint8_t bytes[kCounterBlockSize];
    overlay(bytes, readField(operation, offset, bytes, std::min(size, sizeof bytes)));
}

bool slotReachable(int64_t index) { return index >= 0 && recordOffset(index) + kRecordSize <= kReachableEnd; }

} // namespace

void openDataStore(const FileSeam* seam)
{
    void (*watcher)(const char*) = operations.watcher;
    operations = FieldOperations{};
    operations.opened = true;
    operations.watcher = watcher;
    pagerOpen(seam);
}

void beginWriteBatch() { ++operations.depth; }

void endWriteBatch()
{
    if (operations.depth > 0 && --operations.depth == 0) {
        queueBatch(std::move(operations.gathering));
        operations.gathering.clear();
    }
}

void watchDataFile(void (*watcher)(const char* operation)) { operations.watcher = watcher; }

StoreResult replaceLog(const ConnectionRecord* records, int32_t count)
{
    beginOperation("replaceLog");
    return replaceDataFile(records, count);
}

void writeCounterBlock()
{
    uint8_t bytes[kCounterBlockSize];
    encodeCounterBlock(accounting.counterBlock, bytes);
    writeField("writeCounterBlock", kCounterBlockOffset, bytes, sizeof bytes);
}

void readCounterBlock()
{
    overlayField("readCounterBlock", kCounterBlockOffset, kCounterBlockSize,
                 [](const uint8_t* bytes, size_t read) { overlayCounterBlock(accounting.counterBlock, bytes, read); });
}

void writeMonthStamp()
{
    uint8_t bytes[kSystemTimeSize];
    encodeSystemTime(localSystemTime(), bytes);
    writeField("writeMonthStamp", kMonthStampOffset, bytes, sizeof bytes);
}

bool readMonthStamp(SystemTime& stamp)
{
    // Bytes that do not arrive keep the caller's values, as with the other short reads.
    uint8_t bytes[kSystemTimeSize];
    encodeSystemTime(stamp, bytes);
    const size_t read = readField("readMonthStamp", kMonthStampOffset, bytes, sizeof bytes);
    stamp = decodeSystemTime(bytes);
    return read == kSystemTimeSize;
}

void writeRecordCount()
{
    uint8_t bytes[kRecordCountSize];
    putI32(bytes, accounting.recordCount);
    writeField("writeRecordCount", kRecordCountOffset, bytes, sizeof bytes);
}

void readRecordCount()
{
    overlayField("readRecordCount", kRecordCountOffset, kRecordCountSize,
                 [](const uint8_t* bytes, size_t read) { overlayRecordCount(accounting.recordCount, bytes, read); });
}

int32_t wholeRecordsInFile()
{
    beginOperation("wholeRecordsInFile");
    const int64_t length = viewLength();
    if (length < 0)
        return -1;
    const uint64_t reachable = std::min(static_cast<uint64_t>(length), kReachableEnd);
    if (reachable <= kHeaderSize)
        return 0;
    return static_cast<int32_t>((reachable - kHeaderSize) / kRecordSize);
}

bool readRecord(int32_t index, ConnectionRecord& record)
{
    beginOperation("readRecord");
    // A slot not wholly in the file (a count stored without its record, the live connection's reserved
    // slot, a failed open) reads as an empty record, so callers can tell it and skip it.
    record = ConnectionRecord{};
    if (!slotReachable(index))
        return false;
    uint8_t bytes[kRecordSize];
    if (readView(recordOffset(index), bytes, sizeof bytes) != kRecordSize)
        return false;
    record = decodeRecord(bytes);
    return true;
}

void appendRecord(ConnectionRecord record)
{
    beginOperation("appendRecord");
    // The caller has already counted the record; with no slot counted there is none to fill,
    // and slot -1 would overwrite the header.
    const int64_t index = static_cast<int64_t>(accounting.recordCount) - 1;
    if (accounting.recordCount < 1 || !slotReachable(index))
        return;
    uint8_t bytes[kRecordSize];
    encodeRecord(record, bytes);
    queueWrite(PendingWrite{recordOffset(index), false, std::vector<uint8_t>(bytes, bytes + sizeof bytes)});
}

void truncateLog()
{
    beginOperation("truncateLog");
    queueWrite(PendingWrite{kHeaderSize, true, {}});
}

int32_t readRecords(int32_t first, int32_t count, ConnectionRecord* out)
{
    beginOperation("readRecords");
    // Read in blocks, so that a count larger than the file costs nothing more than the file holds.
    constexpr int32_t kBlock = 256;
    uint8_t block[kRecordSize * kBlock];
    int32_t read = 0;
    while (read < count && slotReachable(static_cast<int64_t>(first) + read)) {
        const int32_t wanted = std::min(count - read, kBlock);
        const size_t arrived = readView(recordOffset(first + read), block, static_cast<size_t>(wanted) * kRecordSize);
        const int32_t whole = static_cast<int32_t>(arrived / kRecordSize);
        for (int32_t i = 0; i < whole; ++i)
            out[read + i] = decodeRecord(block + i * kRecordSize);
        read += whole;
        if (whole < wanted)
            break;
    }
    return read;
}
