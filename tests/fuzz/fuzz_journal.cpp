// Fuzzes the replay of a journal left beside a data file: any bytes as either, or batches as a connection's end
// writes them, cut anywhere and landed in part. The file afterwards is the old one, or it with every whole batch.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/data_store.h"
#include "core/layout.h"
#include "fakes/disk.h"
#include "fakes/world.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A decoded write reaching past this is not worth growing the memory disk for.
constexpr uint64_t kLargestFile = 1 << 16;

// The fuzzer's bytes, taken one at a time; zeros once spent.
struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t next() { return at < size ? data[at++] : 0; }
    Bytes take(size_t count)
    {
        count = std::min(count, size - at);
        Bytes out(data + at, data + at + count);
        at += count;
        return out;
    }
};

void apply(Bytes& file, const PendingWrite& write)
{
    if (write.cut) {
        file.resize(static_cast<size_t>(write.offset), 0);
        return;
    }
    if (file.size() < write.offset + write.bytes.size())
        file.resize(static_cast<size_t>(write.offset + write.bytes.size()), 0);
    std::copy(write.bytes.begin(), write.bytes.end(), file.begin() + static_cast<ptrdiff_t>(write.offset));
}

FileState stateOf(const Bytes& file)
{
    FileState state{};
    std::memcpy(state.header, file.data(), std::min<size_t>(file.size(), kHeaderSize));
    state.length = file.size();
    if (hasTail(state.length))
        std::memcpy(state.tail, file.data() + file.size() - kRecordSize, kRecordSize);
    return state;
}

int32_t countField(const Bytes& file)
{
    return file.size() < kRecordCountOffset + 4 ? 0 : getI32(file.data() + kRecordCountOffset);
}

int64_t wholeRecords(const Bytes& file)
{
    return file.size() <= kHeaderSize ? 0 : static_cast<int64_t>((file.size() - kHeaderSize) / kRecordSize);
}

// A connection's end as the program stores it: the count, the record in the slot it counts, the totals.
WriteBatch connectionEnd(const Bytes& file, Input& in)
{
    const int32_t count = std::max(countField(file), 0) % 64 + 1;
    Bytes countBytes(4);
    putI32(countBytes.data(), count);
    Bytes record = in.take(kRecordSize);
    record.resize(kRecordSize, 0);
    Bytes counters = in.take(kCounterBlockSize);
    counters.resize(kCounterBlockSize, 0);
    return WriteBatch{{kRecordCountOffset, false, countBytes},
                      {recordOffset(count - 1), false, record},
                      {kCounterBlockOffset, false, counters}};
}

// A data file the program wrote (count no further than its records), batches of ended connections written ahead
// for it, the file left after some of them and part of the next, and the journal cut at any byte. Returns how
// many batches the journal must still hold for the file to be finished from it.
size_t programLeft(Input& in, Bytes& file, Bytes& journal)
{
    file = in.take(kHeaderSize + kRecordSize * (in.next() % 4));
    file.resize(std::max<size_t>(file.size(), kHeaderSize), 0);
    putI32(file.data() + kRecordCountOffset, static_cast<int32_t>(wholeRecords(file)));
    const int batches = in.next() % 4 + 1;
    const int landed = in.next() % (batches + 1);
    const size_t partly = in.next() % 4;
    Bytes now = file;
    uint32_t chain = encodeJournalHeader(stateOf(file), in.next(), journal);
    for (int i = 0; i < batches; ++i) {
        const WriteBatch batch = connectionEnd(now, in);
        chain = encodeJournalBatch(batch, chain, journal);
        for (size_t w = 0; w < batch.size(); ++w) {
            apply(now, batch[w]);
            if (i < landed || (i == landed && w < partly))
                apply(file, batch[w]);
        }
    }
    // Written ahead of its file and flushed before; a cut or a flipped byte stands for what the disk did anyway.
    const uint8_t damage = in.next();
    if (damage & 1)
        journal.resize(journal.size() - std::min<size_t>(journal.size(), in.next() % 64));
    if ((damage & 2) && !journal.empty())
        journal[in.next() * 7u % journal.size()] ^= static_cast<uint8_t>(1u << (damage >> 5));
    return static_cast<size_t>(landed) + (landed < batches && partly > 0 ? 1 : 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in{data, size};
    const bool asWritten = in.next() & 1;
    Bytes file;
    Bytes journal;
    size_t needed = 0;
    if (asWritten) {
        needed = programLeft(in, file, journal);
    } else {
        file = in.take(in.next() * 4u);
        journal = in.take(size);
    }
    const std::vector<WriteBatch> batches = decodeJournal(journal.data(), journal.size()).batches;
    for (const WriteBatch& batch : batches)
        for (const PendingWrite& write : batch)
            if (write.offset + write.bytes.size() > kLargestFile)
                return 0;

    resetWorld();
    disk.files[StoreFile::Data] = disk.durable[StoreFile::Data] = file;
    if (!journal.empty())
        disk.files[StoreFile::Journal] = disk.durable[StoreFile::Journal] = journal;
    openDataStore(&kMemoryFiles);
    if (writesPending() || disk.files.count(StoreFile::Journal) != 0)
        __builtin_trap(); // nothing failed, so everything landed and the journal went, deleted or set aside
    const Bytes& after = disk.files[StoreFile::Data];

    // The file is the old one, or the old one with every whole batch replayed over it: nothing else was invented.
    Bytes replayed = file;
    for (const WriteBatch& batch : batches)
        for (const PendingWrite& write : batch)
            apply(replayed, write);
    if (after != file && after != replayed)
        __builtin_trap();
    // A file the program wrote never counts a record it does not hold once the replay has landed, as long as the
    // journal still holds what reached the file (it is flushed before the file is written).
    if (asWritten && batches.size() >= needed && countField(after) > wholeRecords(after))
        __builtin_trap();
    return 0;
}
