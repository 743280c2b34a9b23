// Sum Up, the automatic month check and Reset Counters, alone and across a live connection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/monitor.h"
#include "core/month.h"
#include "core/stored_figures.h"
#include "core/settings.h"
#include "fakes/world.h"
#include "fakes/disk.h"

namespace {

constexpr int32_t kStart = 946728000; // 2000-01-01 12:00:00 UTC

SystemTime monthOf(int year, int month)
{
    return SystemTime{static_cast<uint16_t>(year), static_cast<uint16_t>(month), 1, 15, 10, 30, 0, 0};
}

bool sameTime(const SystemTime& a, const SystemTime& b)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && a.wSecond == b.wSecond;
}

// Each of the six totals against its expected value, named in the message.
void expectTotals(const CounterBlock& expected)
{
    const struct {
        const char* name;
        double CounterBlock::*field;
    } totals[] = {
        {"lastConnSeconds", &CounterBlock::lastConnSeconds}, {"curMonthSeconds", &CounterBlock::curMonthSeconds},
        {"lastMonthSeconds", &CounterBlock::lastMonthSeconds}, {"lastConnCost", &CounterBlock::lastConnCost},
        {"curMonthCost", &CounterBlock::curMonthCost},       {"lastMonthCost", &CounterBlock::lastMonthCost},
    };
    for (const auto& total : totals)
        EXPECT_EQ(accounting.counterBlock.*total.field, expected.*total.field) << total.name;
}

void setTotals(double curMonthSeconds, double curMonthCost)
{
    accounting.counterBlock.curMonthSeconds = curMonthSeconds;
    accounting.counterBlock.curMonthCost = curMonthCost;
}

void runTo(double seconds)
{
    fake.calendarTime = kStart + static_cast<int32_t>(seconds);
    pollConnection(Tick::Poll);
    ASSERT_EQ(accounting.liveConnection.curConnSeconds, seconds);
}

// Brings a connection up at kStart and runs it to `seconds` with a constant tariff of 1 per minute.
void connectFor(double seconds)
{
    settings.block.tariffCommon = settings.block.tariffEconomic = settings.block.tariffWeekend = 1.0;
    fake.connectionCount = 1;
    fake.connectionState = kRasConnected;
    fake.calendarTime = kStart;
    pollConnection(Tick::Poll);
    runTo(seconds);
}

void disconnect()
{
    fake.connectionCount = 0;
    pollConnection(Tick::Poll);
    ASSERT_FALSE(accounting.liveConnection.connected);
}

TEST(SumUp, WithoutConnectionMovesTheCurrentMonth)
{
    resetWorld();
    setTotals(1000, 2.5);
    accounting.counterBlock.lastConnSeconds = 77;
    accounting.counterBlock.lastConnCost = 0.7;
    fake.localTime = monthOf(2000, 4);

    sumUp();

    expectTotals(CounterBlock{77, 0, 1000, 0.7, 0, 2.5});
    EXPECT_EQ(accounting.liveConnection.carriedSeconds, 0);
    EXPECT_TRUE(sameTime(accounting.monthStamp, fake.localTime));
    EXPECT_TRUE(sameTime(storedStamp(), fake.localTime));
    EXPECT_EQ(storedCounters().lastMonthSeconds, 1000);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"writeMonthStamp", "writeCounterBlock", "invalidateStatistics"}));

    sumUp();
    EXPECT_EQ(accounting.counterBlock.lastMonthSeconds, 0);
    EXPECT_EQ(accounting.counterBlock.lastMonthCost, 0);
}

// A Sum Up during a connection, at a tariff of 1 per minute: what it moves, what the current month shows as the
// connection runs on, and what the connection's end adds.
TEST(SumUp, DuringAConnectionCarriesTheLivePartUntilItsEnd)
{
    struct CarryCase {
        double monthSeconds, monthCost;           // the current month before
        double sumUpAt;                           // the live seconds at the Sum Up
        double lastMonthSeconds, lastMonthCost;   // what the Sum Up leaves in the last month
        double laterAt, shownLater;               // the current month shown at a later second
        double endAt, monthSecondsEnd, monthCostEnd; // the end, and the current month it leaves
    };
    const CarryCase cases[] = {
        {1000, 10, 600, 1600, 20, 700, 100, 900, 300, 5},
        {0, 0, 40, 40, 40.0 / 60, 70, 30, 100, 60, 1},
    };
    for (const CarryCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "Sum Up at " << c.sumUpAt << " s");
        resetWorld();
        setTotals(c.monthSeconds, c.monthCost);
        connectFor(c.sumUpAt);

        sumUp();
        EXPECT_EQ(accounting.counterBlock.lastMonthSeconds, c.lastMonthSeconds);
        EXPECT_DOUBLE_EQ(accounting.counterBlock.lastMonthCost, c.lastMonthCost);
        EXPECT_EQ(accounting.liveConnection.carriedSeconds, c.sumUpAt);
        EXPECT_DOUBLE_EQ(accounting.liveConnection.carriedCost, c.sumUpAt / 60);
        EXPECT_EQ(accounting.counterBlock.curMonthSeconds, 0);
        EXPECT_EQ(currentMonthSecondsShown(), 0);

        runTo(c.laterAt);
        EXPECT_EQ(currentMonthSecondsShown(), c.shownLater);

        runTo(c.endAt);
        disconnect();
        EXPECT_EQ(accounting.counterBlock.curMonthSeconds, c.monthSecondsEnd);
        EXPECT_DOUBLE_EQ(accounting.counterBlock.curMonthCost, c.monthCostEnd);
        EXPECT_EQ(accounting.counterBlock.lastConnSeconds, c.endAt);
        EXPECT_DOUBLE_EQ(accounting.counterBlock.lastConnCost, c.endAt / 60);
        EXPECT_EQ(accounting.counterBlock.lastMonthSeconds, c.lastMonthSeconds);
        EXPECT_EQ(storedRecords().back().seconds, c.endAt);
        EXPECT_EQ(accounting.recordCount, storedCount());
        EXPECT_EQ(accounting.liveConnection.carriedSeconds, 0);
        EXPECT_EQ(accounting.liveConnection.carriedCost, 0);
    }
}

TEST(SumUp, SecondSumUpInOneConnectionMovesOnlyWhatFollowedTheFirst)
{
    resetWorld();
    setTotals(1000, 10);
    connectFor(600);
    sumUp();
    runTo(800);

    sumUp();
    EXPECT_EQ(accounting.counterBlock.lastMonthSeconds, 200);
    EXPECT_NEAR(accounting.counterBlock.lastMonthCost, 800.0 / 60 - 10, 1e-9);
    EXPECT_EQ(accounting.liveConnection.carriedSeconds, 800);
    EXPECT_EQ(currentMonthSecondsShown(), 0);

    runTo(900);
    disconnect();
    EXPECT_EQ(accounting.counterBlock.curMonthSeconds, 100);
    EXPECT_EQ(accounting.counterBlock.lastConnSeconds, 900);
    EXPECT_EQ(storedRecords().back().seconds, 900);
}

enum class Outcome { Nothing, RollOver, Clear };

struct MonthCase {
    int stampYear, stampMonth, nowYear, nowMonth;
    Outcome expected;
};

TEST(MonthCheck, ComparesMonthsAndOnlyAcrossDecemberTheYears)
{
    const MonthCase cases[] = {
        {2000, 3, 2000, 3, Outcome::Nothing},   {2000, 3, 2000, 4, Outcome::RollOver},
        {1999, 12, 2000, 1, Outcome::RollOver}, {2000, 3, 2000, 5, Outcome::Clear},
        {2000, 4, 2000, 3, Outcome::Clear},     {2000, 12, 2000, 1, Outcome::Clear},
        {1998, 12, 2000, 1, Outcome::Clear},    {2000, 3, 2001, 3, Outcome::Nothing},
        {2000, 3, 2001, 4, Outcome::RollOver},
    };
    for (const MonthCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stampYear << "-" << c.stampMonth << " -> " << c.nowYear << "-"
                                        << c.nowMonth);
        resetWorld();
        accounting.counterBlock = CounterBlock{11, 1000, 500, 0.11, 2.5, 1.25};
        accounting.monthStamp = monthOf(c.stampYear, c.stampMonth);
        fake.localTime = monthOf(c.nowYear, c.nowMonth);
        fake.localTime.wDay = 1;

        checkMonthChange();

        // The last connection's figures stay whatever happens to the months.
        switch (c.expected) {
        case Outcome::Nothing:
            EXPECT_TRUE(fake.calls.empty());
            expectTotals(CounterBlock{11, 1000, 500, 0.11, 2.5, 1.25});
            EXPECT_EQ(accounting.monthStamp.wYear, c.stampYear);
            break;
        case Outcome::RollOver:
            expectTotals(CounterBlock{11, 0, 1000, 0.11, 0, 2.5});
            break;
        case Outcome::Clear:
            expectTotals(CounterBlock{11, 0, 0, 0.11, 0, 0});
            break;
        }
        if (c.expected != Outcome::Nothing) {
            EXPECT_TRUE(sameTime(accounting.monthStamp, fake.localTime));
            EXPECT_EQ(fake.calls,
                      (std::vector<std::string>{"writeMonthStamp", "writeCounterBlock", "invalidateStatistics"}));
            EXPECT_EQ(storedCounters().curMonthSeconds, 0);
        }
    }
}

TEST(MonthCheck, ClearingKeepsTheLiveConnectionAndItsCarriedPart)
{
    resetWorld();
    connectFor(300);
    sumUp();
    runTo(400);
    accounting.monthStamp = monthOf(2000, 1);
    fake.localTime = monthOf(2000, 6);

    checkMonthChange();

    EXPECT_TRUE(accounting.liveConnection.connected);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 400);
    EXPECT_EQ(accounting.liveConnection.carriedSeconds, 300);
    EXPECT_EQ(accounting.counterBlock.lastMonthSeconds, 0);
    EXPECT_EQ(currentMonthSecondsShown(), 100);
}

TEST(MonthCheck, RunsOnceAMonth)
{
    resetWorld();
    setTotals(1000, 2.5);
    accounting.monthStamp = monthOf(2000, 3);
    fake.localTime = monthOf(2000, 4);
    checkMonthChange();
    checkMonthChange();
    EXPECT_EQ(countCalls("writeMonthStamp"), 1);
    EXPECT_EQ(accounting.counterBlock.lastMonthSeconds, 1000);
}

TEST(ResetCounters, ZeroesTheTotalsOnly)
{
    resetWorld();
    accounting.counterBlock = CounterBlock{11, 1000, 500, 0.11, 2.5, 1.25};
    accounting.monthStamp = monthOf(2000, 3);
    accounting.recordCount = 4;
    storeCount(4);
    storeRecords(std::vector<ConnectionRecord>(4));
    storeCounters(accounting.counterBlock);

    resetCounters();

    expectTotals(CounterBlock{});
    EXPECT_EQ(storedCounters().curMonthSeconds, 0);
    EXPECT_EQ(storedCounters().lastConnCost, 0);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"writeCounterBlock", "paintNotConnected"}));
    EXPECT_EQ(accounting.monthStamp.wMonth, 3);
    EXPECT_EQ(accounting.recordCount, 4);
    EXPECT_EQ(storedCount(), 4);
    EXPECT_EQ(storedRecords().size(), 4u);
}

} // namespace
