// The billing period at every day of two years and every start day: the rule, the forecast, the roll-over, the
// month filters and Clear's keep rule; then the limit notices.
#include <gtest/gtest.h>

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

// One day of the calendar the explorer walks, counted on its own from a known Sunday: 1 January 2023.
struct Day {
    SystemTime date; // at 12:00
    int period;      // periods begun since the walk's first day (the first day's period is 0)
};

std::vector<Day> walkDays(int startDay)
{
    static const int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    std::vector<Day> days;
    int period = 0, weekday = 0;
    for (int year = 2023; year <= 2025; ++year)
        for (int month = 1; month <= 12; ++month) {
            const int length = kLengths[month - 1] + (month == 2 && year == 2024 ? 1 : 0);
            for (int day = 1; day <= length; ++day, weekday = (weekday + 1) % 7) {
                if (day == startDay && !days.empty())
                    ++period;
                const SystemTime date{static_cast<uint16_t>(year), static_cast<uint16_t>(month),
                                      static_cast<uint16_t>(weekday), static_cast<uint16_t>(day), 12, 0, 0, 0};
                days.push_back(Day{date, period});
            }
        }
    return days;
}

SystemTime at(SystemTime date, int hour, int minute, int second, int millisecond)
{
    date.wHour = static_cast<uint16_t>(hour);
    date.wMinute = static_cast<uint16_t>(minute);
    date.wSecond = static_cast<uint16_t>(second);
    date.wMilliseconds = static_cast<uint16_t>(millisecond);
    return date;
}

bool same(const SystemTime& a, const SystemTime& b)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek && a.wDay == b.wDay &&
           a.wHour == b.wHour && a.wMinute == b.wMinute && a.wSecond == b.wSecond &&
           a.wMilliseconds == b.wMilliseconds;
}

TEST(BillingPeriod, EveryDayOfThreeYearsAtEveryStartDay)
{
    for (int startDay = 1; startDay <= 28; ++startDay) {
        SCOPED_TRACE(testing::Message() << "start day " << startDay);
        const std::vector<Day> days = walkDays(startDay);
        const int32_t first = periodOf(days.front().date, startDay);
        int faults = 0;
        for (size_t i = 0; i < days.size(); ++i) {
            const Day& d = days[i];
            const int32_t period = periodOf(d.date, startDay);
            // The period's bounds are the walk's own first and last day of it, at 00:00 and at 23:59:59.999.
            const bool firstOfPeriod = i == 0 || days[i - 1].period != d.period;
            const bool lastOfPeriod = i + 1 == days.size() || days[i + 1].period != d.period;
            faults += period - first != d.period;
            faults += periodOf(at(d.date, 0, 0, 0, 0), startDay) != period;
            faults += periodOf(at(d.date, 23, 59, 59, 999), startDay) != period;
            faults += i > 0 && firstOfPeriod && !same(periodFirstDay(period, startDay), at(d.date, 0, 0, 0, 0));
            faults += lastOfPeriod && i + 1 < days.size() &&
                      !same(periodLastDay(period, startDay), at(d.date, 23, 59, 59, 999));
            // A period is named by the calendar month in which it starts; a day before the start day is in the
            // period of the month before.
            const int named = d.date.wDay >= startDay ? d.date.wMonth : (d.date.wMonth + 10) % 12 + 1;
            faults += periodFirstDay(period, startDay).wMonth != named;
            // The forecast at the end of a period is the figure itself; half-way, twice the figure.
            const double elapsed = secondsIntoPeriod(d.date, startDay);
            const double whole = 86400.0 * periodDays(period, startDay);
            faults += std::abs(forecastToPeriodEnd(elapsed, d.date, startDay) - whole) > 1e-6;
            // At the calendar month the month rules see the date itself.
            faults += startDay == 1 && !same(countedMonth(d.date, startDay), d.date);
        }
        EXPECT_EQ(faults, 0);
        EXPECT_EQ(forecastToPeriodEnd(7.0, periodFirstDay(first + 3, startDay), startDay), 7.0)
            << "no pace in the first second";
    }
}

TEST(BillingPeriod, LengthsAndDaysOutsideTheRange)
{
    // February 2024 (leap) and 2023, and periods that start on the 29th of a short month cannot exist: 28 is last.
    EXPECT_EQ(periodDays(12 * 2024 + 1, 1), 29);
    EXPECT_EQ(periodDays(12 * 2023 + 1, 1), 28);
    EXPECT_EQ(periodDays(12 * 2024 + 0, 15), 29 + 2); // 15 January to 14 February
    EXPECT_EQ(periodDays(12 * 2024 + 1, 28), 29);     // 28 February to 27 March 2024
    for (int stored : {0, -3, 29, 31, 1000})
        EXPECT_EQ(usableStartDay(stored), 1) << stored;
    char text[8];
    const std::vector<std::string> ordinals = {"1st",  "2nd",  "3rd",  "4th",  "11th", "12th",
                                               "13th", "21st", "22nd", "23rd", "28th", "31st"};
    const int numbers[] = {1, 2, 3, 4, 11, 12, 13, 21, 22, 23, 28, 31};
    for (size_t i = 0; i < ordinals.size(); ++i) {
        formatDayOrdinal(numbers[i], text, sizeof text);
        EXPECT_EQ(text, ordinals[i]);
    }
}

// The roll-over, the filters and Clear's keep rule at every day of the walk, for start days at both ends and
// inside the month: each follows the walk's periods, with today at every day and records over the year before.
TEST(BillingPeriod, RollOverFiltersAndClearFollowThePeriodAtEveryDay)
{
    for (int startDay : {2, 15, 28}) {
        SCOPED_TRACE(testing::Message() << "start day " << startDay);
        resetWorld();
        settings.period.startDay = startDay;
        settings.extra.autoSumUp = 1;
        const std::vector<Day> days = walkDays(startDay);
        accounting.monthStamp = days.front().date;
        int rollOverFaults = 0, filterFaults = 0;
        for (size_t i = 1; i < days.size(); ++i) {
            fake.localTime = days[i].date;
            accounting.counterBlock.curMonthSeconds = static_cast<double>(i);
            accounting.counterBlock.lastMonthSeconds = 0;
            checkMonthChange();
            const bool periodBegan = days[i].period != days[i - 1].period;
            rollOverFaults += (accounting.counterBlock.lastMonthSeconds == static_cast<double>(i)) != periodBegan;
            if (i % 5 != 0)
                continue;
            for (size_t r = i > 330 ? i - 330 : 0; r <= i; ++r) {
                const int back = days[i].period - days[r].period;
                const SystemTime& start = days[r].date;
                const SystemTime& today = days[i].date;
                filterFaults += filterAdmits(CurrentMonth, start, today) != (back == 0);
                filterFaults += filterAdmits(LastMonth, start, today) != (back == 1);
                filterFaults += clearKeeps(ClearUntilCurrentMonth, start, today) != (back == 0);
                filterFaults += clearKeeps(ClearUntilLastMonth, start, today) != (back <= 1);
            }
        }
        EXPECT_EQ(rollOverFaults, 0);
        EXPECT_EQ(filterFaults, 0);
    }
}

SystemTime on(int year, int month, int day) { return SystemTime{static_cast<uint16_t>(year), static_cast<uint16_t>(month), 0, static_cast<uint16_t>(day), 9, 0, 0, 0}; }

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
        {on(2024, 3, 1), 15, on(2024, 3, 10), Stays},      // 1 -> 15 on the 10th: the period runs to the 14th
        {on(2024, 3, 1), 15, on(2024, 3, 15), RollsOver},  // and rolls over on the new day
        {on(2024, 3, 1), 20, on(2024, 3, 25), RollsOver},  // 1 -> 20 on the 25th: the new period began on the 20th
        {on(2024, 3, 15), 1, on(2024, 3, 20), Stays},      // 15 -> 1 on the 20th: March runs on
        {on(2024, 2, 20), 1, on(2024, 3, 5), RollsOver},   // 15 -> 1 on 5 March: the stamp's February is over
        {on(2024, 1, 30), 1, on(2024, 3, 1), Clears},      // 28 -> 1: January's stamp is two months old
        {on(2023, 12, 20), 15, on(2024, 1, 16), RollsOver}, // across the year's end
        {on(2023, 12, 10), 15, on(2024, 1, 16), Clears},   // 10 December lies in November's period
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "to day " << c.newDay << " on " << c.now.wDay << "." << c.now.wMonth);
        resetWorld();
        settings.period.startDay = c.newDay;
        accounting.monthStamp = c.stamp;
        accounting.counterBlock.curMonthSeconds = 100;
        accounting.counterBlock.lastMonthSeconds = 50;
        fake.localTime = c.now;
        checkMonthChange();
        const Outcome seen = accounting.counterBlock.curMonthSeconds == 100 ? Stays
                             : accounting.counterBlock.lastMonthSeconds == 100 ? RollsOver
                                                                                : Clears;
        EXPECT_EQ(seen, c.outcome);
    }
}

// A connection across the start of a period: what ran before 00:00 of the 15th is the last period's, what follows
// the new one's; the record keeps its start and so counts in the last period.
TEST(BillingPeriod, AConnectionAcrossThePeriodsStart)
{
    resetWorld();
    settings.period.startDay = 15;
    settings.extra.autoSumUp = 1;
    settings.block.tariffCommon = settings.block.tariffEconomic = settings.block.tariffWeekend = 1.0;
    fake.localTime = at(on(2024, 5, 14), 23, 50, 0, 0);
    accounting.monthStamp = on(2024, 4, 15);
    fake.connectionCount = 1;
    fake.connectionState = kRasConnected;
    fake.calendarTime = 1000000;
    pollConnection(Tick::Poll);
    fake.calendarTime += 600;
    pollConnection(Tick::Poll);
    fake.localTime = at(on(2024, 5, 15), 0, 0, 0, 0);
    checkMonthChange();
    EXPECT_EQ(accounting.counterBlock.lastMonthSeconds, 600);
    fake.calendarTime += 300;
    pollConnection(Tick::Poll);
    fake.connectionCount = 0;
    pollConnection(Tick::Poll);
    EXPECT_EQ(accounting.counterBlock.curMonthSeconds, 300);
    EXPECT_EQ(accounting.counterBlock.lastMonthSeconds, 600);
    const std::vector<ConnectionRecord> log = loadStoredLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(filterAdmits(LastMonth, log[0].start, fake.localTime));
}

// Each figure's notice over a run of checks: told when first past, not again on the same occasion under the same
// limit, again on a new occasion (connection or period) or under a changed limit; never with a switch off.
TEST(LimitNotices, OncePerOccasionAndAgainAfterTheLimitChanged)
{
    const struct {
        const char* what;
        bool switchOn;
        double limit, figure;
        int64_t occasion;
        bool due;
    } steps[] = {
        {"below the limit", true, 25, 24, 1, false},       {"first past it", true, 25, 25.13, 1, true},
        {"still past it", true, 25, 26, 1, false},         {"fell back and passed again", true, 25, 27, 1, false},
        {"the limit raised", true, 30, 31, 1, true},       {"the limit raised, not yet past", true, 40, 31, 1, false},
        {"past the raised limit", true, 40, 41, 1, true},  {"a new occasion", true, 40, 41, 2, true},
        {"switched off", false, 40, 50, 3, false},         {"switched on again", true, 40, 50, 3, true},
    };
    for (WatchedFigure watched : {WatchedFigure::ConnectionCost, WatchedFigure::MonthCost}) {
        NoticeMark mark{};
        for (const auto& s : steps) {
            SettingsBlock block{};
            block.warningsEnabled = block.costWarning = 1;
            block.costWarnPerConn = block.costWarnPerMonth = s.switchOn ? 1 : 0;
            block.costLimitPerConn = block.costLimitPerMonth = s.limit;
            EXPECT_EQ(noticeDue(mark, block, watched, s.figure, s.occasion), s.due) << s.what;
        }
    }
}

// Through the heart's tick: the texts of the four notices, each told once, the month's with the forecast.
TEST(LimitNotices, TheTickTellsEachFigureOnceWithItsText)
{
    resetWorld();
    settings.block.warningsEnabled = settings.block.timeWarning = settings.block.costWarning = 1;
    settings.block.timeWarnPerConn = settings.block.timeWarnPerMonth = 1;
    settings.block.costWarnPerConn = settings.block.costWarnPerMonth = 1;
    settings.block.timeLimitPerConn = Hms{0, 30, 0};
    settings.block.timeLimitPerMonth = Hms{10, 0, 0};
    settings.block.costLimitPerConn = 2;
    settings.block.costLimitPerMonth = 25;
    settings.period.startDay = 15;
    fake.localTime = at(on(2024, 5, 30), 0, 0, 0, 0); // 15 of the period's 31 days have passed
    accounting.monthStamp = on(2024, 5, 15);
    accounting.counterBlock.curMonthSeconds = 36000 + 3000;
    accounting.counterBlock.curMonthCost = 24.0;
    accounting.liveConnection.connected = true;
    accounting.liveConnection.startTime = 1000;
    accounting.liveConnection.curConnSeconds = 1801;
    accounting.liveConnection.curConnCost = 2.5;
    noticePassedLimits();
    noticePassedLimits();
    const std::vector<std::string> wanted = {
        "This connection's time has passed 000:30:00: 000:30:01 so far",
        "This connection's cost has passed 2.00 $: 2.50 $ so far",
        "This month's time has passed 010:00:00: 011:20:01 so far; at this pace about 023:25:22 by the 14th",
        "This month's cost has passed 25.00 $: 26.50 $ so far; at this pace about 54.77 $ by the 14th",
    };
    EXPECT_EQ(fake.notices, wanted);
    char small[20];
    EXPECT_EQ(formatLimitNotice(LimitNotice{WatchedFigure::MonthCost, 25, 26, 30, 14}, 60, "$", 1, small, sizeof small),
              static_cast<int>(sizeof small) - 1);
}

} // namespace
