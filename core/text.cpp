// Formats durations and costs into bounded buffers.
#include "core/text.h"

#include <cstdio>

#include "core/state.h"

int clampedLength(int written, size_t size)
{
    if (written < 0 || size == 0)
        return 0;
    return static_cast<size_t>(written) < size ? written : static_cast<int>(size - 1);
}

int formatDuration(double seconds, char* out, size_t size)
{
    const Hms hms = secondsToHms(seconds);
    const int written = std::snprintf(out, size, "%03u:%02u:%02u", static_cast<unsigned>(hms.hours),
                                      static_cast<unsigned>(hms.minutes), static_cast<unsigned>(hms.seconds));
    return clampedLength(written, size);
}

const char* costFormat(double tariffCommon) { return tariffCommon >= 60.0 ? "%.2f" : "%.4f"; }

int formatCost(double cost, double tariffCommon, char* out, size_t size)
{
    const int written = std::snprintf(out, size, costFormat(tariffCommon), cost);
    return clampedLength(written, size);
}
