// Month filters and the fixed-format texts of the detailed list and the export.
#include "core/log_format.h"

#include <cstdio>

#include "core/billing_period.h"
#include "core/month.h"
#include "core/clock.h"
#include "core/settings.h"
#include "core/text.h"

namespace {

// Largest texts of the parts of a row: sixteen-bit fields print at most five digits each.
constexpr size_t kDateTimeTextSize = 3 * 5 + 2 + 1;

static_assert(kListTextSize >= kCostTextSize && kListTextSize >= kDurationTextSize &&
                  kListTextSize >= kDateTimeTextSize,
              "a list text holds the largest cost, duration and date");
static_assert(kExportLineSize >= 2 * kDateTimeTextSize + kDurationTextSize + kCostTextSize + 3 * 3 + 2,
              "an export line holds its largest parts with their separators");

unsigned field(uint16_t value) { return value; }

// The month a date counts in under the billing period in force.
SystemTime counted(const SystemTime& when) { return countedMonth(when, billingStartDay()); }

} // namespace

bool inCurrentMonth(const SystemTime& start, const SystemTime& today)
{
    return counted(start).wMonth == counted(today).wMonth;
}

bool inLastMonth(const SystemTime& start, const SystemTime& today) { return isNextMonth(counted(start), counted(today)); }

bool filterAdmits(ViewFilter filter, const SystemTime& start, const SystemTime& today)
{
    switch (filter) {
    case All:
        return true;
    case CurrentMonth:
        return inCurrentMonth(start, today);
    case LastMonth:
        return inLastMonth(start, today);
    }
    return false;
}

MonthOfYear lastMonthOf(const SystemTime& today)
{
    const SystemTime month = counted(today);
    if (month.wMonth == 1)
        return MonthOfYear{12u, field(month.wYear) - 1u};
    return MonthOfYear{field(month.wMonth) - 1u, field(month.wYear)};
}

// The month a month filter names: the last month before today, or else the month of `current`.
static MonthOfYear shownMonth(ViewFilter filter, const SystemTime& current, const SystemTime& today)
{
    if (filter == LastMonth)
        return lastMonthOf(today);
    const SystemTime month = counted(current);
    return MonthOfYear{field(month.wMonth), field(month.wYear)};
}

int formatDetailsTitle(ViewFilter filter, const SystemTime& today, char* out, size_t size)
{
    if (filter != CurrentMonth && filter != LastMonth)
        return clampedLength(std::snprintf(out, size, "Detailed statistics (All)"), size);
    const MonthOfYear shown = shownMonth(filter, today, today);
    return clampedLength(std::snprintf(out, size, "Detailed statistics (%02u.%4u)", shown.month, shown.year), size);
}

int formatSuggestedName(ViewFilter filter, const SystemTime& firstExported, const SystemTime& today, char* out,
                        size_t size)
{
    if (filter != CurrentMonth && filter != LastMonth)
        return clampedLength(std::snprintf(out, size, "all%04u", field(firstExported.wYear)), size);
    const MonthOfYear shown = shownMonth(filter, firstExported, today);
    return clampedLength(std::snprintf(out, size, "%02u%04u", shown.month, shown.year), size);
}

int formatListDate(const SystemTime& start, char* out, size_t size)
{
    const int written =
        std::snprintf(out, size, "%02u.%02u.%4u", field(start.wDay), field(start.wMonth), field(start.wYear));
    return clampedLength(written, size);
}

int formatListTime(const SystemTime& start, char* out, size_t size)
{
    const int written =
        std::snprintf(out, size, "%02u:%02u:%02u", field(start.wHour), field(start.wMinute), field(start.wSecond));
    return clampedLength(written, size);
}

int formatListCost(double cost, double tariffCommon, const char* symbol, int symbolLength, char* out, size_t size)
{
    char number[kCostTextSize];
    formatCost(cost, tariffCommon, number, sizeof number);
    const int written = std::snprintf(out, size, "%s %.*s", number, symbolLength, symbol);
    return clampedLength(written, size);
}

const char kExportRule[] = "_________________________________________________\n";
static_assert(sizeof kExportRule == 49 + 1 + 1, "49 underscores and a line feed");

int formatExportLine(const ConnectionRecord& record, bool withCost, double tariffCommon, const char* symbol,
                     int symbolLength, char* out, size_t size)
{
    const SystemTime& start = record.start;
    const Hms hms = secondsToHms(record.seconds);
    const int written = std::snprintf(
        out, size, "%02u.%02u.%04u | %02u:%02u:%02u | %03u:%02u:%02u ", field(start.wDay), field(start.wMonth),
        field(start.wYear), field(start.wHour), field(start.wMinute), field(start.wSecond),
        static_cast<unsigned>(hms.hours), static_cast<unsigned>(hms.minutes), static_cast<unsigned>(hms.seconds));
    int length = clampedLength(written, size);
    if (withCost && static_cast<size_t>(length) < size) {
        char number[kCostTextSize];
        formatCost(record.cost, tariffCommon, number, sizeof number);
        length += clampedLength(std::snprintf(out + length, size - length, "| %s%.*s ", number, symbolLength, symbol),
                                size - length);
    }
    if (static_cast<size_t>(length) < size)
        length += clampedLength(std::snprintf(out + length, size - length, "\n"), size - length);
    return length;
}
