// Fuzzes the decoding of stored bytes: every record from any bytes, and short or long stored values.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint8_t buffer[kSettingsBlockSize] = {};
    std::memcpy(buffer, data, size < sizeof buffer ? size : sizeof buffer);

    // Decoding and encoding again gives the same bytes, whatever the bytes mean (NaNs included).
    const ConnectionRecord record = decodeRecord(buffer);
    uint8_t again[kSettingsBlockSize] = {};
    encodeRecord(record, again);
    if (std::memcmp(again, buffer, kRecordSize) != 0)
        __builtin_trap();
    const SettingsBlock settings = decodeSettingsBlock(buffer);
    encodeSettingsBlock(settings, again);
    if (std::memcmp(again, buffer, kSettingsBlockSize) != 0)
        __builtin_trap();

    // A stored value of any length fills at most its record.
    SettingsBlock target{};
    overlaySettingsBlock(target, data, size);
    SettingsExtra extra{};
    overlaySettingsExtra(extra, data, size);
    CounterBlock counters{};
    overlayCounterBlock(counters, data, size);
    int32_t count = 0;
    overlayRecordCount(count, data, size);
    return 0;
}
