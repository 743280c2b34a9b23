// Sums the log by billing period, with the current period's forecast and the chart's scale.
#include "core/history.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "core/billing_period.h"
#include "core/forecast.h"
#include "core/text.h"

std::vector<HistoryRow> historyOf(const std::vector<ConnectionRecord>& records, const SystemTime& now, int startDay)
{
    const int32_t currentPeriod = periodOf(now, startDay);
    std::map<int32_t, HistoryRow> byPeriod;
    byPeriod[currentPeriod] = HistoryRow{currentPeriod, 0, 0.0, 0.0, true, 0.0, 0.0};
    // The log runs oldest first, so a record mostly falls in the period of the one before it.
    auto found = byPeriod.begin();
    for (const ConnectionRecord& record : records) {
        if (record.start.wMonth < 1 || record.start.wMonth > 12)
            continue;
        const int32_t period = periodOf(record.start, startDay);
        if (found->first != period) {
            found = byPeriod.find(period);
            if (found == byPeriod.end())
                found = byPeriod.emplace(period, HistoryRow{period, 0, 0.0, 0.0, false, 0.0, 0.0}).first;
        }
        HistoryRow& row = found->second;
        ++row.connections;
        row.seconds += record.seconds;
        row.cost += record.cost;
    }
    std::vector<HistoryRow> rows;
    rows.reserve(byPeriod.size());
    for (auto it = byPeriod.rbegin(); it != byPeriod.rend(); ++it) {
        HistoryRow row = it->second;
        row.forecastSeconds = row.current ? forecastToPeriodEnd(row.seconds, now, startDay) : row.seconds;
        row.forecastCost = row.current ? forecastToPeriodEnd(row.cost, now, startDay) : row.cost;
        rows.push_back(row);
    }
    return rows;
}

std::vector<double> periodFigures(const std::vector<HistoryRow>& rows, int32_t lastPeriod, int count,
                                  HistoryFigure figure)
{
    std::vector<double> figures(count > 0 ? static_cast<size_t>(count) : 0u, 0.0);
    const int64_t first = static_cast<int64_t>(lastPeriod) - count + 1;
    for (const HistoryRow& row : rows) {
        if (row.period >= first && row.period <= lastPeriod)
            figures[static_cast<size_t>(row.period - first)] = figure == HistoryFigure::Cost ? row.cost : row.seconds;
    }
    return figures;
}

double chartCeiling(double value)
{
    if (!(value > 0.0) || !std::isfinite(value))
        return 1.0;
    const double decade = std::pow(10.0, std::floor(std::log10(value)));
    for (const double step : {1.0, 2.0, 5.0, 10.0}) {
        // A little slack, so that a value that is itself a step is its own ceiling despite rounding.
        if (value <= step * decade * (1.0 + 1e-12))
            return step * decade;
    }
    return 10.0 * decade;
}

int formatPeriodLabel(int32_t period, int startDay, char* out, size_t size)
{
    const SystemTime first = periodFirstDay(period, startDay);
    if (first.wDay == 1)
        return clampedLength(std::snprintf(out, size, "%02u.%04u", unsigned{first.wMonth}, unsigned{first.wYear}),
                             size);
    const SystemTime last = periodLastDay(period, startDay);
    return clampedLength(std::snprintf(out, size, "%02u.%02u.%04u-%02u.%02u.%04u", unsigned{first.wDay},
                                       unsigned{first.wMonth}, unsigned{first.wYear}, unsigned{last.wDay},
                                       unsigned{last.wMonth}, unsigned{last.wYear}),
                         size);
}

int formatBarLabel(int32_t period, char* out, size_t size)
{
    const SystemTime first = periodFirstDay(period, 1);
    return clampedLength(
        std::snprintf(out, size, "%02u.%02u", unsigned{first.wMonth}, static_cast<unsigned>(first.wYear % 100)),
        size);
}
