// The journal's three kinds of bytes, each laid out by one table of fields.
#include "core/journal_format.h"

#include <algorithm>
#include <cstring>

namespace {

// A field of a journal record: where it starts and how long it is.
struct Field {
    size_t at;
    size_t size;
};
constexpr size_t after(Field field) { return field.at + field.size; }

// "TQJ3" header: the tag, the salt, the base's length and header, the checksum of all that.
constexpr Field kTag{0, 4};
constexpr Field kSalt{after(kTag), 4};
constexpr Field kBaseLength{after(kSalt), 8};
constexpr Field kBaseHeader{after(kBaseLength), kHeaderSize};
constexpr Field kBaseTail{after(kBaseHeader), kRecordSize};
constexpr Field kHeaderSum{after(kBaseTail), 4};
constexpr size_t kJournalHeaderSize = after(kHeaderSum);
static_assert(kJournalHeaderSize == 152, "journal header size");

// A batch of the current kind: the number of writes, the writes, then the chained checksum.
constexpr Field kWriteCount{0, 4};
constexpr size_t kBatchHead = after(kWriteCount);
// A write: offset, cut flag, byte count, then the bytes.
constexpr Field kWriteOffset{0, 8};
constexpr Field kWriteCut{after(kWriteOffset), 1};
constexpr Field kWriteSize{after(kWriteCut), 4};
constexpr size_t kWriteHead = after(kWriteSize);
static_assert(kWriteHead == 13, "write head size");
constexpr size_t kBatchSum = 4;

// The earlier kinds' batches: a tag, then (second kind) the state before it, then the write count; the same
// writes; a checksum of the batch alone.
constexpr Field kOldTag{0, 4};
constexpr Field kOldLength{after(kOldTag), 8};
constexpr Field kOldHeader{after(kOldLength), kHeaderSize};
constexpr Field kSecondCount{after(kOldHeader), 4};
constexpr Field kFirstCount{after(kOldTag), 4};
static_assert(after(kSecondCount) == 116 && after(kFirstCount) == 8, "older batch heads");

constexpr int32_t kCurrentTag = 0x334A5154; // "TQJ3"
constexpr int32_t kSecondTag = 0x324A5154;  // "TQJ2"
constexpr int32_t kFirstTag = 0x314A5154;   // "TQJ1"
constexpr uint32_t kFnvStart = 2166136261u;

uint32_t checksum(uint32_t seed, const uint8_t* bytes, size_t size)
{
    // FNV-1a, seeded: a torn, stale or foreign batch fails it.
    uint32_t hash = seed;
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

uint32_t getU32(const uint8_t* in) { return static_cast<uint32_t>(getI32(in)); }


size_t writesSize(const WriteBatch& batch)
{
    size_t size = 0;
    for (const PendingWrite& write : batch)
        size += kWriteHead + write.bytes.size();
    return size;
}

uint8_t* encodeWrites(const WriteBatch& batch, uint8_t* at)
{
    for (const PendingWrite& write : batch) {
        putU64(at + kWriteOffset.at, write.offset);
        at[kWriteCut.at] = write.cut ? 1 : 0;
        putI32(at + kWriteSize.at, static_cast<int32_t>(write.bytes.size()));
        if (!write.bytes.empty())
            std::memcpy(at + kWriteHead, write.bytes.data(), write.bytes.size());
        at += kWriteHead + write.bytes.size();
    }
    return at;
}

// `count` writes from `at`; the offset after them, or 0 when they run past `size`.
size_t decodeWrites(const uint8_t* bytes, size_t size, size_t at, int32_t count, WriteBatch& batch)
{
    if (count < 0)
        return 0;
    for (int32_t i = 0; i < count; ++i) {
        if (size - at < kWriteHead)
            return 0;
        const uint32_t length = getU32(bytes + at + kWriteSize.at);
        if (length > size - at - kWriteHead)
            return 0;
        const uint8_t* data = bytes + at + kWriteHead;
        batch.push_back(PendingWrite{getU64(bytes + at + kWriteOffset.at), bytes[at + kWriteCut.at] != 0,
                                     {data, data + length}});
        at += kWriteHead + length;
    }
    return at;
}

void decodeCurrent(const uint8_t* bytes, size_t size, JournalContents& journal)
{
    if (size < kJournalHeaderSize || getU32(bytes + kHeaderSum.at) != checksum(kFnvStart, bytes, kHeaderSum.at))
        return;
    journal.salt = getU32(bytes + kSalt.at);
    journal.base.length = getU64(bytes + kBaseLength.at);
    std::memcpy(journal.base.header, bytes + kBaseHeader.at, kHeaderSize);
    std::memcpy(journal.base.tail, bytes + kBaseTail.at, kRecordSize);
    journal.chain = getU32(bytes + kHeaderSum.at);
    journal.end = kJournalHeaderSize;
    for (size_t at = kJournalHeaderSize; size - at >= kBatchHead + kBatchSum;) {
        WriteBatch batch;
        const size_t sumAt = decodeWrites(bytes, size, at + kBatchHead, getI32(bytes + at + kWriteCount.at), batch);
        if (sumAt == 0 || size - sumAt < kBatchSum ||
            getU32(bytes + sumAt) != checksum(journal.chain, bytes + at, sumAt - at))
            break;
        journal.chain = getU32(bytes + sumAt);
        journal.batches.push_back(std::move(batch));
        at = sumAt + kBatchSum;
        journal.end = at;
    }
    if (!journal.batches.empty()) {
        journal.kind = JournalKind::Current;
        journal.hasBase = true;
        journal.hasBaseTail = true;
    }
}

void decodeOlder(const uint8_t* bytes, size_t size, JournalKind kind, JournalContents& journal)
{
    const int32_t tag = kind == JournalKind::Second ? kSecondTag : kFirstTag;
    const Field count = kind == JournalKind::Second ? kSecondCount : kFirstCount;
    for (size_t at = 0; size - at >= after(count) + kBatchSum && getI32(bytes + at) == tag;) {
        WriteBatch batch;
        const size_t sumAt = decodeWrites(bytes, size, at + after(count), getI32(bytes + at + count.at), batch);
        if (sumAt == 0 || size - sumAt < kBatchSum || getU32(bytes + sumAt) != checksum(kFnvStart, bytes + at, sumAt - at))
            break;
        if (kind == JournalKind::Second && journal.batches.empty()) {
            journal.hasBase = true;
            journal.base.length = getU64(bytes + at + kOldLength.at);
            std::memcpy(journal.base.header, bytes + at + kOldHeader.at, kHeaderSize);
        }
        journal.batches.push_back(std::move(batch));
        at = sumAt + kBatchSum;
        journal.end = at;
    }
    if (!journal.batches.empty())
        journal.kind = kind;
}

} // namespace

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
    const uint64_t end = write.offset + write.bytes.size();
    if (end >= state.length && hasTail(end) && write.bytes.size() >= kRecordSize)
        std::memcpy(state.tail, write.bytes.data() + write.bytes.size() - kRecordSize, kRecordSize);
    state.length = std::max<uint64_t>(state.length, end);
    return state;
}

bool sameState(const FileState& a, const FileState& b)
{
    return a.length == b.length && std::memcmp(a.header, b.header, kHeaderSize) == 0 &&
           std::memcmp(a.tail, b.tail, kRecordSize) == 0;
}

FileState applyWrites(FileState state, const WriteBatch& writes, size_t count)
{
    for (size_t i = 0; i < count && i < writes.size(); ++i)
        state = applyWrite(state, writes[i]);
    return state;
}

uint32_t encodeJournalHeader(const FileState& base, uint32_t salt, std::vector<uint8_t>& out)
{
    const size_t start = out.size();
    out.resize(start + kJournalHeaderSize);
    uint8_t* at = out.data() + start;
    putI32(at + kTag.at, kCurrentTag);
    putI32(at + kSalt.at, static_cast<int32_t>(salt));
    putU64(at + kBaseLength.at, base.length);
    std::memcpy(at + kBaseHeader.at, base.header, kHeaderSize);
    std::memcpy(at + kBaseTail.at, base.tail, kRecordSize);
    const uint32_t sum = checksum(kFnvStart, at, kHeaderSum.at);
    putI32(at + kHeaderSum.at, static_cast<int32_t>(sum));
    return sum;
}

uint32_t encodeJournalBatch(const WriteBatch& batch, uint32_t chain, std::vector<uint8_t>& out)
{
    const size_t start = out.size();
    const size_t size = kBatchHead + writesSize(batch) + kBatchSum;
    out.resize(start + size);
    uint8_t* at = out.data() + start;
    putI32(at + kWriteCount.at, static_cast<int32_t>(batch.size()));
    uint8_t* sumAt = encodeWrites(batch, at + kBatchHead);
    const uint32_t sum = checksum(chain, at, static_cast<size_t>(sumAt - at));
    putI32(sumAt, static_cast<int32_t>(sum));
    return sum;
}

void encodeOlderJournalBatch(JournalKind kind, const FileState& before, const WriteBatch& batch,
                             std::vector<uint8_t>& out)
{
    const bool second = kind == JournalKind::Second;
    const Field count = second ? kSecondCount : kFirstCount;
    const size_t start = out.size();
    out.resize(start + after(count) + writesSize(batch) + kBatchSum);
    uint8_t* at = out.data() + start;
    putI32(at + kOldTag.at, second ? kSecondTag : kFirstTag);
    if (second) {
        putU64(at + kOldLength.at, before.length);
        std::memcpy(at + kOldHeader.at, before.header, kHeaderSize);
    }
    putI32(at + count.at, static_cast<int32_t>(batch.size()));
    uint8_t* sumAt = encodeWrites(batch, at + after(count));
    putI32(sumAt, static_cast<int32_t>(checksum(kFnvStart, at, static_cast<size_t>(sumAt - at))));
}

JournalContents decodeJournal(const uint8_t* bytes, size_t size)
{
    JournalContents journal{};
    journal.kind = JournalKind::None;
    if (size < 4)
        return journal;
    switch (getI32(bytes)) {
    case kCurrentTag: decodeCurrent(bytes, size, journal); break;
    case kSecondTag: decodeOlder(bytes, size, JournalKind::Second, journal); break;
    case kFirstTag: decodeOlder(bytes, size, JournalKind::First, journal); break;
    default: break;
    }
    return journal;
}
