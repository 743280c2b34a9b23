// The data file operations on a real file in a fresh folder: offsets, lengths, short reads and sharing.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "core/data_store.h"
#include "core/layout.h"
#include "tests/wine/in_process.h"

namespace {

using Bytes = std::vector<uint8_t>;
using kit::patterned;

Bytes fileBytes() { return kit::fileBytes("Tq.dat"); }

void putFile(const Bytes& bytes) { ASSERT_TRUE(kit::writeFile("Tq.dat", bytes)); }

Bytes encoded(const ConnectionRecord& record)
{
    Bytes bytes(kRecordSize);
    encodeRecord(record, bytes.data());
    return bytes;
}

Bytes slice(const Bytes& bytes, size_t from, size_t length)
{
    return Bytes(bytes.begin() + from, bytes.begin() + from + length);
}

const ConnectionRecord kSample{{2024, 3, 5, 12, 21, 7, 9, 250}, 3725.0, 12.345};

// Every test runs in a folder of its own as the current directory, with the records zeroed.
class DataFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch_.enter("tolvar-data"));
        inproc::zeroRecords();
    }

    void TearDown() override { scratch_.leave(); }

private:
    kit::ScratchFolder scratch_;
};

TEST_F(DataFile, FirstStampAndFirstConnectionGiveTheDocumentedLayout)
{
    SYSTEMTIME before;
    GetLocalTime(&before);
    writeMonthStamp();
    Bytes bytes = fileBytes();
    ASSERT_EQ(64u, bytes.size());
    EXPECT_EQ(Bytes(48, 0), slice(bytes, 0, 48));
    const SystemTime stamp = decodeSystemTime(bytes.data() + 48);
    EXPECT_EQ(before.wYear, stamp.wYear);
    EXPECT_EQ(before.wMonth, stamp.wMonth);
    EXPECT_EQ(before.wDay, stamp.wDay);

    accounting.counterBlock = CounterBlock{3725, 3725, 0, 12.345, 12.345, 0};
    accounting.recordCount = 1;
    writeRecordCount();
    appendRecord(kSample);
    writeCounterBlock();
    bytes = fileBytes();
    ASSERT_EQ(132u, bytes.size());
    EXPECT_EQ(1, getI32(bytes.data() + 80));
    EXPECT_EQ(Bytes(16, 0), slice(bytes, 64, 16));
    EXPECT_EQ(Bytes(16, 0), slice(bytes, 84, 16));
    EXPECT_EQ(encoded(kSample), slice(bytes, 100, 32));
    // Spot checks of the little-endian form itself: year 2024 = E8 07, the duration as a binary64.
    EXPECT_EQ(0xE8, bytes[100]);
    EXPECT_EQ(0x07, bytes[101]);
    EXPECT_EQ(3725.0, getF64(bytes.data() + 116));
    EXPECT_EQ(12.345, getF64(bytes.data() + 24));
    EXPECT_EQ(12.345, getF64(bytes.data() + 32));
}

TEST_F(DataFile, AppendWritesOnlyTheCountedSlot)
{
    putFile(Bytes(100, 0));
    accounting.recordCount = 3;
    appendRecord(kSample);
    Bytes bytes = fileBytes();
    ASSERT_EQ(196u, bytes.size());
    EXPECT_EQ(Bytes(164, 0), slice(bytes, 0, 164));
    EXPECT_EQ(encoded(kSample), slice(bytes, 164, 32));
    EXPECT_EQ(3, accounting.recordCount);

    const Bytes before = patterned(300);
    putFile(before);
    appendRecord(kSample);
    bytes = fileBytes();
    ASSERT_EQ(300u, bytes.size());
    EXPECT_EQ(slice(before, 0, 164), slice(bytes, 0, 164));
    EXPECT_EQ(encoded(kSample), slice(bytes, 164, 32));
    EXPECT_EQ(slice(before, 196, 104), slice(bytes, 196, 104));
}

TEST_F(DataFile, AppendWithoutACountedSlotLeavesTheHeaderIntact)
{
    const Bytes before = patterned(132);
    putFile(before);
    for (int32_t count : {0, -1, INT32_MIN}) {
        accounting.recordCount = count;
        appendRecord(kSample);
        EXPECT_EQ(before, fileBytes()) << "count " << count;
    }
}

TEST_F(DataFile, SlotsBeyondFourGibibytesAreNeitherWrittenNorRead)
{
    const Bytes before = patterned(100);
    putFile(before);
    // 100 + 32 * 134217726 + 32 passes 2^32; a 32-bit offset would wrap into the header.
    for (int32_t count : {134217727, INT32_MAX}) {
        accounting.recordCount = count;
        appendRecord(kSample);
        EXPECT_EQ(before, fileBytes()) << "count " << count;
        ConnectionRecord record = kSample;
        EXPECT_FALSE(readRecord(count - 1, record));
        EXPECT_EQ(Bytes(32, 0), encoded(record));
    }
}

TEST_F(DataFile, TruncateLogCutsOrExtendsToTheHeader)
{
    const Bytes withRecords = patterned(100 + 32 * 4);
    putFile(withRecords);
    truncateLog();
    EXPECT_EQ(slice(withRecords, 0, 100), fileBytes());

    const Bytes shortFile = patterned(30);
    putFile(shortFile);
    truncateLog();
    Bytes expected = shortFile;
    expected.resize(100, 0);
    EXPECT_EQ(expected, fileBytes());
}

TEST_F(DataFile, MonthStampCountsOnlyWhenAllSixteenBytesArrive)
{
    SystemTime stamp{};
    EXPECT_FALSE(readMonthStamp(stamp));
    EXPECT_EQ(Bytes(), fileBytes()) << "a read creates the file empty";

    putFile(patterned(50));
    stamp = SystemTime{1999, 12, 5, 31, 23, 59, 58, 999};
    EXPECT_FALSE(readMonthStamp(stamp));
    // The two bytes that arrived land in wYear; the rest keeps the caller's values.
    EXPECT_EQ(getU16(patterned(50).data() + 48), stamp.wYear);
    EXPECT_EQ(12, stamp.wMonth);
    EXPECT_EQ(999, stamp.wMilliseconds);

    putFile(Bytes(64, 0));
    stamp = SystemTime{1999, 12, 5, 31, 23, 59, 58, 999};
    EXPECT_TRUE(readMonthStamp(stamp));
    EXPECT_EQ(Bytes(16, 0), [&] {
        Bytes out(16);
        encodeSystemTime(stamp, out.data());
        return out;
    }());
}

TEST_F(DataFile, HeaderWritesNeverChangeTheLengthOfAFileWithAHeader)
{
    accounting.counterBlock = CounterBlock{1, 2, 3, 4, 5, 6};
    accounting.recordCount = 9;
    for (size_t length : {100u, 164u}) {
        putFile(patterned(length));
        writeCounterBlock();
        writeMonthStamp();
        writeRecordCount();
        const Bytes bytes = fileBytes();
        ASSERT_EQ(length, bytes.size());
        EXPECT_EQ(6.0, getF64(bytes.data() + 40));
        EXPECT_EQ(9, getI32(bytes.data() + 80));
        EXPECT_EQ(slice(patterned(length), 84, length - 84), slice(bytes, 84, length - 84));
    }
}

TEST_F(DataFile, ShortReadsOverlayOnlyTheBytesDelivered)
{
    Bytes file(20, 0);
    putF64(file.data(), 11.0);
    putF64(file.data() + 8, 22.0);
    file[16] = 0x01; // the low byte of the third double; 3.0 has zeros there
    putFile(file);
    accounting.counterBlock = CounterBlock{1, 2, 3, 4, 5, 6};
    readCounterBlock();
    EXPECT_EQ(11.0, accounting.counterBlock.lastConnSeconds);
    EXPECT_EQ(22.0, accounting.counterBlock.curMonthSeconds);
    uint8_t third[8];
    putF64(third, 3.0);
    third[0] = 0x01;
    EXPECT_EQ(getF64(third), accounting.counterBlock.lastMonthSeconds) << "its low four bytes came from the file";
    EXPECT_EQ(4.0, accounting.counterBlock.lastConnCost);
    EXPECT_EQ(5.0, accounting.counterBlock.curMonthCost);
    EXPECT_EQ(6.0, accounting.counterBlock.lastMonthCost);

    file.assign(82, 0);
    file[80] = 0x34;
    file[81] = 0x12;
    putFile(file);
    accounting.recordCount = 0x7F000000;
    readRecordCount();
    EXPECT_EQ(0x7F001234, accounting.recordCount);

    putFile(Bytes());
    accounting.counterBlock = CounterBlock{1, 2, 3, 4, 5, 6};
    accounting.recordCount = 5;
    readCounterBlock();
    readRecordCount();
    EXPECT_EQ(1.0, accounting.counterBlock.lastConnSeconds);
    EXPECT_EQ(6.0, accounting.counterBlock.lastMonthCost);
    EXPECT_EQ(5, accounting.recordCount);
}

TEST_F(DataFile, RecordsReadBackOnlyWhenTheirSlotIsComplete)
{
    const ConnectionRecord second{{2024, 4, 1, 1, 0, 0, 1, 0}, 60.0, -0.5};
    accounting.recordCount = 1;
    appendRecord(kSample);
    accounting.recordCount = 2;
    appendRecord(second);
    accounting.recordCount = 3; // the slot a live connection reserves, not yet stored
    writeRecordCount();

    ConnectionRecord record{};
    ASSERT_TRUE(readRecord(0, record));
    EXPECT_EQ(encoded(kSample), encoded(record));
    ASSERT_TRUE(readRecord(1, record));
    EXPECT_EQ(encoded(second), encoded(record));

    record = kSample;
    EXPECT_FALSE(readRecord(2, record));
    EXPECT_EQ(Bytes(32, 0), encoded(record));
    record = kSample;
    EXPECT_FALSE(readRecord(-1, record));
    EXPECT_EQ(Bytes(32, 0), encoded(record));

    // A slot cut off in the middle is as missing as an absent one.
    Bytes bytes = fileBytes();
    bytes.resize(100 + 32 + 31);
    putFile(bytes);
    record = kSample;
    EXPECT_FALSE(readRecord(1, record));
    EXPECT_EQ(Bytes(32, 0), encoded(record));
}

// Holds Tq.dat open the way another process would.
HANDLE holdDataFile(DWORD access, DWORD share)
{
    return CreateFileA("Tq.dat", access, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST_F(DataFile, AFileHeldElsewhereIsLeftAloneAndItsWritesWaitForIt)
{
    const Bytes before = patterned(164);
    // Even an open that allows everyone in keeps the operations out: they ask for no sharing.
    for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
        putFile(before);
        const HANDLE held = holdDataFile(GENERIC_READ, share);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        accounting.counterBlock = CounterBlock{1, 2, 3, 4, 5, 6};
        accounting.recordCount = 2;
        writeCounterBlock();
        writeMonthStamp();
        writeRecordCount();
        appendRecord(kSample);
        truncateLog();
        readCounterBlock();
        readRecordCount();
        EXPECT_EQ(1.0, accounting.counterBlock.lastConnSeconds);
        EXPECT_EQ(2, accounting.recordCount);
        // Reads see the waiting writes: the new stamp, and no record after the cut.
        SystemTime stamp{};
        EXPECT_TRUE(readMonthStamp(stamp));
        ConnectionRecord record = kSample;
        EXPECT_FALSE(readRecord(0, record));
        EXPECT_EQ(Bytes(32, 0), encoded(record));
        CloseHandle(held);
        EXPECT_EQ(before, fileBytes()) << "share " << share;
        retryPendingWrites();
    EXPECT_FALSE(writesPending());
        const Bytes after = fileBytes();
        ASSERT_EQ(kHeaderSize, after.size());
        EXPECT_EQ(6.0, decodeCounterBlock(after.data()).lastMonthCost);
        EXPECT_EQ(2, getI32(after.data() + kRecordCountOffset));
    }
}

TEST_F(DataFile, EveryOperationClosesTheFileBeforeReturning)
{
    accounting.recordCount = 1;
    SystemTime stamp{};
    ConnectionRecord record{};
    const auto exclusiveOpenWorks = [] {
        const HANDLE held = holdDataFile(GENERIC_READ | GENERIC_WRITE, 0);
        if (held == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(held);
        return true;
    };
    writeMonthStamp();
    EXPECT_TRUE(exclusiveOpenWorks());
    writeCounterBlock();
    EXPECT_TRUE(exclusiveOpenWorks());
    writeRecordCount();
    EXPECT_TRUE(exclusiveOpenWorks());
    appendRecord(kSample);
    EXPECT_TRUE(exclusiveOpenWorks());
    readCounterBlock();
    EXPECT_TRUE(exclusiveOpenWorks());
    readRecordCount();
    EXPECT_TRUE(exclusiveOpenWorks());
    EXPECT_TRUE(readMonthStamp(stamp));
    EXPECT_TRUE(exclusiveOpenWorks());
    EXPECT_TRUE(readRecord(0, record));
    EXPECT_TRUE(exclusiveOpenWorks());
    truncateLog();
    EXPECT_TRUE(exclusiveOpenWorks());
}

} // namespace
