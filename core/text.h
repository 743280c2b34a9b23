// Texts of durations and costs as every window and the export show them.
#pragma once

#include <cstddef>

// Room for "%03u:%02u:%02u" of any Hms, whatever the sign of its fields.
constexpr size_t kDurationTextSize = 40;
// Room for "%.4f" of any double (the largest has 309 integer digits), a blank and a currency symbol.
constexpr size_t kCostTextSize = 340;
// Characters of a duration the windows draw: "000:00:00".
constexpr int kDurationDrawnLength = 9;

// The length of what snprintf wrote into `size` bytes, given the length it wanted (`written`): cut to the
// buffer, 0 for an encoding error or an empty buffer. Every bounded formatter returns this.
int clampedLength(int written, size_t size);

// "%03u:%02u:%02u" of the duration, fractions of a second dropped; returns the text's length.
int formatDuration(double seconds, char* out, size_t size);
// The cost with two decimals when the common tariff is 60 or more, else four; returns the text's length.
int formatCost(double cost, double tariffCommon, char* out, size_t size);
// The printf format of a cost for that common tariff: "%.2f" or "%.4f".
const char* costFormat(double tariffCommon);
