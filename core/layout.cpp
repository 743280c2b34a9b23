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

static void putHms(uint8_t* out, const Hms& hms)
{
    putI32(out, hms.hours);
    putI32(out + 4, hms.minutes);
    putI32(out + 8, hms.seconds);
}

static Hms getHms(const uint8_t* in) { return Hms{getI32(in), getI32(in + 4), getI32(in + 8)}; }

void encodeSystemTime(const SystemTime& value, uint8_t out[kSystemTimeSize])
{
    const uint16_t fields[8] = {value.wYear, value.wMonth,  value.wDayOfWeek, value.wDay,
                                value.wHour, value.wMinute, value.wSecond,    value.wMilliseconds};
    for (int i = 0; i < 8; ++i)
        putU16(out + 2 * i, fields[i]);
}

SystemTime decodeSystemTime(const uint8_t in[kSystemTimeSize])
{
    SystemTime value;
    value.wYear = getU16(in);
    value.wMonth = getU16(in + 2);
    value.wDayOfWeek = getU16(in + 4);
    value.wDay = getU16(in + 6);
    value.wHour = getU16(in + 8);
    value.wMinute = getU16(in + 10);
    value.wSecond = getU16(in + 12);
    value.wMilliseconds = getU16(in + 14);
    return value;
}

void encodeCounterBlock(const CounterBlock& value, uint8_t out[kCounterBlockSize])
{
    const double fields[6] = {value.lastConnSeconds, value.curMonthSeconds, value.lastMonthSeconds,
                              value.lastConnCost,    value.curMonthCost,    value.lastMonthCost};
    for (int i = 0; i < 6; ++i)
        putF64(out + 8 * i, fields[i]);
}

CounterBlock decodeCounterBlock(const uint8_t in[kCounterBlockSize])
{
    CounterBlock value;
    value.lastConnSeconds = getF64(in);
    value.curMonthSeconds = getF64(in + 8);
    value.lastMonthSeconds = getF64(in + 16);
    value.lastConnCost = getF64(in + 24);
    value.curMonthCost = getF64(in + 32);
    value.lastMonthCost = getF64(in + 40);
    return value;
}

void encodeRecord(const ConnectionRecord& value, uint8_t out[kRecordSize])
{
    encodeSystemTime(value.start, out);
    putF64(out + 16, value.seconds);
    putF64(out + 24, value.cost);
}

ConnectionRecord decodeRecord(const uint8_t in[kRecordSize])
{
    ConnectionRecord value;
    value.start = decodeSystemTime(in);
    value.seconds = getF64(in + 16);
    value.cost = getF64(in + 24);
    return value;
}

void encodeSettingsBlock(const SettingsBlock& value, uint8_t out[kSettingsBlockSize])
{
    const int32_t flags[12] = {value.showCounterOnConnect, value.calculateCost,    value.todayIsHoliday,
                               value.weekendAsEconomic,    value.warningsEnabled,  value.timeWarning,
                               value.costWarning,          value.timeWarnPerConn,  value.timeWarnPerMonth,
                               value.costWarnPerConn,      value.costWarnPerMonth, value.reserved};
    for (int i = 0; i < 12; ++i)
        putI32(out + 4 * i, flags[i]);
    putF64(out + 48, value.tariffCommon);
    putF64(out + 56, value.tariffEconomic);
    putF64(out + 64, value.tariffWeekend);
    putF64(out + 72, value.costLimitPerConn);
    putF64(out + 80, value.costLimitPerMonth);
    putHms(out + 88, value.commonFrom);
    putHms(out + 100, value.commonTo);
    putHms(out + 112, value.timeLimitPerConn);
    putHms(out + 124, value.timeLimitPerMonth);
}

SettingsBlock decodeSettingsBlock(const uint8_t in[kSettingsBlockSize])
{
    SettingsBlock value;
    value.showCounterOnConnect = getI32(in);
    value.calculateCost = getI32(in + 4);
    value.todayIsHoliday = getI32(in + 8);
    value.weekendAsEconomic = getI32(in + 12);
    value.warningsEnabled = getI32(in + 16);
    value.timeWarning = getI32(in + 20);
    value.costWarning = getI32(in + 24);
    value.timeWarnPerConn = getI32(in + 28);
    value.timeWarnPerMonth = getI32(in + 32);
    value.costWarnPerConn = getI32(in + 36);
    value.costWarnPerMonth = getI32(in + 40);
    value.reserved = getI32(in + 44);
    value.tariffCommon = getF64(in + 48);
    value.tariffEconomic = getF64(in + 56);
    value.tariffWeekend = getF64(in + 64);
    value.costLimitPerConn = getF64(in + 72);
    value.costLimitPerMonth = getF64(in + 80);
    value.commonFrom = getHms(in + 88);
    value.commonTo = getHms(in + 100);
    value.timeLimitPerConn = getHms(in + 112);
    value.timeLimitPerMonth = getHms(in + 124);
    return value;
}

void encodeSettingsExtra(const SettingsExtra& value, uint8_t out[kSettingsExtraSize])
{
    putI32(out, value.addSeconds);
    putI32(out + 4, value.autoSumUp);
}

SettingsExtra decodeSettingsExtra(const uint8_t in[kSettingsExtraSize])
{
    return SettingsExtra{getI32(in), getI32(in + 4)};
}

// Copies the leading bytes of a stored value over a record's bytes; nothing for an empty value.
static void overlayBytes(uint8_t* record, size_t recordSize, const uint8_t* bytes, size_t length)
{
    if (bytes != nullptr && length > 0)
        std::memcpy(record, bytes, length < recordSize ? length : recordSize);
}

void overlaySettingsBlock(SettingsBlock& target, const uint8_t* bytes, size_t length)
{
    uint8_t buffer[kSettingsBlockSize];
    encodeSettingsBlock(target, buffer);
    overlayBytes(buffer, sizeof buffer, bytes, length);
    target = decodeSettingsBlock(buffer);
}

void overlaySettingsExtra(SettingsExtra& target, const uint8_t* bytes, size_t length)
{
    uint8_t buffer[kSettingsExtraSize];
    encodeSettingsExtra(target, buffer);
    overlayBytes(buffer, sizeof buffer, bytes, length);
    target = decodeSettingsExtra(buffer);
}

void overlayCounterBlock(CounterBlock& target, const uint8_t* bytes, size_t length)
{
    uint8_t buffer[kCounterBlockSize];
    encodeCounterBlock(target, buffer);
    overlayBytes(buffer, sizeof buffer, bytes, length);
    target = decodeCounterBlock(buffer);
}

void overlayRecordCount(int32_t& target, const uint8_t* bytes, size_t length)
{
    uint8_t buffer[kRecordCountSize];
    putI32(buffer, target);
    overlayBytes(buffer, sizeof buffer, bytes, length);
    target = getI32(buffer);
}
