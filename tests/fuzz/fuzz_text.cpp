// Fuzzes the duration and cost texts with any double: bounded, terminated, nine characters drawn.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 16)
        return 0;
    double value;
    double tariff;
    std::memcpy(&value, data, sizeof value);
    std::memcpy(&tariff, data + 8, sizeof tariff);

    char duration[kDurationTextSize];
    const int durationLength = formatDuration(value, duration, sizeof duration);
    if (durationLength < kDurationDrawnLength || durationLength >= static_cast<int>(sizeof duration) ||
        std::strlen(duration) != static_cast<size_t>(durationLength))
        __builtin_trap();

    char cost[kCostTextSize];
    const int costLength = formatCost(value, tariff, cost, sizeof cost);
    if (costLength <= 0 || std::strlen(cost) != static_cast<size_t>(costLength))
        __builtin_trap();
    return 0;
}
