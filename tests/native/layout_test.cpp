// The stored byte layouts: exact little-endian bytes of every record and short-value overlays.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <vector>

#include "core/layout.h"
#include "core/settings.h"
#include "fakes/world.h"

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

// One stored field: where it lies, how wide it is (2: u16, 4: i32, 8: f64) and the value the test gives it.
struct At {
    size_t offset;
    size_t width;
    double value;
};

// The bytes a table describes, every field at its literal offset.
Bytes bytesOf(size_t length, std::initializer_list<At> table)
{
    Bytes bytes(length, 0);
    size_t covered = 0;
    for (const At& field : table) {
        if (field.width == 2)
            putU16(&bytes[field.offset], static_cast<uint16_t>(field.value));
        else if (field.width == 4)
            putI32(&bytes[field.offset], static_cast<int32_t>(field.value));
        else
            putF64(&bytes[field.offset], field.value);
        covered += field.width;
    }
    EXPECT_EQ(length, covered) << "the table covers every byte";
    return bytes;
}

// The record, whose every field has its own value, encodes to the table's bytes and decodes from them
// field for field: two fields swapped in the encoder and the decoder alike fail here.
template <class Record, class Encode, class Decode>
void expectFieldsAt(const Record& record, size_t length, std::initializer_list<At> table, Encode encode,
                    Decode decode)
{
    const Bytes expected = bytesOf(length, table);
    Bytes encoded(length);
    encode(record, encoded.data());
    EXPECT_EQ(expected, encoded);
    const Record decoded = decode(expected.data());
    EXPECT_EQ(0, std::memcmp(&decoded, &record, sizeof record)) << "decoded field for field";
}

TEST(StoredLayout, EveryFieldLiesAtItsLiteralOffset)
{
    {
        SCOPED_TRACE("\"Settings\"");
        SettingsBlock s{};
        s.showCounterOnConnect = 1, s.calculateCost = 2, s.todayIsHoliday = 3, s.weekendAsEconomic = 4;
        s.warningsEnabled = 5, s.timeWarning = 6, s.costWarning = 7, s.timeWarnPerConn = 8;
        s.timeWarnPerMonth = 9, s.costWarnPerConn = 10, s.costWarnPerMonth = 11, s.reserved = 12;
        s.tariffCommon = 1.5, s.tariffEconomic = 2.5, s.tariffWeekend = 3.5;
        s.costLimitPerConn = 4.5, s.costLimitPerMonth = 5.5;
        s.commonFrom = Hms{21, 22, 23}, s.commonTo = Hms{24, 25, 26};
        s.timeLimitPerConn = Hms{27, 28, 29}, s.timeLimitPerMonth = Hms{30, 31, 32};
        expectFieldsAt(s, 136,
                       {{0, 4, 1},     {4, 4, 2},     {8, 4, 3},     {12, 4, 4},    {16, 4, 5},    {20, 4, 6},
                        {24, 4, 7},    {28, 4, 8},    {32, 4, 9},    {36, 4, 10},   {40, 4, 11},   {44, 4, 12},
                        {48, 8, 1.5},  {56, 8, 2.5},  {64, 8, 3.5},  {72, 8, 4.5},  {80, 8, 5.5},  {88, 4, 21},
                        {92, 4, 22},   {96, 4, 23},   {100, 4, 24},  {104, 4, 25},  {108, 4, 26},  {112, 4, 27},
                        {116, 4, 28},  {120, 4, 29},  {124, 4, 30},  {128, 4, 31},  {132, 4, 32}},
                       encodeSettingsBlock, decodeSettingsBlock);
    }
    {
        SCOPED_TRACE("\"Settings1\"");
        expectFieldsAt(SettingsExtra{7, 8}, 8, {{0, 4, 7}, {4, 4, 8}}, encodeSettingsExtra, decodeSettingsExtra);
    }
    {
        SCOPED_TRACE("\"Place\"");
        const DetailPlacement place{1, 2, 3, 4, 5, {6, 7, 8, 9}, 10};
        expectFieldsAt(place, 40,
                       {{0, 4, 1}, {4, 4, 2}, {8, 4, 3}, {12, 4, 4}, {16, 4, 5}, {20, 4, 6}, {24, 4, 7},
                        {28, 4, 8}, {32, 4, 9}, {36, 4, 10}},
                       encodeDetailPlacement, [](const uint8_t* in) {
                           DetailPlacement decoded{};
                           overlayDetailPlacement(decoded, in, kDetailPlacementSize);
                           return decoded;
                       });
    }
    {
        SCOPED_TRACE("header: the six totals");
        expectFieldsAt(CounterBlock{1.5, 2.5, 3.5, 4.5, 5.5, 6.5}, 48,
                       {{0, 8, 1.5}, {8, 8, 2.5}, {16, 8, 3.5}, {24, 8, 4.5}, {32, 8, 5.5}, {40, 8, 6.5}},
                       encodeCounterBlock, decodeCounterBlock);
    }
    {
        SCOPED_TRACE("header: the month stamp");
        expectFieldsAt(SystemTime{2024, 12, 2, 31, 23, 59, 58, 999}, 16,
                       {{0, 2, 2024}, {2, 2, 12}, {4, 2, 2}, {6, 2, 31}, {8, 2, 23}, {10, 2, 59}, {12, 2, 58},
                        {14, 2, 999}},
                       encodeSystemTime, decodeSystemTime);
    }
    {
        SCOPED_TRACE("log record");
        const ConnectionRecord record{{2023, 11, 1, 30, 22, 58, 57, 998}, 3725.0, 0.25};
        expectFieldsAt(record, 32,
                       {{0, 2, 2023}, {2, 2, 11}, {4, 2, 1}, {6, 2, 30}, {8, 2, 22}, {10, 2, 58}, {12, 2, 57},
                        {14, 2, 998}, {16, 8, 3725.0}, {24, 8, 0.25}},
                       encodeRecord, decodeRecord);
    }
}

// Every record read from a stored value of every length from none to longer than the record: the value's leading
// bytes, then what the record held before.
TEST(StoredLayout, StoredValuesOverlayOnlyTheirLeadingBytes)
{
    struct Overlay {
        const char* record;
        size_t size;
        Bytes (*overlaid)(const Bytes& before, const Bytes& value, size_t length); // the record's bytes after
    };
    const Overlay overlays[] = {
        {"Settings", kSettingsBlockSize,
         [](const Bytes& before, const Bytes& value, size_t length) {
             SettingsBlock block = decodeSettingsBlock(before.data());
             overlaySettingsBlock(block, value.data(), length);
             return blockBytes(block);
         }},
        {"Settings1", kSettingsExtraSize,
         [](const Bytes& before, const Bytes& value, size_t length) {
             SettingsExtra extra = decodeSettingsExtra(before.data());
             overlaySettingsExtra(extra, value.data(), length);
             return extraBytes(extra);
         }},
        {"Place", kDetailPlacementSize,
         [](const Bytes& before, const Bytes& value, size_t length) {
             DetailPlacement place{};
             overlayDetailPlacement(place, before.data(), before.size());
             overlayDetailPlacement(place, value.data(), length);
             Bytes bytes(kDetailPlacementSize);
             encodeDetailPlacement(place, bytes.data());
             return bytes;
         }},
        {"the six totals", kCounterBlockSize,
         [](const Bytes& before, const Bytes& value, size_t length) {
             CounterBlock counters = decodeCounterBlock(before.data());
             overlayCounterBlock(counters, value.data(), length);
             Bytes bytes(kCounterBlockSize);
             encodeCounterBlock(counters, bytes.data());
             return bytes;
         }},
        {"the record count", 4,
         [](const Bytes& before, const Bytes& value, size_t length) {
             int32_t count = getI32(before.data());
             overlayRecordCount(count, value.data(), length);
             Bytes bytes(4);
             putI32(bytes.data(), count);
             return bytes;
         }},
    };
    for (const Overlay& overlay : overlays) {
        const Bytes before = patterned(overlay.size, 200);
        const Bytes value = patterned(overlay.size + 64, 9);
        for (size_t length = 0; length <= value.size(); ++length) {
            const size_t taken = length < overlay.size ? length : overlay.size;
            Bytes expected(value.begin(), value.begin() + static_cast<std::ptrdiff_t>(taken));
            expected.insert(expected.end(), before.begin() + static_cast<std::ptrdiff_t>(taken), before.end());
            EXPECT_EQ(expected, overlay.overlaid(before, value, length)) << overlay.record << ", length " << length;
        }
    }
}

} // namespace
