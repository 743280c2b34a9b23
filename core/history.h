// The whole history by billing period: one row per period of the log, newest first, the current one with its
// forecast, and what the chart of the latest periods shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/settings.h"
#include "core/state.h"

// One billing period of the history.
struct HistoryRow {
    int32_t period;         // the period's number (core/billing_period.h)
    int32_t connections;    // logged connections that started in it
    double seconds;         // their durations summed
    double cost;            // their costs summed
    bool current;           // the period that holds the present day
    double forecastSeconds; // the current period's time at this pace by its last day; else the time itself
    double forecastCost;    // the current period's cost at this pace by its last day; else the cost itself
};

// The periods in which connections of the log started, and the current period even without any, newest
// first. Records whose month is not 1 to 12 name no period and are left out.
std::vector<HistoryRow> historyOf(const std::vector<ConnectionRecord>& records, const SystemTime& now, int startDay);

// Which figure of the rows a chart shows.
enum class HistoryFigure { Seconds, Cost };
// That figure of the `count` periods up to and including `lastPeriod`, oldest first; 0 for a period without a row.
std::vector<double> periodFigures(const std::vector<HistoryRow>& rows, int32_t lastPeriod, int count,
                                  HistoryFigure figure);

// The top of a chart's scale: the smallest 1, 2 or 5 times a power of ten at or above `value` (1 for nothing
// positive or finite).
double chartCeiling(double value);

// Room for a period's label.
constexpr size_t kPeriodLabelSize = 32;
// "MM.YYYY" of the month the period starts in when periods are calendar months, else its first and last day as
// "DD.MM.YYYY-DD.MM.YYYY".
int formatPeriodLabel(int32_t period, int startDay, char* out, size_t size);
// "MM.YY" under a bar of the chart.
int formatBarLabel(int32_t period, char* out, size_t size);
