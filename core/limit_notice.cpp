// Decides when a passed limit is told, and what the notice says.
#include "core/limit_notice.h"

#include <cstdio>

#include "core/billing_period.h"
#include "core/clock.h"
#include "core/display.h"
#include "core/forecast.h"
#include "core/settings.h"
#include "core/text.h"

namespace {

// The notices shown so far in this process, one mark per watched figure in the order of WatchedFigure.
struct {
    NoticeMark marks[4]; // ConnectionTime, MonthTime, ConnectionCost, MonthCost
} notices;

bool isTime(WatchedFigure watched)
{
    return watched == WatchedFigure::ConnectionTime || watched == WatchedFigure::MonthTime;
}

bool isMonth(WatchedFigure watched) { return watched == WatchedFigure::MonthTime || watched == WatchedFigure::MonthCost; }

// A duration as the windows draw it, or a cost with its symbol.
int formatAmount(bool time, double value, double tariffCommon, const char* symbol, int symbolLength, char* out,
                 size_t size)
{
    if (time)
        return formatDuration(value, out, size);
    char number[kCostTextSize];
    formatCost(value, tariffCommon, number, sizeof number);
    return clampedLength(std::snprintf(out, size, "%s %.*s", number, symbolLength, symbol), size);
}

void checkFigure(WatchedFigure watched, double figure, int64_t occasion, const SystemTime& now, int startDay)
{
    NoticeMark& mark = notices.marks[static_cast<int>(watched)];
    if (!noticeDue(mark, settings.block, watched, figure, occasion))
        return;
    LimitNotice notice{watched, mark.limit, figure, 0.0, 0};
    if (isMonth(watched)) {
        notice.forecast = forecastToPeriodEnd(figure, now, startDay);
        notice.periodEndDay = periodLastDay(periodOf(now, startDay), startDay).wDay;
    }
    showLimitNotice(notice);
}

} // namespace

bool noticeDue(NoticeMark& mark, const SettingsBlock& block, WatchedFigure watched, double figure, int64_t occasion)
{
    if (!aboveLimit(block, watched, figure))
        return false;
    const double limit = limitOf(block, watched);
    if (mark.told && mark.occasion == occasion && mark.limit == limit)
        return false;
    mark = NoticeMark{true, occasion, limit};
    return true;
}

int formatLimitNotice(const LimitNotice& notice, double tariffCommon, const char* symbol, int symbolLength, char* out,
                      size_t size)
{
    const bool time = isTime(notice.watched);
    char limit[kCostTextSize];
    char figure[kCostTextSize];
    formatAmount(time, notice.limit, tariffCommon, symbol, symbolLength, limit, sizeof limit);
    formatAmount(time, notice.figure, tariffCommon, symbol, symbolLength, figure, sizeof figure);
    const char* whose = isMonth(notice.watched) ? "This month's" : "This connection's";
    const int written =
        std::snprintf(out, size, "%s %s has passed %s: %s so far", whose, time ? "time" : "cost", limit, figure);
    int length = clampedLength(written, size);
    if (!isMonth(notice.watched) || static_cast<size_t>(length) >= size)
        return length;
    char forecast[kCostTextSize];
    char day[8];
    formatAmount(time, notice.forecast, tariffCommon, symbol, symbolLength, forecast, sizeof forecast);
    formatDayOrdinal(notice.periodEndDay, day, sizeof day);
    length += clampedLength(
        std::snprintf(out + length, size - length, "; at this pace about %s by the %s", forecast, day), size - length);
    return length;
}

void noticePassedLimits()
{
    const LiveConnection& live = accounting.liveConnection;
    const SystemTime now = localSystemTime();
    const int startDay = billingStartDay();
    // The connection's figures are watched while it lasts, as the statistics window paints them; the month's
    // always.
    if (live.connected) {
        checkFigure(WatchedFigure::ConnectionTime, live.curConnSeconds, live.startTime, now, startDay);
        checkFigure(WatchedFigure::ConnectionCost, live.curConnCost, live.startTime, now, startDay);
    }
    const int64_t period = periodOf(now, startDay);
    checkFigure(WatchedFigure::MonthTime, currentMonthSecondsShown(), period, now, startDay);
    checkFigure(WatchedFigure::MonthCost, currentMonthCostShown(), period, now, startDay);
}

void forgetLimitNotices() { notices = {}; }
