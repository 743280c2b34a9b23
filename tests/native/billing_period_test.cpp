// The billing period at every day of three years and every start day: the rule, the forecast, the roll-over, the
// month filters and Clear's keep rule; a start day moved while a period runs; then the limit notices.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/billing_period.h"
#include "core/forecast.h"
#include "core/limit_notice.h"
#include "core/log_format.h"
#include "core/month.h"
#include "core/monitor.h"
#include "core/stored_log.h"
#include "fakes/world.h"

namespace {

SystemTime on(int year, int month, int day, int weekday = 0, int hour = 12, int minute = 0, int second = 0,
              int millisecond = 0)
{
    return SystemTime{static_cast<uint16_t>(year),   static_cast<uint16_t>(month),  static_cast<uint16_t>(weekday),
                      static_cast<uint16_t>(day),    static_cast<uint16_t>(hour),   static_cast<uint16_t>(minute),
                      static_cast<uint16_t>(second), static_cast<uint16_t>(millisecond)};
}

SystemTime at(const SystemTime& d, int hour, int minute, int second, int ms)
{
    return on(d.wYear, d.wMonth, d.wDay, d.wDayOfWeek, hour, minute, second, ms);
}

bool same(const SystemTime& a, const SystemTime& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The explorer's own calendar, from Sunday 1 January 2023 to the end of 2025 (2024 a leap year), with the number
// of periods begun since its first day.
struct Day {
    SystemTime date; // at 12:00
    int period;      // periods begun since the first day
};

std::vector<Day> walk(int startDay)
{
    static const int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    std::vector<Day> days;
    int period = 0, weekday = 0;
    for (int year = 2023; year <= 2025; ++year)
        for (int month = 1; month <= 12; ++month)
            for (int d = 1; d <= kLengths[month - 1] + (month == 2 && year == 2024); ++d, weekday = (weekday + 1) % 7) {
                period += d == startDay && !days.empty();
                days.push_back(Day{on(year, month, d, weekday), period});
            }
    return days;
}

TEST(BillingPeriod, EveryDayOfThreeYearsAtEveryStartDay)
{
    for (int startDay = 1; startDay <= 28; ++startDay) {
        resetWorld();
        settings.period.startDay = startDay;
        settings.extra.autoSumUp = 1;
        const std::vector<Day> days = walk(startDay);
        const int32_t first = periodOf(days[0].date, startDay);
        accounting.monthStamp = days[0].date;
        int faults = 0;
        for (size_t i = 0; i < days.size(); ++i) {
            const SystemTime& d = days[i].date;
            const int32_t period = periodOf(d, startDay);
            const bool begins = i > 0 && days[i - 1].period != days[i].period;
            const bool ends = i + 1 < days.size() && days[i + 1].period != days[i].period;
            // The period and its bounds, 00:00:00.000 of its first day to 23:59:59.999 of its last, weekdays too.
            faults += period - first != days[i].period;
            faults += periodOf(at(d, 0, 0, 0, 0), startDay) != period || periodOf(at(d, 23, 59, 59, 999), startDay) != period;
            faults += begins && !same(periodFirstDay(period, startDay), at(d, 0, 0, 0, 0));
            faults += ends && !same(periodLastDay(period, startDay), at(d, 23, 59, 59, 999));
            // At this pace, what has run for the elapsed seconds reaches the period's whole length.
            const double elapsed = secondsIntoPeriod(d, startDay);
            faults += std::abs(forecastToPeriodEnd(elapsed, d, startDay) - 86400.0 * periodDays(period, startDay)) > 1e-6;
            // The automatic roll-over moves the current month exactly where a period begins.
            fake.localTime = d;
            accounting.counterBlock = CounterBlock{0, i + 1.0, 0, 0, 0, 0};
            checkMonthChange();
            faults += (accounting.counterBlock.lastMonthSeconds == i + 1.0) != begins;
            // The filters and Clear's keep rule over records of the eleven periods before, on every eleventh day.
            for (size_t r = i > 330 ? i - 330 : 0; i % 11 == 3 && r <= i; ++r) {
                const int back = days[i].period - days[r].period;
                faults += filterAdmits(CurrentMonth, days[r].date, d) != (back == 0);
                faults += filterAdmits(LastMonth, days[r].date, d) != (back == 1);
                faults += clearKeeps(ClearUntilCurrentMonth, days[r].date, d) != (back == 0);
                faults += clearKeeps(ClearUntilLastMonth, days[r].date, d) != (back <= 1);
            }
        }
        EXPECT_EQ(faults, 0) << "start day " << startDay;
        EXPECT_EQ(forecastToPeriodEnd(7.0, periodFirstDay(first + 3, startDay), startDay), 7.0) << "no pace yet";
    }
}

// The start day moved while a period runs: the stamp counts in the period that holds it under the new day.
TEST(BillingPeriod, TheDayMovedWhileAPeriodRuns)
{
    enum Outcome { Stays, RollsOver, Clears };
    const struct {
        SystemTime stamp;
        int newDay;
        SystemTime now;
        Outcome outcome;
    } cases[] = {
        {on(2024, 3, 1), 15, on(2024, 3, 10), Stays},       {on(2024, 3, 1), 15, on(2024, 3, 15), RollsOver},
        {on(2024, 3, 1), 20, on(2024, 3, 25), RollsOver},   {on(2024, 3, 15), 1, on(2024, 3, 20), Stays},
        {on(2024, 2, 20), 1, on(2024, 3, 5), RollsOver},    {on(2024, 1, 30), 1, on(2024, 3, 1), Clears},
        {on(2023, 12, 20), 15, on(2024, 1, 16), RollsOver}, {on(2023, 12, 10), 15, on(2024, 1, 16), Clears},
    };
    for (const auto& c : cases) {
        resetWorld();
        settings.period.startDay = c.newDay;
        accounting.monthStamp = c.stamp;
        accounting.counterBlock = CounterBlock{0, 100, 50, 0, 0, 0};
        fake.localTime = c.now;
        checkMonthChange();
        const double current = accounting.counterBlock.curMonthSeconds, last = accounting.counterBlock.lastMonthSeconds;
        EXPECT_EQ(current == 100 ? Stays : last == 100 ? RollsOver : Clears, c.outcome)
            << "day " << c.newDay << " on " << c.now.wDay << "." << c.now.wMonth << "." << c.now.wYear;
    }
}

// A connection across 00:00 of the 15th: what ran before is the last period's, the rest the new one's, and its
// record, which keeps its start, counts in the last period.
TEST(BillingPeriod, AConnectionAcrossThePeriodsStart)
{
    resetWorld();
    settings.period.startDay = 15;
    settings.block.tariffCommon = settings.block.tariffEconomic = settings.block.tariffWeekend = 1.0;
    accounting.monthStamp = on(2024, 4, 15);
    fake.localTime = on(2024, 5, 14, 0, 23, 50);
    fake.connectionCount = 1;
    fake.connectionState = kRasConnected;
    fake.calendarTime = 1000000;
    pollConnection(Tick::Poll); // up at 23:50 of the 14th
    fake.calendarTime += 600;
    pollConnection(Tick::Poll);
    fake.localTime = on(2024, 5, 15, 0, 0);
    checkMonthChange(); // 00:00 of the 15th
    fake.calendarTime += 300;
    pollConnection(Tick::Poll);
    fake.connectionCount = 0;
    pollConnection(Tick::Poll); // down at 00:05
    EXPECT_EQ(accounting.counterBlock.lastMonthSeconds, 600);
    EXPECT_EQ(accounting.counterBlock.curMonthSeconds, 300);
    const std::vector<ConnectionRecord> log = loadStoredLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(filterAdmits(LastMonth, log[0].start, fake.localTime));
}

// Each figure's notice over a run of checks: told when first past its limit, not again on the same occasion under
// the same limit, again on a new occasion (connection or period) or under a changed limit, never switched off.
TEST(LimitNotices, OncePerOccasionAndAgainAfterTheLimitChanged)
{
    const struct {
        bool switchOn;
        double limit, figure;
        int64_t occasion;
        bool due;
    } steps[] = {{true, 25, 24, 1, false}, {true, 25, 25.13, 1, true}, {true, 25, 27, 1, false},
                 {true, 30, 31, 1, true},  {true, 40, 31, 1, false},   {true, 40, 41, 1, true},
                 {true, 40, 41, 2, true},  {false, 40, 50, 3, false},  {true, 40, 50, 3, true}};
    for (WatchedFigure watched : {WatchedFigure::ConnectionCost, WatchedFigure::MonthCost}) {
        NoticeMark mark{};
        int step = 0;
        for (const auto& s : steps) {
            SettingsBlock block{};
            block.warningsEnabled = block.costWarning = 1;
            block.costWarnPerConn = block.costWarnPerMonth = s.switchOn ? 1 : 0;
            block.costLimitPerConn = block.costLimitPerMonth = s.limit;
            EXPECT_EQ(noticeDue(mark, block, watched, s.figure, s.occasion), s.due) << "step " << step++;
        }
    }
}

// Through the heart's check: the four texts, each told once, the month's with the forecast to the 14th.
TEST(LimitNotices, TheCheckTellsEachFigureOnceWithItsText)
{
    resetWorld();
    SettingsBlock& b = settings.block;
    b.warningsEnabled = b.timeWarning = b.costWarning = 1;
    b.timeWarnPerConn = b.timeWarnPerMonth = b.costWarnPerConn = b.costWarnPerMonth = 1;
    b.timeLimitPerConn = Hms{0, 30, 0};
    b.timeLimitPerMonth = Hms{10, 0, 0};
    b.costLimitPerConn = 2;
    b.costLimitPerMonth = 25;
    settings.period.startDay = 15;
    fake.localTime = on(2024, 5, 30, 0, 0); // 15 of the period's 31 days have passed
    accounting.counterBlock.curMonthSeconds = 39000;
    accounting.counterBlock.curMonthCost = 24.0;
    accounting.liveConnection = LiveConnection{true, 1000, 1801, 2.5, 0, 0, {}, kRasConnected};
    noticePassedLimits();
    noticePassedLimits();
    EXPECT_EQ(fake.notices, (std::vector<std::string>{
        "This connection's time has passed 000:30:00: 000:30:01 so far",
        "This connection's cost has passed 2.00 $: 2.50 $ so far",
        "This month's time has passed 010:00:00: 011:20:01 so far; at this pace about 023:25:22 by the 14th",
        "This month's cost has passed 25.00 $: 26.50 $ so far; at this pace about 54.77 $ by the 14th"}));
}

} // namespace
