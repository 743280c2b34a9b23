// Which logged connections a view keeps, and the texts of the detailed list and the export.
#pragma once

#include <cstdint>

#include "accounting/state.h"

// The rows a detailed list or an export covers.
enum ViewFilter : int32_t { All = 0, CurrentMonth = 1, LastMonth = 2 };

// The records a Clear keeps.
enum ClearMode : int32_t { ClearAll = 0, ClearUntilCurrentMonth = 1, ClearUntilLastMonth = 2 };

// The record's month is today's month, of any year.
bool inCurrentMonth(const SystemTime& start, const SystemTime& today);
// The record's month is the month before today's; in January only December of the year before.
bool inLastMonth(const SystemTime& start, const SystemTime& today);
