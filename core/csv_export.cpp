// Builds the CSV texts of the spreadsheet export: quoting, ISO dates and times, durations, costs with a dot.
#include "core/csv_export.h"

#include <cmath>
#include <cstdio>

#include "core/billing_period.h"
#include "core/text.h"

const char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

namespace {

constexpr char kRowEnd[] = "\r\n";
// Room for an ISO date or time of any sixteen-bit fields.
constexpr size_t kIsoTextSize = 3 * 6 + 3;

std::string isoDate(const SystemTime& t)
{
    char text[kIsoTextSize];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", unsigned{t.wYear}, unsigned{t.wMonth}, unsigned{t.wDay});
    return text;
}

std::string isoTime(const SystemTime& t)
{
    char text[kIsoTextSize];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", unsigned{t.wHour}, unsigned{t.wMinute}, unsigned{t.wSecond});
    return text;
}

// Whole seconds, fractions dropped toward zero; not-a-number counts as none, and the range is kept to what a
// 64-bit count prints exactly.
long long wholeSeconds(double seconds)
{
    constexpr double kLargest = 9.0e15;
    if (!(seconds == seconds))
        return 0;
    if (seconds > kLargest)
        return static_cast<long long>(kLargest);
    if (seconds < -kLargest)
        return -static_cast<long long>(kLargest);
    return static_cast<long long>(std::trunc(seconds));
}

std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld", wholeSeconds(seconds));
    return text;
}

std::string costText(double cost, const CsvCostStyle& style)
{
    char text[kCostTextSize];
    formatCost(cost, style.tariffCommon, text, sizeof text);
    return text;
}

std::string costHeading(const char* name, const CsvCostStyle& style)
{
    return csvField(std::string(name) + " (" + style.symbolUtf8 + ")");
}

std::string periodText(int32_t period)
{
    const SystemTime first = periodFirstDay(period, 1);
    char text[kIsoTextSize];
    std::snprintf(text, sizeof text, "%04u-%02u", unsigned{first.wYear}, unsigned{first.wMonth});
    return text;
}

} // namespace

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string csvDuration(double seconds)
{
    const long long whole = wholeSeconds(seconds);
    const unsigned long long magnitude = whole < 0 ? 0ull - static_cast<unsigned long long>(whole)
                                                   : static_cast<unsigned long long>(whole);
    char text[40];
    std::snprintf(text, sizeof text, "%s%llu:%02llu:%02llu", whole < 0 ? "-" : "", magnitude / 3600,
                  magnitude / 60 % 60, magnitude % 60);
    return text;
}

std::string connectionsCsv(const std::vector<const ConnectionRecord*>& records, const CsvCostStyle& style)
{
    std::string csv = kUtf8ByteOrderMark;
    csv += "Date,Start,Duration (s),Duration";
    if (style.withCost)
        csv += "," + costHeading("Cost", style);
    csv += kRowEnd;
    for (const ConnectionRecord* record : records) {
        csv += isoDate(record->start) + "," + isoTime(record->start) + "," + secondsText(record->seconds) + "," +
               csvDuration(record->seconds);
        if (style.withCost)
            csv += "," + costText(record->cost, style);
        csv += kRowEnd;
    }
    return csv;
}

std::string historyCsv(const std::vector<HistoryRow>& rows, int startDay, const CsvCostStyle& style)
{
    std::string csv = kUtf8ByteOrderMark;
    csv += "Period,First day,Last day,Connections,Time (s),Time";
    if (style.withCost)
        csv += "," + costHeading("Cost", style);
    csv += ",Forecast time (s),Forecast time";
    if (style.withCost)
        csv += "," + costHeading("Forecast cost", style);
    csv += kRowEnd;
    for (const HistoryRow& row : rows) {
        csv += periodText(row.period) + "," + isoDate(periodFirstDay(row.period, startDay)) + "," +
               isoDate(periodLastDay(row.period, startDay)) + "," + std::to_string(row.connections) + "," +
               secondsText(row.seconds) + "," + csvDuration(row.seconds);
        if (style.withCost)
            csv += "," + costText(row.cost, style);
        // Only the current period has a forecast; the past ones leave its cells empty.
        csv += row.current ? "," + secondsText(row.forecastSeconds) + "," + csvDuration(row.forecastSeconds) : ",,";
        if (style.withCost)
            csv += row.current ? "," + costText(row.forecastCost, style) : ",";
        csv += kRowEnd;
    }
    return csv;
}
