// Little-endian encoding of the stored records, identical on every build.
#include "core/layout.h"

#include <cstring>

void putU16(uint8_t* out, uint16_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void putI32(uint8_t* out, int32_t value)
{
    const uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

void putF64(uint8_t* out, double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

uint16_t getU16(const uint8_t* in) { return static_cast<uint16_t>(in[0] | (in[1] << 8)); }

int32_t getI32(const uint8_t* in)
{
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<uint32_t>(in[i]) << (8 * i);
    return static_cast<int32_t>(bits);
}

double getF64(const uint8_t* in)
{
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<uint64_t>(in[i]) << (8 * i);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

namespace {

// Puts each field at its offset, in the width of its type.
struct Encoder {
    uint8_t* out;
    void field(size_t at, uint16_t value) const { putU16(out + at, value); }
    void field(size_t at, int32_t value) const { putI32(out + at, value); }
    void field(size_t at, double value) const { putF64(out + at, value); }
};

// Takes each field from its offset, in the width of its type.
struct Decoder {
    const uint8_t* in;
    void field(size_t at, uint16_t& value) const { value = getU16(in + at); }
    void field(size_t at, int32_t& value) const { value = getI32(in + at); }
    void field(size_t at, double& value) const { value = getF64(in + at); }
};

// A run of fields of one type stored end to end from offset `at`, in the order of `members`. The encoder walks
// it over a const record, the decoder over a writable one: each offset follows from one table.
template <class Codec, class Value, class Member, size_t count>
void walkRun(const Codec& codec, Value& v, size_t at, Member const (&members)[count])
{
    for (size_t i = 0; i < count; ++i)
        codec.field(at + i * sizeof(v.*members[0]), v.*members[i]);
}

// The tables of the stored records, run by run.
constexpr uint16_t SystemTime::*kTimeFields[] = {
    &SystemTime::wYear,   &SystemTime::wMonth,  &SystemTime::wDayOfWeek, &SystemTime::wDay,
    &SystemTime::wHour,   &SystemTime::wMinute, &SystemTime::wSecond,    &SystemTime::wMilliseconds};
constexpr int32_t Hms::*kHmsFields[] = {&Hms::hours, &Hms::minutes, &Hms::seconds};
constexpr double CounterBlock::*kTotals[] = {&CounterBlock::lastConnSeconds,  &CounterBlock::curMonthSeconds,
                                             &CounterBlock::lastMonthSeconds, &CounterBlock::lastConnCost,
                                             &CounterBlock::curMonthCost,     &CounterBlock::lastMonthCost};
constexpr double ConnectionRecord::*kRecordFigures[] = {&ConnectionRecord::seconds, &ConnectionRecord::cost};
// "Settings": twelve switches from 0 (the last one reserved), five prices from 48, four times from 88.
constexpr int32_t SettingsBlock::*kSwitches[] = {
    &SettingsBlock::showCounterOnConnect, &SettingsBlock::calculateCost,   &SettingsBlock::todayIsHoliday,
    &SettingsBlock::weekendAsEconomic,    &SettingsBlock::warningsEnabled, &SettingsBlock::timeWarning,
    &SettingsBlock::costWarning,          &SettingsBlock::timeWarnPerConn, &SettingsBlock::timeWarnPerMonth,
    &SettingsBlock::costWarnPerConn,      &SettingsBlock::costWarnPerMonth, &SettingsBlock::reserved};
constexpr double SettingsBlock::*kPrices[] = {&SettingsBlock::tariffCommon, &SettingsBlock::tariffEconomic,
                                              &SettingsBlock::tariffWeekend, &SettingsBlock::costLimitPerConn,
                                              &SettingsBlock::costLimitPerMonth};
constexpr Hms SettingsBlock::*kTimes[] = {&SettingsBlock::commonFrom, &SettingsBlock::commonTo,
                                          &SettingsBlock::timeLimitPerConn, &SettingsBlock::timeLimitPerMonth};
constexpr int32_t SettingsExtra::*kExtras[] = {&SettingsExtra::addSeconds, &SettingsExtra::autoSumUp};
// "Period": the start day.
constexpr int32_t SettingsPeriod::*kPeriodFields[] = {&SettingsPeriod::startDay};
// "Place": the grid state and the four edges, then the four column widths, then the show state.
constexpr int32_t DetailPlacement::*kEdges[] = {&DetailPlacement::gridState, &DetailPlacement::left,
                                                &DetailPlacement::top, &DetailPlacement::right,
                                                &DetailPlacement::bottom};

template <class Codec, class Value> void walk(const Codec& codec, Value& v, const SystemTime*, size_t at = 0)
{
    walkRun(codec, v, at, kTimeFields);
}

template <class Codec, class Value> void walk(const Codec& codec, Value& v, const CounterBlock*)
{
    walkRun(codec, v, 0, kTotals);
}

template <class Codec, class Value> void walk(const Codec& codec, Value& v, const ConnectionRecord*)
{
    walk(codec, v.start, static_cast<const SystemTime*>(nullptr), 0);
    walkRun(codec, v, 16, kRecordFigures);
}

template <class Codec, class Value> void walk(const Codec& codec, Value& v, const SettingsBlock*)
{
    walkRun(codec, v, 0, kSwitches);
    walkRun(codec, v, 48, kPrices);
    for (size_t i = 0; i < 4; ++i)
        walkRun(codec, v.*kTimes[i], 88 + 12 * i, kHmsFields);
}

template <class Codec, class Value> void walk(const Codec& codec, Value& v, const SettingsExtra*)
{
    walkRun(codec, v, 0, kExtras);
}

template <class Codec, class Value> void walk(const Codec& codec, Value& v, const SettingsPeriod*)
{
    walkRun(codec, v, 0, kPeriodFields);
}

template <class Codec, class Value> void walk(const Codec& codec, Value& v, const DetailPlacement*)
{
    walkRun(codec, v, 0, kEdges);
    for (size_t column = 0; column < 4; ++column)
        codec.field(20 + 4 * column, v.columnWidths[column]);
    codec.field(36, v.showCmd);
}

// The record count is a record of one field.
template <class Codec, class Value> void walk(const Codec& codec, Value& v, const int32_t*) { codec.field(0, v); }

// The record's type picks its table.
template <class Record> void encodeStored(const Record& value, uint8_t* out)
{
    walk(Encoder{out}, value, static_cast<const Record*>(nullptr));
}

template <class Record> Record decodeStored(const uint8_t* in)
{
    Record value{};
    walk(Decoder{in}, value, static_cast<const Record*>(nullptr));
    return value;
}

// The one overlay: the leading bytes of a stored value over the record's stored form; nothing for an empty
// value. Every record's size in memory is its stored size (checked in the header).
template <class Record> void overlayStored(Record& target, const uint8_t* bytes, size_t length)
{
    uint8_t stored[sizeof(Record)];
    encodeStored(target, stored);
    if (bytes != nullptr && length > 0)
        std::memcpy(stored, bytes, length < sizeof stored ? length : sizeof stored);
    target = decodeStored<Record>(stored);
}

} // namespace

void encodeSystemTime(const SystemTime& value, uint8_t out[kSystemTimeSize]) { encodeStored(value, out); }
SystemTime decodeSystemTime(const uint8_t in[kSystemTimeSize]) { return decodeStored<SystemTime>(in); }
void encodeCounterBlock(const CounterBlock& value, uint8_t out[kCounterBlockSize]) { encodeStored(value, out); }
CounterBlock decodeCounterBlock(const uint8_t in[kCounterBlockSize]) { return decodeStored<CounterBlock>(in); }
void encodeRecord(const ConnectionRecord& value, uint8_t out[kRecordSize]) { encodeStored(value, out); }
ConnectionRecord decodeRecord(const uint8_t in[kRecordSize]) { return decodeStored<ConnectionRecord>(in); }
void encodeSettingsBlock(const SettingsBlock& value, uint8_t out[kSettingsBlockSize]) { encodeStored(value, out); }
SettingsBlock decodeSettingsBlock(const uint8_t in[kSettingsBlockSize]) { return decodeStored<SettingsBlock>(in); }
void encodeSettingsExtra(const SettingsExtra& value, uint8_t out[kSettingsExtraSize]) { encodeStored(value, out); }
SettingsExtra decodeSettingsExtra(const uint8_t in[kSettingsExtraSize]) { return decodeStored<SettingsExtra>(in); }
void encodeSettingsPeriod(const SettingsPeriod& value, uint8_t out[kSettingsPeriodSize]) { encodeStored(value, out); }
void encodeDetailPlacement(const DetailPlacement& value, uint8_t out[kDetailPlacementSize])
{
    encodeStored(value, out);
}

void overlaySettingsBlock(SettingsBlock& target, const uint8_t* bytes, size_t length)
{
    overlayStored(target, bytes, length);
}

void overlaySettingsExtra(SettingsExtra& target, const uint8_t* bytes, size_t length)
{
    overlayStored(target, bytes, length);
}

void overlaySettingsPeriod(SettingsPeriod& target, const uint8_t* bytes, size_t length)
{
    overlayStored(target, bytes, length);
}

void overlayCounterBlock(CounterBlock& target, const uint8_t* bytes, size_t length)
{
    overlayStored(target, bytes, length);
}

void overlayRecordCount(int32_t& target, const uint8_t* bytes, size_t length) { overlayStored(target, bytes, length); }

void overlayDetailPlacement(DetailPlacement& target, const uint8_t* bytes, size_t length)
{
    overlayStored(target, bytes, length);
}
