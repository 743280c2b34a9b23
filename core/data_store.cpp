// The data file's operations: batches journaled ahead, kept pending whatever keeps them out, the log replaced whole.
#include "core/data_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/clock.h"

namespace {

// Beyond this offset the data file cannot be positioned; a record slot past it is left alone.
constexpr uint64_t kReachableEnd = uint64_t{1} << 32;
// Opens every journaled batch: "TQJ2" in the file (the first journal's batches, "TQJ1", carried no file state).
constexpr int32_t kJournalTag = 0x324A5154;
constexpr int32_t kFirstJournalTag = 0x314A5154;
// Fixed parts of a journaled batch and of each of its writes: tag, state (length, header), write count; checksum.
constexpr size_t kBatchHead = 4 + 8 + kHeaderSize + 4;
constexpr size_t kWriteHead = 13;
constexpr size_t kBatchTail = 4;

// A batch waiting for the data file, and whether the journal holds it.
struct PendingBatch {
    JournalBatch batch; // the data file it was written for, and its writes
    bool journaled;     // written (and flushed) into the journal
};

// The store's state: where the files are, what waits for the data file, and how far the journal is good.
struct DataStore {
    const FileSeam* seam;              // the file system, nullptr before opening
    bool opened;                       // openDataStore has run
    bool settled;                      // the journal left by an ended process is dealt with and the file read
    FileState landed;                  // the data file as the landed batches left it
    std::vector<PendingBatch> pending; // batches not yet wholly in the data file, oldest first
    WriteBatch open;                   // the batch being gathered
    int depth;                         // nesting of beginWriteBatch
    uint64_t journalEnd;               // bytes of whole batches in the journal; the next one goes there
    bool journalForeign;               // a journal of another data file lies there and could not be set aside
    bool unflushed;                    // batches landed since the data file was last flushed
    uint64_t readFailures;             // failed reads of the data file
    FileResult readFailure;            // the latest of them
    StoreTrouble trouble;              // why data waits, and whether the user knows
    char setAsideName[16];             // where a foreign journal went, until the user is told
    void (*watcher)(const char*);      // told each operation's name, or nullptr
};

DataStore store{};

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

// The state after one write.
FileState applyWrite(FileState state, const PendingWrite& write)
{
    if (write.cut) {
        state.length = write.offset;
        for (uint64_t at = write.offset; at < kHeaderSize; ++at)
            state.header[at] = 0;
        return state;
    }
    for (uint64_t at = write.offset; at < kHeaderSize && at < write.offset + write.bytes.size(); ++at)
        state.header[at] = write.bytes[at - write.offset];
    state.length = std::max<uint64_t>(state.length, write.offset + write.bytes.size());
    return state;
}

bool done(const FileResult& result) { return result.outcome == FileOutcome::Done; }

// Notes why data waits; the episode's start is kept while it lasts.
void noteTrouble(StoreFile file, const FileResult& result)
{
    if (!store.trouble.waiting) {
        store.trouble.waiting = true;
        store.trouble.since = calendarNow();
    }
    store.trouble.file = file;
    store.trouble.result = result;
}

// The data file's length and header as they stand; false when they cannot be read.
bool readFileState(FileState& state)
{
    state = FileState{};
    size_t got = 0;
    // Read first: a file that cannot be opened says why, which its length cannot.
    FileResult result = store.seam->read(StoreFile::Data, 0, state.header, kHeaderSize, got);
    const int64_t length = store.seam->length(StoreFile::Data);
    if (done(result) && length < 0)
        result = FileResult{FileOutcome::Failed, 0};
    if (!done(result)) {
        ++store.readFailures;
        store.readFailure = result;
        return false;
    }
    state.length = std::max<uint64_t>(static_cast<uint64_t>(length), got);
    return true;
}

// The state after every pending batch has landed.
FileState viewState()
{
    return store.pending.empty() ? store.landed
                                 : applyWrites(store.pending.back().batch.before, store.pending.back().batch.writes,
                                               store.pending.back().batch.writes.size());
}

// Writes the batches the journal does not hold yet, in order, and flushes it, so that each is on the disk
// before any of its writes reaches the data file. One that cannot be written now is tried again later.
void journalPending()
{
    if (store.journalForeign)
        return;
    const uint64_t startEnd = store.journalEnd;
    size_t written = 0;
    for (PendingBatch& waiting : store.pending) {
        if (waiting.journaled)
            continue;
        std::vector<uint8_t> bytes;
        encodeJournalBatch(waiting.batch, bytes);
        const FileResult result = store.seam->write(StoreFile::Journal, store.journalEnd, bytes.data(), bytes.size());
        if (!done(result)) {
            store.trouble.journalFailure = result;
            break;
        }
        // Advanced by the batch, so that a torn write after it is overwritten by the next batch.
        store.journalEnd += bytes.size();
        waiting.journaled = true;
        ++written;
    }
    if (written == 0)
        return;
    const FileResult flushed = store.seam->flush(StoreFile::Journal);
    if (done(flushed)) {
        store.trouble.journalFailure = flushed;
        return;
    }
    // Not on the disk for certain: written again, over the same bytes, at the next try.
    store.trouble.journalFailure = flushed;
    store.journalEnd = startEnd;
    for (size_t i = store.pending.size() - written; i < store.pending.size(); ++i)
        store.pending[i].journaled = false;
}

// Deletes the journal once the data file holds all it held, flushed.
void retireJournal()
{
    if (store.journalEnd == 0 || store.journalForeign)
        return;
    if (store.unflushed) {
        const FileResult flushed = store.seam->flush(StoreFile::Data);
        if (!done(flushed))
            return;
        store.unflushed = false;
    }
    if (done(store.seam->remove(StoreFile::Journal)))
        store.journalEnd = 0;
}

// The batch's writes in the order they land: as written, or the records' before the header's.
std::vector<const PendingWrite*> landingOrder(const WriteBatch& writes, bool recordsFirst)
{
    std::vector<const PendingWrite*> order;
    for (const PendingWrite& write : writes)
        order.push_back(&write);
    if (recordsFirst)
        std::stable_partition(order.begin(), order.end(),
                              [](const PendingWrite* write) { return write->offset >= kHeaderSize; });
    return order;
}

// Lands the oldest batches in the data file; stops at the first write that fails, whatever the reason, and
// keeps that batch to be written again whole: its writes are absolute, so a repeat changes nothing.
void landPending()
{
    journalPending();
    while (!store.pending.empty()) {
        const PendingBatch& waiting = store.pending.front();
        const JournalBatch& batch = waiting.batch;
        // Without the journal behind it, a batch writes its records before the header that counts them, so that a
        // write cut short (a full disk) or a process ended half-way never leaves a count ahead of the records.
        for (const PendingWrite* write : landingOrder(batch.writes, !waiting.journaled)) {
            const FileResult result =
                write->cut ? store.seam->setLength(StoreFile::Data, write->offset)
                           : store.seam->write(StoreFile::Data, write->offset, write->bytes.data(), write->bytes.size());
            if (!done(result)) {
                noteTrouble(StoreFile::Data, result);
                return;
            }
        }
        store.landed = applyWrites(batch.before, batch.writes, batch.writes.size());
        store.unflushed = true;
        store.pending.erase(store.pending.begin());
    }
    store.trouble.waiting = false;
    store.trouble.reported = false;
    retireJournal();
}

// Whether `file` is what the writes of `batches` from `first` on may leave when they land out of order and in
// part (a power loss keeps some sectors of unflushed writes and not others): every header byte as one of the
// states they lead through has it, and the length between the shortest and the longest of those.
bool midway(const std::vector<JournalBatch>& batches, size_t first, const FileState& file)
{
    std::vector<FileState> states;
    for (size_t i = first; i < batches.size(); ++i) {
        FileState state = batches[i].before;
        states.push_back(state);
        for (const PendingWrite& write : batches[i].writes)
            states.push_back(state = applyWrite(state, write));
    }
    uint64_t shortest = UINT64_MAX;
    uint64_t longest = 0;
    for (const FileState& state : states) {
        shortest = std::min(shortest, state.length);
        longest = std::max(longest, state.length);
    }
    if (file.length < shortest || file.length > longest)
        return false;
    for (size_t at = 0; at < kHeaderSize; ++at)
        if (std::none_of(states.begin(), states.end(),
                         [&](const FileState& state) { return state.header[at] == file.header[at]; }))
            return false;
    return true;
}

// Where the data file stands among the journal's batches: the first batch not wholly in it, `batches.size()`
// when every one is, or -1 when the file is in none of the states they lead through (it is another file:
// restored, replaced or made anew, or one that newer writes have moved past them).
int64_t firstBatchNotLanded(const std::vector<JournalBatch>& batches, const FileState& file)
{
    if (batches.empty())
        return 0;
    const JournalBatch& last = batches.back();
    if (sameState(applyWrites(last.before, last.writes, last.writes.size()), file))
        return static_cast<int64_t>(batches.size());
    for (size_t i = batches.size(); i-- > 0;)
        if (midway(batches, i, file))
            return static_cast<int64_t>(i);
    return -1;
}

// A journal written for another data file is never replayed and never deleted: it is set aside for the user.
void setAsideJournal()
{
    if (done(store.seam->setAsideJournal(store.setAsideName, sizeof store.setAsideName))) {
        store.journalForeign = false;
        store.journalEnd = 0;
    } else {
        store.setAsideName[0] = '\0';
        store.journalForeign = true;
    }
}

// Reads the journal an ended process left and the data file's state; false, changing nothing, while either
// cannot be read. Batches the file has not wholly taken become pending again; a file in none of their states
// gets none of them.
bool settleJournal()
{
    const FileSeam& seam = *store.seam;
    const int64_t length = seam.length(StoreFile::Journal);
    if (length < 0) {
        noteTrouble(StoreFile::Journal, FileResult{FileOutcome::Failed, 0});
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    size_t got = 0;
    const FileResult journalRead =
        length > 0 ? seam.read(StoreFile::Journal, 0, bytes.data(), bytes.size(), got) : FileResult{};
    if (!done(journalRead)) {
        noteTrouble(StoreFile::Journal, journalRead);
        return false;
    }
    FileState file;
    if (!readFileState(file)) {
        noteTrouble(StoreFile::Data, store.readFailure);
        return false;
    }
    size_t valid = 0;
    std::vector<JournalBatch> batches = decodeJournal(bytes.data(), got, valid);
    store.landed = file;
    // A torn batch at the end never reached the data file; the next batch is written over it.
    store.journalEnd = valid;
    const int64_t first = firstBatchNotLanded(batches, file);
    // A journal of the first kind carries no file state, so it cannot be told where it belongs.
    const bool foreign = first < 0 || (valid == 0 && got >= 4 && getI32(bytes.data()) == kFirstJournalTag);
    if (foreign)
        setAsideJournal();
    // Batches queued before the journal was settled follow its own, written for the file as those leave it.
    std::vector<PendingBatch> early = std::move(store.pending);
    store.pending.clear();
    for (size_t i = foreign ? batches.size() : static_cast<size_t>(first); i < batches.size(); ++i)
        store.pending.push_back(PendingBatch{std::move(batches[i]), true});
    for (PendingBatch& waiting : early) {
        waiting.batch.before = viewState();
        store.pending.push_back(std::move(waiting));
    }
    if (!foreign && store.pending.empty() && done(seam.remove(StoreFile::Journal)))
        store.journalEnd = 0;
    // What an interrupted Clear left beside the data file never took its place.
    seam.remove(StoreFile::Fresh);
    return true;
}

bool settle()
{
    if (store.seam == nullptr)
        return true;
    if (!store.settled)
        store.settled = settleJournal();
    return store.settled;
}

// Queues the batch behind anything pending, written for the file as those leave it, and tries to land it.
void storeBatch(WriteBatch writes)
{
    if (writes.empty() || store.seam == nullptr)
        return;
    // Nothing waits: the file is asked how it stands, in case another program changed it meanwhile.
    if (store.pending.empty() && store.settled) {
        FileState now;
        if (readFileState(now))
            store.landed = now;
    }
    store.pending.push_back(PendingBatch{JournalBatch{viewState(), std::move(writes)}, false});
    if (settle())
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
    for (const PendingBatch& waiting : store.pending)
        for (const PendingWrite& write : waiting.batch.writes) {
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
    size_t read = 0;
    const bool fileRead =
        store.seam != nullptr && done(store.seam->read(StoreFile::Data, offset, window.data(), size, read));
    if (store.seam != nullptr && !fileRead) {
        ++store.readFailures;
        read = 0;
    }
    if (store.pending.empty()) {
        std::memcpy(bytes, window.data(), read);
        return read;
    }
    // The file's own bytes reach `end`; pending writes then change and extend them.
    int64_t end = static_cast<int64_t>(offset + read);
    if (fileRead && read == size)
        end = std::max(end, store.seam->length(StoreFile::Data));
    std::vector<bool> known(size, fileRead);
    for (const PendingBatch& waiting : store.pending)
        for (const PendingWrite& write : waiting.batch.writes) {
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

FileState applyWrites(FileState state, const WriteBatch& writes, size_t count)
{
    for (size_t i = 0; i < count && i < writes.size(); ++i)
        state = applyWrite(state, writes[i]);
    return state;
}

bool sameState(const FileState& a, const FileState& b)
{
    return a.length == b.length && std::memcmp(a.header, b.header, kHeaderSize) == 0;
}

void encodeJournalBatch(const JournalBatch& batch, std::vector<uint8_t>& out)
{
    const size_t start = out.size();
    size_t size = kBatchHead + kBatchTail;
    for (const PendingWrite& write : batch.writes)
        size += kWriteHead + write.bytes.size();
    out.resize(start + size);
    uint8_t* at = out.data() + start;
    putI32(at, kJournalTag);
    putU64(at + 4, batch.before.length);
    std::memcpy(at + 12, batch.before.header, kHeaderSize);
    putI32(at + 12 + kHeaderSize, static_cast<int32_t>(batch.writes.size()));
    at += kBatchHead;
    for (const PendingWrite& write : batch.writes) {
        putU64(at, write.offset);
        at[8] = write.cut ? 1 : 0;
        putI32(at + 9, static_cast<int32_t>(write.bytes.size()));
        if (!write.bytes.empty())
            std::memcpy(at + kWriteHead, write.bytes.data(), write.bytes.size());
        at += kWriteHead + write.bytes.size();
    }
    putI32(at, static_cast<int32_t>(checksum(out.data() + start, size - kBatchTail)));
}

std::vector<JournalBatch> decodeJournal(const uint8_t* bytes, size_t size, size_t& validLength)
{
    std::vector<JournalBatch> batches;
    size_t at = 0;
    validLength = 0;
    while (size - at >= kBatchHead + kBatchTail && getI32(bytes + at) == kJournalTag) {
        JournalBatch batch{};
        batch.before.length = getU64(bytes + at + 4);
        std::memcpy(batch.before.header, bytes + at + 12, kHeaderSize);
        const int32_t writes = getI32(bytes + at + 12 + kHeaderSize);
        size_t next = at + kBatchHead;
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
            batch.writes.push_back(PendingWrite{getU64(bytes + next), bytes[next + 8] != 0, {data, data + length}});
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
    void (*watcher)(const char*) = store.watcher;
    store = DataStore{};
    store.seam = seam;
    store.opened = true;
    store.watcher = watcher;
    if (seam == nullptr)
        return;
    if (settle())
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

void retryPendingWrites()
{
    if (store.seam == nullptr || !settle())
        return;
    if (store.journalForeign)
        setAsideJournal();
    if (!store.pending.empty() || store.journalEnd > 0 || store.trouble.waiting)
        landPending();
}

bool dataStoreReady() { return settle(); }

bool writesPending() { return !store.pending.empty(); }

bool pendingWritesJournaled()
{
    return std::all_of(store.pending.begin(), store.pending.end(),
                       [](const PendingBatch& waiting) { return waiting.journaled; });
}

bool journalLeftOver() { return store.journalEnd > 0 || store.journalForeign; }

uint64_t dataFileReadFailures() { return store.readFailures; }

StoreTrouble storeTrouble() { return store.trouble; }

void markTroubleReported() { store.trouble.reported = true; }

bool takeSetAsideNotice(char* name, size_t size)
{
    if (store.setAsideName[0] == '\0')
        return false;
    std::snprintf(name, size, "%s", store.setAsideName);
    store.setAsideName[0] = '\0';
    return true;
}

void watchDataFile(void (*watcher)(const char* operation)) { store.watcher = watcher; }

namespace {

// Every data-file operation begins here: the store opens at the first one, which start-up makes after
// finding the executable's folder, where an ended process's journal lies.
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

StoreResult failedOn(StoreFile file, const FileResult& result) { return StoreResult{result.outcome, file, result.error}; }

// Writes the new log beside the data file and flushes it: its header, the count set to `count`, then the records.
FileResult writeFreshLog(const uint8_t (&header)[kHeaderSize], const ConnectionRecord* records, int32_t count)
{
    const FileSeam& seam = *store.seam;
    seam.remove(StoreFile::Fresh);
    FileResult result = seam.write(StoreFile::Fresh, 0, header, kHeaderSize);
    constexpr int32_t kBlock = 256;
    uint8_t block[kRecordSize * kBlock];
    for (int32_t written = 0; done(result) && written < count && slotReachable(written);) {
        const int32_t chunk = std::min(count - written, kBlock);
        for (int32_t i = 0; i < chunk; ++i)
            encodeRecord(records[written + i], block + i * kRecordSize);
        result = seam.write(StoreFile::Fresh, recordOffset(written), block, static_cast<size_t>(chunk) * kRecordSize);
        written += chunk;
    }
    return done(result) ? seam.flush(StoreFile::Fresh) : result;
}

} // namespace

StoreResult replaceLog(const ConnectionRecord* records, int32_t count)
{
    beginOperation("replaceLog");
    if (store.seam == nullptr)
        return StoreResult{FileOutcome::Failed, StoreFile::Data, 0};
    // Anything still on its way to the old file would land in the new one at offsets that mean other things,
    // and a journal left over would no longer match the file.
    retryPendingWrites();
    if (!store.settled || !store.pending.empty())
        return failedOn(store.trouble.file, store.trouble.result);
    if (journalLeftOver())
        return StoreResult{FileOutcome::Held, StoreFile::Journal, 0};
    // The header is kept byte for byte, as cutting the old file to it kept it; a short one grows with zeros.
    FileState file;
    if (!readFileState(file))
        return StoreResult{FileOutcome::Held, StoreFile::Data, 0};
    uint8_t header[kHeaderSize];
    std::memcpy(header, file.header, kHeaderSize);
    putI32(header + kRecordCountOffset, count);
    FileResult result = writeFreshLog(header, records, count);
    if (!done(result)) {
        store.seam->remove(StoreFile::Fresh);
        return failedOn(StoreFile::Fresh, result);
    }
    result = store.seam->replaceData();
    if (!done(result)) {
        store.seam->remove(StoreFile::Fresh);
        return failedOn(StoreFile::Data, result);
    }
    std::memcpy(store.landed.header, header, kHeaderSize);
    store.landed.length = recordOffset(std::min<int64_t>(count, (kReachableEnd - kHeaderSize) / kRecordSize));
    return StoreResult{FileOutcome::Done, StoreFile::Data, 0};
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
    int32_t read = 0;
    while (read < count && slotReachable(static_cast<int64_t>(first) + read)) {
        const int32_t wanted = std::min(count - read, kBlock);
        const size_t arrived =
            readView(recordOffset(first + read), block, static_cast<size_t>(wanted) * kRecordSize);
        const int32_t whole = static_cast<int32_t>(arrived / kRecordSize);
        for (int32_t i = 0; i < whole; ++i)
            out[read + i] = decodeRecord(block + i * kRecordSize);
        read += whole;
        if (whole < wanted)
            break;
    }
    return read;
}
