// The spreadsheet export: the connections and the history as CSV texts (RFC 4180), UTF-8 with a byte-order mark.
#pragma once

#include <string>
#include <vector>

#include "core/history.h"
#include "core/state.h"

// The byte-order mark that opens every CSV file, so that a spreadsheet reads it as UTF-8.
extern const char kUtf8ByteOrderMark[];

// One field as RFC 4180 writes it: in double quotes, its quotes doubled, when it holds a comma, a quote, a CR
// or a LF; as it is otherwise.
std::string csvField(const std::string& text);

// A duration as h:mm:ss, the hours as many as it takes, fractions of a second dropped.
std::string csvDuration(double seconds);

// How the CSV shows costs: whether at all, the decimals by the common tariff, and the currency symbol of the
// header in UTF-8.
struct CsvCostStyle {
    bool withCost;          // the user's "Calculate cost": without it no cost column is written
    double tariffCommon;    // two decimals at 60 or more, else four, as the windows show them
    std::string symbolUtf8; // the currency symbol, already converted to UTF-8
};

// The byte-order mark, the header row "Date,Start,Duration (s),Duration[,Cost (symbol)]" and one row per
// record in the given order, every row ended by CR LF.
std::string connectionsCsv(const std::vector<const ConnectionRecord*>& records, const CsvCostStyle& style);

// The byte-order mark, the header row and one row per period as the history lists them: the period
// (YYYY-MM of the month it starts in), its first and last day, connections, time, cost, and the forecast.
std::string historyCsv(const std::vector<HistoryRow>& rows, int startDay, const CsvCostStyle& style);
