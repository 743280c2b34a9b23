// Byte layout of everything stored: the data file "Tq.dat" and the registry values "Settings", "Settings1",
// "Period" and "Place", little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/state.h"
#include "core/settings.h"

// "Tq.dat": a 100-byte header, then 32-byte records without a gap.
constexpr uint32_t kCounterBlockOffset = 0;
constexpr size_t kCounterBlockSize = 48;
constexpr uint32_t kMonthStampOffset = 48;
constexpr size_t kSystemTimeSize = 16;
constexpr uint32_t kRecordCountOffset = 80;
constexpr size_t kRecordCountSize = 4;
constexpr uint32_t kHeaderSize = 100;
constexpr size_t kRecordSize = 32;
constexpr size_t kSettingsBlockSize = 136;
constexpr size_t kSettingsExtraSize = 8;
constexpr size_t kDetailPlacementSize = 40;
constexpr size_t kSettingsPeriodSize = 4;

static_assert(kMonthStampOffset + kSystemTimeSize <= kRecordCountOffset, "stamp before the count");
static_assert(kRecordCountOffset + kRecordCountSize + 16 == kHeaderSize,
              "the header is 100 bytes: the count, 16 reserved");
static_assert(kMonthStampOffset + kSystemTimeSize + 16 == kRecordCountOffset, "16 reserved bytes before the count");
static_assert(sizeof(CounterBlock) == kCounterBlockSize, "counter block size");
static_assert(sizeof(ConnectionRecord) == kRecordSize, "record size");
static_assert(sizeof(SettingsBlock) == kSettingsBlockSize, "settings size");
static_assert(sizeof(SettingsExtra) == kSettingsExtraSize, "extra settings size");
static_assert(sizeof(DetailPlacement) == kDetailPlacementSize, "placement size");
static_assert(sizeof(SettingsPeriod) == kSettingsPeriodSize, "period settings size");

// Beyond this offset the data file cannot be positioned; no record slot past it is read or written.
constexpr uint64_t kReachableEnd = uint64_t{1} << 32;

// File offset of log record i; 64-bit so that no count can wrap it.
constexpr uint64_t recordOffset(int64_t index) { return kHeaderSize + kRecordSize * static_cast<uint64_t>(index); }

// Little-endian primitives.
void putU16(uint8_t* out, uint16_t value);
void putI32(uint8_t* out, int32_t value);
void putF64(uint8_t* out, double value);
uint16_t getU16(const uint8_t* in);
int32_t getI32(const uint8_t* in);
double getF64(const uint8_t* in);

// Each record to and from its stored bytes; the buffers hold exactly the stored size.
void encodeSystemTime(const SystemTime& value, uint8_t out[kSystemTimeSize]);
SystemTime decodeSystemTime(const uint8_t in[kSystemTimeSize]);
void encodeCounterBlock(const CounterBlock& value, uint8_t out[kCounterBlockSize]);
CounterBlock decodeCounterBlock(const uint8_t in[kCounterBlockSize]);
void encodeRecord(const ConnectionRecord& value, uint8_t out[kRecordSize]);
ConnectionRecord decodeRecord(const uint8_t in[kRecordSize]);
void encodeSettingsBlock(const SettingsBlock& value, uint8_t out[kSettingsBlockSize]);
SettingsBlock decodeSettingsBlock(const uint8_t in[kSettingsBlockSize]);
void encodeSettingsExtra(const SettingsExtra& value, uint8_t out[kSettingsExtraSize]);
SettingsExtra decodeSettingsExtra(const uint8_t in[kSettingsExtraSize]);
void encodeSettingsPeriod(const SettingsPeriod& value, uint8_t out[kSettingsPeriodSize]);
void encodeDetailPlacement(const DetailPlacement& value, uint8_t out[kDetailPlacementSize]);

// A stored value read short fills only the leading bytes of its record; the rest keeps its contents.
// `length` beyond the record's size is cut to it.
void overlaySettingsBlock(SettingsBlock& target, const uint8_t* bytes, size_t length);
void overlaySettingsExtra(SettingsExtra& target, const uint8_t* bytes, size_t length);
void overlaySettingsPeriod(SettingsPeriod& target, const uint8_t* bytes, size_t length);
void overlayCounterBlock(CounterBlock& target, const uint8_t* bytes, size_t length);
void overlayRecordCount(int32_t& target, const uint8_t* bytes, size_t length);
void overlayDetailPlacement(DetailPlacement& target, const uint8_t* bytes, size_t length);
