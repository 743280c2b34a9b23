// The data file's bulk reads and rewrites on a real file: the same bytes as one record at a time, and
// never more than the file holds.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/data_store.h"
#include "core/layout.h"
#include "tests/wine/in_process.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes fileBytes() { return kit::fileBytes("Tq.dat"); }

void putFile(const Bytes& bytes) { ASSERT_TRUE(kit::writeFile("Tq.dat", bytes)); }

ConnectionRecord sample(uint16_t day)
{
    return ConnectionRecord{{2024, 3, 5, day, 21, 7, 9, 0}, 60.0 * day, 0.5 * day};
}

// A header of recognisable bytes followed by `count` records.
Bytes logOf(int count)
{
    Bytes bytes(kHeaderSize);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 5 + 1);
    for (int i = 0; i < count; ++i) {
        uint8_t record[kRecordSize];
        encodeRecord(sample(static_cast<uint16_t>(i + 1)), record);
        bytes.insert(bytes.end(), record, record + kRecordSize);
    }
    return bytes;
}

class DataFileBulk : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch_.enter("tolvar-bulk")); }

    void TearDown() override { scratch_.leave(); }

private:
    kit::ScratchFolder scratch_;
};

TEST_F(DataFileBulk, ReadsTheWholeRecordsThatAreThereAndNoMore)
{
    Bytes bytes = logOf(600);
    bytes.resize(bytes.size() - 10); // the last record cut short
    putFile(bytes);
    std::vector<ConnectionRecord> records(1000);
    ASSERT_EQ(599, readRecords(0, 1000, records.data()));
    for (int i = 0; i < 599; ++i) {
        ConnectionRecord single;
        ASSERT_TRUE(readRecord(i, single));
        EXPECT_EQ(0, std::memcmp(&single, &records[static_cast<size_t>(i)], sizeof single)) << i;
    }
    EXPECT_EQ(1, readRecords(598, 5, records.data()));
    EXPECT_EQ(599, records[0].start.wDay);
    EXPECT_EQ(0, readRecords(599, 5, records.data()));
    EXPECT_EQ(0, readRecords(-1, 5, records.data()));
    EXPECT_EQ(0, readRecords(0, 0, records.data()));
}

TEST_F(DataFileBulk, ReplacementKeepsTheHeaderSetsTheCountAndStoresTheRecordsFromOffset100)
{
    Bytes header = logOf(5);
    putFile(header);
    header.resize(kHeaderSize);
    putI32(header.data() + kRecordCountOffset, 2);
    const ConnectionRecord kept[] = {sample(9), sample(2)};
    ASSERT_EQ(FileOutcome::Done, replaceLog(kept, 2).outcome);
    const Bytes after = fileBytes();
    ASSERT_EQ(kHeaderSize + 2 * kRecordSize, after.size());
    EXPECT_EQ(header, Bytes(after.begin(), after.begin() + kHeaderSize));
    EXPECT_EQ(9, decodeRecord(after.data() + recordOffset(0)).start.wDay);
    EXPECT_EQ(2, decodeRecord(after.data() + recordOffset(1)).start.wDay);

    ASSERT_EQ(FileOutcome::Done, replaceLog(nullptr, 0).outcome);
    EXPECT_EQ(kHeaderSize, fileBytes().size());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("Tq.new"));
}

TEST_F(DataFileBulk, RewriteOfAShortFileExtendsItsHeaderWithZeros)
{
    putFile(Bytes(50, 0xAB));
    const ConnectionRecord kept[] = {sample(4)};
    ASSERT_EQ(FileOutcome::Done, replaceLog(kept, 1).outcome);
    const Bytes after = fileBytes();
    ASSERT_EQ(kHeaderSize + kRecordSize, after.size());
    EXPECT_EQ(Bytes(50, 0xAB), Bytes(after.begin(), after.begin() + 50));
    EXPECT_EQ(Bytes(30, 0), Bytes(after.begin() + 50, after.begin() + kRecordCountOffset));
    EXPECT_EQ(1, getI32(after.data() + kRecordCountOffset));
}

TEST_F(DataFileBulk, AFileHeldOpenElsewhereIsNeitherReadNorChanged)
{
    const Bytes before = logOf(3);
    putFile(before);
    HANDLE holder = CreateFileA("Tq.dat", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    std::vector<ConnectionRecord> records(3);
    EXPECT_EQ(0, readRecords(0, 3, records.data()));
    const ConnectionRecord kept[] = {sample(7)};
    EXPECT_EQ(FileOutcome::Held, replaceLog(kept, 1).outcome);
    CloseHandle(holder);
    EXPECT_EQ(before, fileBytes());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("Tq.new"));
}

// A process that glances at the file (a backup, a scanner) holds it for a moment; the record waits in memory
// and lands at the next try instead of being lost.
TEST_F(DataFileBulk, AWriteToAFileHeldForAMomentLandsAtTheNextTry)
{
    putFile(logOf(2));
    HANDLE holder = CreateFileA("Tq.dat", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    const HANDLE release = kit::closeHandleLater(holder, 40);
    accounting.recordCount = 3;
    appendRecord(sample(3));
    WaitForSingleObject(release, INFINITE);
    CloseHandle(release);
    retryPendingWrites();
    EXPECT_FALSE(writesPending());
    const Bytes after = fileBytes();
    ASSERT_EQ(kHeaderSize + 3 * kRecordSize, after.size());
    EXPECT_EQ(3, decodeRecord(after.data() + recordOffset(2)).start.wDay);
}

} // namespace
