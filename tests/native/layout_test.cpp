// The stored byte layouts: exact little-endian bytes of every record and short-value overlays.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "core/layout.h"
#include "core/settings.h"
#include "tests/native/fakes.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes blockBytes(const SettingsBlock& block)
{
    Bytes bytes(kSettingsBlockSize);
    encodeSettingsBlock(block, bytes.data());
    return bytes;
}

Bytes extraBytes(const SettingsExtra& extra)
{
    Bytes bytes(kSettingsExtraSize);
    encodeSettingsExtra(extra, bytes.data());
    return bytes;
}

Bytes patterned(size_t length, uint8_t seed)
{
    Bytes bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 29);
    return bytes;
}

TEST(StoredLayout, FileOffsetsOfTheHeaderAndTheRecords)
{
    EXPECT_EQ(0u, kCounterBlockOffset);
    EXPECT_EQ(48u, kMonthStampOffset);
    EXPECT_EQ(80u, kRecordCountOffset);
    EXPECT_EQ(100u, kHeaderSize);
    EXPECT_EQ(100u, recordOffset(0));
    EXPECT_EQ(164u, recordOffset(2));
    // The largest count's last slot lies beyond 4 GiB and must not wrap.
    EXPECT_EQ(100u + 32u * uint64_t{2147483646}, recordOffset(2147483646));
    EXPECT_GT(recordOffset(2147483646), uint64_t{0xFFFFFFFF});
}

TEST(StoredLayout, PrimitivesAreLittleEndian)
{
    uint8_t bytes[8];
    putU16(bytes, 0x07E8);
    EXPECT_EQ((Bytes{0xE8, 0x07}), Bytes(bytes, bytes + 2));
    putI32(bytes, -2);
    EXPECT_EQ((Bytes{0xFE, 0xFF, 0xFF, 0xFF}), Bytes(bytes, bytes + 4));
    EXPECT_EQ(-2, getI32(bytes));
    putF64(bytes, 1.0);
    EXPECT_EQ((Bytes{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}), Bytes(bytes, bytes + 8));
    putF64(bytes, -0.0);
    EXPECT_TRUE(std::signbit(getF64(bytes)));
    EXPECT_EQ(0x80, bytes[7]);
}

TEST(StoredLayout, DefaultSettingsEncodeToTheFirstRunBytes)
{
    resetWorld();
    settings.block = SettingsBlock{};
    settings.extra = SettingsExtra{};
    applyDefaultSettings();
    Bytes expected(136, 0);
    expected[0] = 1;
    expected[4] = 1;
    expected[12] = 1;
    expected[88] = 7;
    expected[100] = 20;
    EXPECT_EQ(expected, blockBytes(settings.block));
    EXPECT_EQ((Bytes{0, 0, 0, 0, 1, 0, 0, 0}), extraBytes(settings.extra));
}

TEST(StoredLayout, SettingsFieldsLieAtTheirOffsets)
{
    SettingsBlock block{};
    block.costWarnPerMonth = 0x01020304;
    block.tariffCommon = 2.5;
    block.costLimitPerMonth = -1.0;
    block.commonTo = Hms{20, 30, 45};
    block.timeLimitPerMonth = Hms{-1, 0, 0x7FFFFFFF};
    const Bytes bytes = blockBytes(block);
    EXPECT_EQ((Bytes{4, 3, 2, 1}), Bytes(bytes.begin() + 40, bytes.begin() + 44));
    EXPECT_EQ(Bytes(4, 0), Bytes(bytes.begin() + 44, bytes.begin() + 48));
    EXPECT_EQ(2.5, getF64(&bytes[48]));
    EXPECT_EQ(-1.0, getF64(&bytes[80]));
    EXPECT_EQ(20, getI32(&bytes[100]));
    EXPECT_EQ(30, getI32(&bytes[104]));
    EXPECT_EQ(45, getI32(&bytes[108]));
    EXPECT_EQ(-1, getI32(&bytes[124]));
    EXPECT_EQ(0x7FFFFFFF, getI32(&bytes[132]));
    EXPECT_EQ(bytes, blockBytes(decodeSettingsBlock(bytes.data())));
}

TEST(StoredLayout, AnyBytesSurviveADecodeAndEncode)
{
    const Bytes block = patterned(kSettingsBlockSize, 11);
    EXPECT_EQ(block, blockBytes(decodeSettingsBlock(block.data())));
    const Bytes extra = patterned(kSettingsExtraSize, 3);
    EXPECT_EQ(extra, extraBytes(decodeSettingsExtra(extra.data())));

    const Bytes record = patterned(kRecordSize, 5);
    Bytes again(kRecordSize);
    encodeRecord(decodeRecord(record.data()), again.data());
    EXPECT_EQ(record, again);

    // A NaN with a payload keeps its bits; the stored bytes are never reinterpreted.
    Bytes counters = patterned(kCounterBlockSize, 17);
    counters[7] = 0x7F;
    counters[6] = 0xF8;
    Bytes countersAgain(kCounterBlockSize);
    encodeCounterBlock(decodeCounterBlock(counters.data()), countersAgain.data());
    EXPECT_EQ(counters, countersAgain);
}

TEST(StoredLayout, RecordAndCounterFieldsLieAtTheirOffsets)
{
    const ConnectionRecord record{{2024, 12, 2, 31, 23, 59, 58, 999}, 3725.0, 0.25};
    uint8_t bytes[kRecordSize];
    encodeRecord(record, bytes);
    EXPECT_EQ(2024, getU16(bytes));
    EXPECT_EQ(12, getU16(bytes + 2));
    EXPECT_EQ(31, getU16(bytes + 6));
    EXPECT_EQ(999, getU16(bytes + 14));
    EXPECT_EQ(3725.0, getF64(bytes + 16));
    EXPECT_EQ(0.25, getF64(bytes + 24));

    const CounterBlock counters{1, 2, 3, 4, 5, 6};
    uint8_t block[kCounterBlockSize];
    encodeCounterBlock(counters, block);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(i + 1.0, getF64(block + 8 * i)) << "field " << i;
}

TEST(StoredLayout, ShortValuesOverlayOnlyTheirLeadingBytes)
{
    SettingsBlock block = decodeSettingsBlock(patterned(kSettingsBlockSize, 200).data());
    const Bytes stored = patterned(100, 9);
    overlaySettingsBlock(block, stored.data(), stored.size());
    Bytes expected = stored;
    const Bytes before = patterned(kSettingsBlockSize, 200);
    expected.insert(expected.end(), before.begin() + 100, before.end());
    EXPECT_EQ(expected, blockBytes(block));

    // Longer input is cut to the record; nothing beyond it is read into the neighbours.
    const Bytes longer = patterned(400, 1);
    overlaySettingsBlock(block, longer.data(), longer.size());
    EXPECT_EQ(patterned(kSettingsBlockSize, 1), blockBytes(block));

    SettingsExtra extra{-1, 1};
    const uint8_t three[] = {0x2C, 0x01, 0x00};
    overlaySettingsExtra(extra, three, sizeof three);
    EXPECT_EQ(static_cast<int32_t>(0xFF00012Cu), extra.addSeconds);
    EXPECT_EQ(1, extra.autoSumUp);

    CounterBlock counters{1, 2, 3, 4, 5, 6};
    const Bytes first(8, 0);
    overlayCounterBlock(counters, first.data(), 0);
    EXPECT_EQ(1.0, counters.lastConnSeconds);
    overlayCounterBlock(counters, first.data(), first.size());
    EXPECT_EQ(0.0, counters.lastConnSeconds);
    EXPECT_EQ(2.0, counters.curMonthSeconds);

    int32_t count = 0x7F7F7F7F;
    const uint8_t one = 3;
    overlayRecordCount(count, &one, 1);
    EXPECT_EQ(0x7F7F7F03, count);
}

} // namespace
