// The word when a limit is passed: each watched figure is told once when it first passes its limit, once per
// connection for a connection's figures and once per billing period for the month's, again after its limit changed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/state.h"
#include "core/warning.h"

// What a notice says: which limit, the limit, the figure and, for the month's figures, the forecast.
struct LimitNotice {
    WatchedFigure watched; // the figure that passed its limit
    double limit;          // the limit, in seconds or in the currency
    double figure;         // the figure when it was found past the limit
    double forecast;       // the figure at this pace by the period's end (month figures only)
    int periodEndDay;      // day of the month on which the billing period ends (month figures only)
};

// When one figure was last told of: on which occasion (the connection's start, or the billing period) and
// under which limit. A figure past its limit is told again only on another occasion or under another limit.
struct NoticeMark {
    bool told;        // a notice was shown for this figure
    int64_t occasion; // the connection's start time or the period number it was shown for
    double limit;     // the limit it was shown under
};

// Whether the figure's notice is due now; marks it told when it is. A figure the warning colour would not paint
// (switches off, not past its limit) is never due and leaves its mark alone.
bool noticeDue(NoticeMark& mark, const SettingsBlock& block, WatchedFigure watched, double figure, int64_t occasion);

// Room for a notice's text, as the tray balloon can show it.
constexpr size_t kLimitNoticeSize = 256;
// "This month's cost has passed 25.00 $: 25.13 $ so far; at this pace about 31.40 $ by the 14th", and the like
// for each figure; the connection's figures have no forecast.
int formatLimitNotice(const LimitNotice& notice, double tariffCommon, const char* symbol, int symbolLength, char* out,
                      size_t size);

// The once-a-second check of the process records: shows every notice that is due through the display.
void noticePassedLimits();
// A new process's marks: nothing told yet.
void forgetLimitNotices();
