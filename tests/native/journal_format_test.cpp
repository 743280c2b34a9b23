// The journal counts only whole batches that chain from its header, and a journal an earlier release left is
// replayed where it fits the data file and set aside where it does not.
#include <gtest/gtest.h>

#include <vector>

#include "core/data_store.h"
#include "core/journal_format.h"
#include "core/layout.h"
#include "tests/native/session.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A connection's end as the store writes it: the count, the record in its slot, the totals.
WriteBatch connectionEnd(int32_t count, double seconds)
{
    Bytes countBytes(kRecordCountSize);
    putI32(countBytes.data(), count);
    Bytes record(kRecordSize);
    encodeRecord(ConnectionRecord{day(2000, 3, 12), seconds, seconds / 100}, record.data());
    Bytes totals(kCounterBlockSize);
    encodeCounterBlock(CounterBlock{seconds, 27 + seconds, 180, 0.1, 0.3, 2.1}, totals.data());
    return {{kRecordCountOffset, false, countBytes}, {recordOffset(count - 1), false, record},
            {kCounterBlockOffset, false, totals}};
}

size_t batchesIn(const Bytes& journal) { return decodeJournal(journal.data(), journal.size()).batches.size(); }

} // namespace

TEST(JournalFormat, OnlyWholeBatchesThatChainFromTheHeaderCount)
{
    Bytes journal;
    uint32_t chain = encodeJournalHeader(FileState{}, 7, journal);
    const size_t headerEnd = journal.size();
    chain = encodeJournalBatch(connectionEnd(4, 27), chain, journal);
    const size_t firstEnd = journal.size();
    encodeJournalBatch(connectionEnd(5, 33), chain, journal);
    for (size_t torn = 0; torn <= journal.size(); ++torn) {
        const Bytes cut(journal.begin(), journal.begin() + static_cast<ptrdiff_t>(torn));
        EXPECT_EQ(batchesIn(cut), torn < firstEnd ? 0u : torn < journal.size() ? 1u : 2u) << "cut at " << torn;
    }
    for (size_t at = 0; at < journal.size(); ++at) {
        Bytes damaged = journal;
        damaged[at] ^= 0x20;
        EXPECT_EQ(batchesIn(damaged), at < firstEnd ? 0u : 1u) << "damaged at " << at;
    }
    // A new journal written over an old one that could not be deleted: the old batch behind the new one, at the
    // very place the next would go, neither chains from the new header nor from its batch.
    Bytes rewritten = journal;
    Bytes fresh;
    encodeJournalBatch(connectionEnd(4, 28), encodeJournalHeader(FileState{}, 8, fresh), fresh);
    ASSERT_EQ(fresh.size(), firstEnd);
    std::copy(fresh.begin(), fresh.end(), rewritten.begin());
    EXPECT_EQ(batchesIn(rewritten), 1u);
    EXPECT_EQ(decodeJournal(rewritten.data(), rewritten.size()).end, firstEnd);
    EXPECT_GT(firstEnd, headerEnd);
}

TEST(JournalFormat, AJournalOfAnEarlierReleaseIsReplayedWhereItFitsTheDataFile)
{
    struct Case {
        const char* name;
        JournalKind kind;
        int32_t recordsOnDisk; // the data file's records when the journal is found
        bool fits;
    };
    const Case cases[] = {
        {"first kind, the batch not landed", JournalKind::First, 3, true},
        {"first kind, the batch landed", JournalKind::First, 4, true},
        {"first kind, newer records since", JournalKind::First, 6, false},
        {"first kind, records missing before it", JournalKind::First, 1, false},
        {"second kind, the batch not landed", JournalKind::Second, 3, true},
        {"second kind, another copy of the file", JournalKind::Second, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        storeStartingFiles();
        std::vector<ConnectionRecord> records = storedRecords();
        while (static_cast<int32_t>(records.size()) < c.recordsOnDisk)
            records.push_back(ConnectionRecord{day(2000, 3, 10), 5, 0.05});
        records.resize(static_cast<size_t>(c.recordsOnDisk));
        FileState before{};
        before.length = recordOffset(3);
        const Bytes header(disk.files[StoreFile::Data].begin(), disk.files[StoreFile::Data].begin() + kHeaderSize);
        std::copy(header.begin(), header.end(), before.header);
        storeRecords(records);
        storeCount(c.recordsOnDisk);
        Bytes journal;
        encodeOlderJournalBatch(c.kind, before, connectionEnd(4, 27), journal);
        disk.files[StoreFile::Journal] = journal;
        const Image found = restartAndRead(day(2000, 3, 15));
        EXPECT_TRUE(found.whole);
        if (c.fits) {
            ASSERT_EQ(found.log.size(), 4u);
            EXPECT_EQ(found.log[3].seconds, 27);
            EXPECT_EQ(found.totals.curMonthSeconds, 54);
            EXPECT_TRUE(disk.setAside.empty());
        } else {
            EXPECT_EQ(found.log.size(), static_cast<size_t>(c.recordsOnDisk));
            ASSERT_EQ(disk.setAside.size(), 1u);
            EXPECT_EQ(disk.setAside[0], journal);
        }
        EXPECT_EQ(disk.files.count(StoreFile::Journal), 0u);
    }
}
