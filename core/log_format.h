// Which logged connections a view shows, and the texts of the list and the export.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/state.h"

// The rows a detailed list or an export covers.
enum ViewFilter : int32_t { All = 0, CurrentMonth = 1, LastMonth = 2 };

// The month rules below count by the billing period in force: with the calendar month (start day 1) a date's own
// month; else the month in which the period holding the date starts.

// The record's month is today's month, of any year.
bool inCurrentMonth(const SystemTime& start, const SystemTime& today);
// The record's month is the month before today's; in January only December of the year before.
bool inLastMonth(const SystemTime& start, const SystemTime& today);
// Whether a list or an export with this filter shows the record.
bool filterAdmits(ViewFilter filter, const SystemTime& start, const SystemTime& today);
// Month and year of the month before today's, as the title and the suggested export name show them.
struct MonthOfYear {
    unsigned month; // 1 to 12
    unsigned year;  // today's year, or the one before in January
};
MonthOfYear lastMonthOf(const SystemTime& today);

// Every formatter below writes at most `size` bytes including the terminating NUL and returns the length
// of the text written (cut to the buffer when it is too small).

// Room for the window title of any filter and date.
constexpr size_t kDetailsTitleSize = 48;
// "Detailed statistics (All)" or "Detailed statistics (MM.YYYY)" of the shown month.
int formatDetailsTitle(ViewFilter filter, const SystemTime& today, char* out, size_t size);

// Room for a suggested export name.
constexpr size_t kSuggestedNameSize = 16;
// "allYYYY" from the oldest exported record, "MMYYYY" of the first exported record or of the last month.
int formatSuggestedName(ViewFilter filter, const SystemTime& firstExported, const SystemTime& today, char* out,
                        size_t size);

// Room for any row text of the list: a date, a time, a duration, or the largest cost with a symbol.
constexpr size_t kListTextSize = 360;
// "DD.MM.YYYY" of the record's start, the year at least four wide.
int formatListDate(const SystemTime& start, char* out, size_t size);
// "hh:mm:ss" of the record's start.
int formatListTime(const SystemTime& start, char* out, size_t size);
// The cost with two or four decimals by the common tariff, a blank and the currency symbol.
int formatListCost(double cost, double tariffCommon, const char* symbol, int symbolLength, char* out,
                   size_t size);

// The export's first line: 49 underscores and a line feed (a text-mode stream makes it CR LF).
extern const char kExportRule[];
// Room for any export line: date, time, duration and the largest cost with symbol, separators and line feed.
constexpr size_t kExportLineSize = 440;
// One export line of a record, ended by a blank and a line feed; with cost the symbol follows the number.
int formatExportLine(const ConnectionRecord& record, bool withCost, double tariffCommon, const char* symbol,
                     int symbolLength, char* out, size_t size);
