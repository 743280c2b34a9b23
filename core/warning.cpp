// Decides which watched figures warn.
#include "core/warning.h"

namespace {

double limitSeconds(const Hms& limit) { return hmsToSeconds(limit.hours, limit.minutes, limit.seconds); }

} // namespace

bool aboveLimit(const SettingsBlock& block, WatchedFigure watched, double figure)
{
    if (block.warningsEnabled == 0)
        return false;
    const bool timeOn = block.timeWarning != 0;
    const bool costOn = block.costWarning != 0;
    switch (watched) {
    case WatchedFigure::ConnectionTime:
        return timeOn && block.timeWarnPerConn != 0 && figure > limitSeconds(block.timeLimitPerConn);
    case WatchedFigure::MonthTime:
        return timeOn && block.timeWarnPerMonth != 0 && figure > limitSeconds(block.timeLimitPerMonth);
    case WatchedFigure::ConnectionCost:
        return costOn && block.costWarnPerConn != 0 && figure > block.costLimitPerConn;
    case WatchedFigure::MonthCost:
        return costOn && block.costWarnPerMonth != 0 && figure > block.costLimitPerMonth;
    }
    return false;
}

double limitOf(const SettingsBlock& block, WatchedFigure watched)
{
    switch (watched) {
    case WatchedFigure::ConnectionTime: return limitSeconds(block.timeLimitPerConn);
    case WatchedFigure::MonthTime: return limitSeconds(block.timeLimitPerMonth);
    case WatchedFigure::ConnectionCost: return block.costLimitPerConn;
    case WatchedFigure::MonthCost: return block.costLimitPerMonth;
    }
    return 0.0;
}
