// The data file's operations: batches journaled ahead, kept pending while the file is held, the log replaced whole.
#include "core/data_store.h"

#include <algorithm>
#include <cstring>

#include "core/layout.h"
#include "core/ports.h"

namespace {

// Beyond this offset the data file cannot be positioned; a record slot past it is left alone.
constexpr uint64_t kReachableEnd = uint64_t{1} << 32;
// Opens every journaled batch: "TQJ1" in the file.
constexpr int32_t kJournalTag = 0x314A5154;
// Fixed parts of a journaled batch and of each of its writes.
constexpr size_t kBatchHead = 8;
constexpr size_t kWriteHead = 13;
constexpr size_t kBatchTail = 4;

// The store's state: where the files are, what waits for the data file, and how far the journal is good.
struct DataStore {
    const FileSeam* seam;              // the file system, nullptr before opening
    std::vector<WriteBatch> pending;   // batches not yet wholly in the data file, oldest first
    WriteBatch open;                   // the batch being gathered
    int depth;                         // nesting of beginWriteBatch
    uint64_t journalEnd;               // bytes of whole batches in the journal; the next one goes there
    bool journalComplete;              // every pending batch is also in the journal
    bool opened;                       // openDataStore has run
    void (*watcher)(const char*);      // told each operation's name, or nullptr
};

DataStore store{nullptr, {}, {}, 0, 0, true, false, nullptr};

uint32_t checksum(const uint8_t* bytes, size_t size)
{
    // FNV-1a: cheap, and a torn or stale tail of the journal fails it.
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}

void putU64(uint8_t* out, uint64_t value)
{
    putI32(out, static_cast<int32_t>(value & 0xFFFFFFFFu));
    putI32(out + 4, static_cast<int32_t>(value >> 32));
}

uint64_t getU64(const uint8_t* in)
{
    return static_cast<uint32_t>(getI32(in)) | (static_cast<uint64_t>(static_cast<uint32_t>(getI32(in + 4))) << 32);
}

// Lands the oldest batches in the data file; stops at the first the file's holder keeps out.
// A batch interrupted part-way is written again whole: its writes are absolute, so a repeat changes nothing.
void landPending()
{
    if (store.seam == nullptr)
        return;
    while (!store.pending.empty()) {
        for (const PendingWrite& write : store.pending.front()) {
            const FileOutcome outcome =
                write.cut ? store.seam->setLength(StoreFile::Data, write.offset)
                          : store.seam->write(StoreFile::Data, write.offset, write.bytes.data(), write.bytes.size());
            if (outcome == FileOutcome::Held)
                return;
            // Any other failure loses the write, as a file that cannot be written at all always has.
        }
        store.pending.erase(store.pending.begin());
    }
    if (store.pending.empty() && store.journalEnd > 0 && store.seam->remove(StoreFile::Journal)) {
        store.journalEnd = 0;
        store.journalComplete = true;
    }
}

// Writes the batch ahead into the journal, then queues it behind anything pending and tries to land it.
void storeBatch(WriteBatch batch)
{
    if (batch.empty() || store.seam == nullptr)
        return;
    if (store.journalComplete) {
        std::vector<uint8_t> bytes;
        encodeJournalBatch(batch, bytes);
        if (store.seam->write(StoreFile::Journal, store.journalEnd, bytes.data(), bytes.size()) == FileOutcome::Done)
            store.journalEnd += bytes.size();
        else
            // A later batch in the journal without this one before it would replay out of order.
            store.journalComplete = false;
    }
    store.pending.push_back(std::move(batch));
    landPending();
}

void queueWrite(PendingWrite write)
{
    store.open.push_back(std::move(write));
    if (store.depth == 0) {
        storeBatch(std::move(store.open));
        store.open.clear();
    }
}

void queueBytes(uint64_t offset, const uint8_t* bytes, size_t size)
{
    queueWrite(PendingWrite{offset, false, std::vector<uint8_t>(bytes, bytes + size)});
}

// The data file's length once what is pending has landed; -1 when unknown.
int64_t viewLength()
{
    int64_t length = store.seam == nullptr ? 0 : store.seam->length(StoreFile::Data);
    for (const WriteBatch& batch : store.pending)
        for (const PendingWrite& write : batch) {
            if (write.cut)
                length = static_cast<int64_t>(write.offset);
            else if (length >= 0)
                length = std::max(length, static_cast<int64_t>(write.offset + write.bytes.size()));
        }
    return length;
}

// Reads as though every pending batch had landed; returns how many bytes the data file would deliver.
// When the file cannot be read, only the bytes pending writes supply are known, from the window's start on.
size_t readView(uint64_t offset, uint8_t* bytes, size_t size)
{
    std::vector<uint8_t> window(size, 0);
    const int64_t read = store.seam == nullptr ? 0 : store.seam->read(StoreFile::Data, offset, window.data(), size);
    const bool fileRead = read >= 0;
    if (store.pending.empty()) {
        const size_t delivered = fileRead ? static_cast<size_t>(read) : 0;
        std::memcpy(bytes, window.data(), delivered);
        return delivered;
    }
    // The file's own bytes reach `end`; pending writes then change and extend them.
    int64_t end = static_cast<int64_t>(offset) + (fileRead ? read : 0);
    if (read == static_cast<int64_t>(size))
        end = std::max(end, store.seam->length(StoreFile::Data));
    std::vector<bool> known(size, fileRead);
    for (const WriteBatch& batch : store.pending)
        for (const PendingWrite& write : batch) {
            if (write.cut) {
                for (uint64_t at = std::max(write.offset, offset); at < offset + size; ++at)
                    window[at - offset] = 0, known[at - offset] = true;
                end = static_cast<int64_t>(write.offset);
                continue;
            }
            const uint64_t from = std::max(write.offset, offset);
            const uint64_t to = std::min(write.offset + write.bytes.size(), offset + size);
            for (uint64_t at = from; at < to; ++at)
                window[at - offset] = write.bytes[at - write.offset], known[at - offset] = true;
            end = std::max(end, static_cast<int64_t>(write.offset + write.bytes.size()));
        }
    int64_t delivered = std::clamp<int64_t>(end - static_cast<int64_t>(offset), 0, static_cast<int64_t>(size));
    delivered = std::find(known.begin(), known.begin() + delivered, false) - known.begin();
    std::memcpy(bytes, window.data(), static_cast<size_t>(delivered));
    return static_cast<size_t>(delivered);
}

bool slotReachable(int64_t index)
{
    return index >= 0 && recordOffset(index) + kRecordSize <= kReachableEnd;
}

} // namespace

void encodeJournalBatch(const WriteBatch& batch, std::vector<uint8_t>& out)
{
    const size_t start = out.size();
    size_t size = kBatchHead + kBatchTail;
    for (const PendingWrite& write : batch)
        size += kWriteHead + write.bytes.size();
    out.resize(start + size);
    uint8_t* at = out.data() + start;
    putI32(at, kJournalTag);
    putI32(at + 4, static_cast<int32_t>(batch.size()));
    at += kBatchHead;
    for (const PendingWrite& write : batch) {
        putU64(at, write.offset);
        at[8] = write.cut ? 1 : 0;
        putI32(at + 9, static_cast<int32_t>(write.bytes.size()));
        if (!write.bytes.empty())
            std::memcpy(at + kWriteHead, write.bytes.data(), write.bytes.size());
        at += kWriteHead + write.bytes.size();
    }
    putI32(at, static_cast<int32_t>(checksum(out.data() + start, size - kBatchTail)));
}

std::vector<WriteBatch> decodeJournal(const uint8_t* bytes, size_t size, size_t& validLength)
{
    std::vector<WriteBatch> batches;
    size_t at = 0;
    validLength = 0;
    while (size - at >= kBatchHead + kBatchTail && getI32(bytes + at) == kJournalTag) {
        const int32_t writes = getI32(bytes + at + 4);
        size_t next = at + kBatchHead;
        WriteBatch batch;
        bool whole = writes >= 0;
        for (int32_t i = 0; whole && i < writes; ++i) {
            whole = size - next >= kWriteHead;
            if (!whole)
                break;
            const uint32_t length = static_cast<uint32_t>(getI32(bytes + next + 9));
            whole = length <= size - next - kWriteHead;
            if (!whole)
                break;
            const uint8_t* data = bytes + next + kWriteHead;
            batch.push_back(PendingWrite{getU64(bytes + next), bytes[next + 8] != 0, {data, data + length}});
            next += kWriteHead + length;
        }
        if (!whole || size - next < kBatchTail ||
            static_cast<uint32_t>(getI32(bytes + next)) != checksum(bytes + at, next - at))
            break;
        batches.push_back(std::move(batch));
        at = next + kBatchTail;
        validLength = at;
    }
    return batches;
}

void openDataStore(const FileSeam* seam)
{
    store = DataStore{seam, {}, {}, 0, 0, true, true, store.watcher};
    if (seam == nullptr)
        return;
    const int64_t length = seam->length(StoreFile::Journal);
    if (length > 0) {
        std::vector<uint8_t> bytes(static_cast<size_t>(length));
        const int64_t read = seam->read(StoreFile::Journal, 0, bytes.data(), bytes.size());
        size_t valid = 0;
        if (read > 0)
            store.pending = decodeJournal(bytes.data(), static_cast<size_t>(read), valid);
        // A torn batch at the end never reached the data file; the next batch is written over it.
        store.journalEnd = valid;
        if (valid == 0)
            seam->remove(StoreFile::Journal);
    }
    // What an interrupted Clear left beside the data file never took its place.
    seam->remove(StoreFile::Fresh);
    landPending();
}

void beginWriteBatch() { ++store.depth; }

void endWriteBatch()
{
    if (store.depth > 0 && --store.depth == 0) {
        storeBatch(std::move(store.open));
        store.open.clear();
    }
}

bool retryPendingWrites()
{
    if (!store.pending.empty() || store.journalEnd > 0)
        landPending();
    return store.pending.empty() && store.journalEnd == 0;
}

bool writesPending() { return !store.pending.empty(); }

bool pendingWritesJournaled() { return store.journalComplete; }

void watchDataFile(void (*watcher)(const char* operation)) { store.watcher = watcher; }

namespace {

// Every data-file operation begins here: the store opens at the first one, which start-up makes after
// moving to the executable's folder, where an ended process's journal lies.
void beginOperation(const char* name)
{
    if (!store.opened)
        openDataStore(dataFileSeam());
    if (store.watcher != nullptr)
        store.watcher(name);
}

// The operations on one field of the header: the bytes queued, or read as the view has them (returning
// how many arrived).
void writeField(const char* operation, uint32_t offset, const uint8_t* bytes, size_t size)
{
    beginOperation(operation);
    queueBytes(offset, bytes, size);
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

} // namespace

FileOutcome replaceLog(const ConnectionRecord* records, int32_t count)
{
    beginOperation("replaceLog");
    if (store.seam == nullptr)
        return FileOutcome::Failed;
    // Anything still on its way to the old file would land in the new one at offsets that mean other things.
    if (!retryPendingWrites())
        return FileOutcome::Held;
    const FileSeam& seam = *store.seam;
    // The header is kept byte for byte, as cutting the old file to it kept it; a short one grows with zeros.
    uint8_t header[kHeaderSize] = {};
    if (seam.read(StoreFile::Data, 0, header, sizeof header) < 0)
        return FileOutcome::Held;
    putI32(header + kRecordCountOffset, count);
    seam.remove(StoreFile::Fresh);
    FileOutcome outcome = seam.write(StoreFile::Fresh, 0, header, sizeof header);
    constexpr int32_t kBlock = 256;
    uint8_t block[kRecordSize * kBlock];
    for (int32_t done = 0; outcome == FileOutcome::Done && done < count && slotReachable(done);) {
        const int32_t chunk = std::min(count - done, kBlock);
        for (int32_t i = 0; i < chunk; ++i)
            encodeRecord(records[done + i], block + i * kRecordSize);
        outcome = seam.write(StoreFile::Fresh, recordOffset(done), block, static_cast<size_t>(chunk) * kRecordSize);
        done += chunk;
    }
    if (outcome == FileOutcome::Done)
        outcome = seam.replaceData();
    if (outcome != FileOutcome::Done)
        seam.remove(StoreFile::Fresh);
    return outcome;
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
    queueBytes(recordOffset(index), bytes, sizeof bytes);
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
    int32_t done = 0;
    while (done < count && slotReachable(static_cast<int64_t>(first) + done)) {
        const int32_t wanted = std::min(count - done, kBlock);
        const size_t read = readView(recordOffset(first + done), block, static_cast<size_t>(wanted) * kRecordSize);
        const int32_t whole = static_cast<int32_t>(read / kRecordSize);
        for (int32_t i = 0; i < whole; ++i)
            out[done + i] = decodeRecord(block + i * kRecordSize);
        done += whole;
        if (whole < wanted)
            break;
    }
    return done;
}
