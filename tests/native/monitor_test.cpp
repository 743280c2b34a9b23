// The connection monitor: noticing connections, the once-per-second advance, pricing and closing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/monitor.h"
#include "core/settings.h"
#include "fakes/world.h"
#include "fakes/disk.h"

namespace {

constexpr int32_t kStart = 947102370; // Wednesday 2000-01-05 19:59:30 UTC
constexpr uint32_t kAuthenticating = 0x0009;

class Monitor : public testing::Test {
protected:
    void SetUp() override
    {
        resetWorld();
        settings.block.tariffCommon = settings.block.tariffEconomic = settings.block.tariffWeekend = 0.6;
        fake.calendarTime = kStart;
    }

    static void linkUp()
    {
        fake.connectionCount = 1;
        fake.connectionState = kRasConnected;
    }

    static void pollAt(int32_t secondsAfterStart, Tick timer = Tick::Poll)
    {
        fake.calendarTime = kStart + secondsAfterStart;
        pollConnection(timer);
    }

    // Display calls that show the live figures once a second.
    static int updates() { return countCalls("paintConnected"); }
};

TEST_F(Monitor, FirstSightingPaintsAndReservesTheLogSlot)
{
    accounting.recordCount = 3;
    fake.localTime.wHour = 19;
    linkUp();
    pollAt(0);

    EXPECT_TRUE(accounting.liveConnection.connected);
    EXPECT_EQ(accounting.liveConnection.startTime, kStart);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 0);
    EXPECT_EQ(accounting.recordCount, 4);
    EXPECT_EQ(accounting.liveConnection.pendingRecord.start.wHour, 19);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"paintConnected(full)"}));
    EXPECT_EQ(fake.fileOperations, 0);
}

TEST_F(Monitor, WithoutExtraSecondsTheFirstUpdateComesOneSecondLater)
{
    linkUp();
    pollAt(0);
    pollAt(0);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 0);
    EXPECT_EQ(updates(), 0);

    pollAt(1);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 1);
    EXPECT_EQ(updates(), 1);
    pollAt(2);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 2);
}

TEST_F(Monitor, ExtraSecondsShowOnTheFirstPoll)
{
    settings.extra.addSeconds = 5;
    linkUp();
    pollAt(0);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 5);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"paintConnected(full)", "paintConnected"}));
    pollAt(0);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 5);
    pollAt(1);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 6);
}

TEST_F(Monitor, TwoPollsInOneClockSecondAdvanceOnce)
{
    linkUp();
    pollAt(0);
    for (int second = 1; second <= 3; ++second) {
        pollAt(second, Tick::Poll);
        pollAt(second, Tick::PollAndMonthCheck);
        pollAt(second, Tick::Poll);
    }
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 3);
    EXPECT_EQ(updates(), 3);
}

TEST_F(Monitor, IntermediateStateFreezesThenCatchesUp)
{
    linkUp();
    pollAt(0);
    pollAt(5);
    ASSERT_EQ(accounting.liveConnection.curConnSeconds, 5);

    fake.connectionState = kAuthenticating;
    const int before = updates();
    for (int second = 6; second <= 15; ++second)
        pollAt(second);
    EXPECT_TRUE(accounting.liveConnection.connected);
    EXPECT_EQ(accounting.liveConnection.lastRasState, kAuthenticating);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 5);
    EXPECT_EQ(updates(), before);

    fake.connectionState = kRasConnected;
    pollAt(15);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 15);
}

TEST_F(Monitor, IdleLinkInAnIntermediateStateIsNotAConnection)
{
    fake.connectionCount = 1;
    fake.connectionState = kAuthenticating;
    pollAt(0);
    EXPECT_FALSE(accounting.liveConnection.connected);
    EXPECT_EQ(accounting.liveConnection.lastRasState, kAuthenticating);

    // No connection enumerated: no query, the last answer stays.
    fake.connectionCount = 0;
    fake.connectionState = kRasConnected;
    pollAt(1);
    EXPECT_EQ(accounting.liveConnection.lastRasState, kAuthenticating);
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_EQ(accounting.recordCount, 0);
}

TEST_F(Monitor, NoConnectionOrDisconnectedStateEndsTheConnection)
{
    struct Ending {
        int32_t count;
        uint32_t state;
    };
    for (const Ending ending : {Ending{0, kRasConnected}, Ending{1, kRasDisconnected}}) {
        SCOPED_TRACE(ending.count);
        SetUp();
        linkUp();
        pollAt(0);
        pollAt(7);
        fake.connectionCount = ending.count;
        fake.connectionState = ending.state;
        pollAt(7);

        EXPECT_FALSE(accounting.liveConnection.connected);
        EXPECT_EQ(accounting.counterBlock.lastConnSeconds, 7);
        EXPECT_EQ(accounting.liveConnection.curConnSeconds, 0);
        EXPECT_EQ(accounting.liveConnection.curConnCost, 0);
        EXPECT_EQ(storedCount(), 1);
        ASSERT_EQ(storedRecords().size(), 1u);
        EXPECT_EQ(storedRecords()[0].seconds, 7);

        // Further polls without a connection change nothing.
        const size_t calls = fake.calls.size();
        pollAt(8);
        EXPECT_EQ(fake.calls.size(), calls);
    }
}

TEST_F(Monitor, ClockSetBackFreezesTheDuration)
{
    linkUp();
    pollAt(0);
    pollAt(10);
    pollAt(3);
    pollAt(9);
    pollAt(10);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 10);
    pollAt(11);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 11);
    pollAt(100);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 100);
}

TEST_F(Monitor, ConnectionAcrossJanuary2038KeepsCounting)
{
    // 2^31 seconds after 1970, Tuesday 2038-01-19 03:14:08 UTC, where a 32-bit clock wraps to 1901.
    constexpr int64_t kWrap = int64_t{1} << 31;
    settings.block.tariffEconomic = 0.3;
    settings.block.commonFrom = Hms{7, 0, 0};
    settings.block.commonTo = Hms{20, 0, 0};
    fake.useMomentOverride = false;
    linkUp();
    fake.calendarTime = kWrap - 30;
    pollConnection(Tick::Poll);
    fake.calendarTime = kWrap + 90;
    pollConnection(Tick::Poll);
    fake.connectionCount = 0;
    pollConnection(Tick::Poll);

    EXPECT_EQ(storedRecords().back().seconds, 120);
    EXPECT_DOUBLE_EQ(storedRecords().back().cost, 0.3 * 120 / 60); // Tuesday 03:16, economic
}

TEST_F(Monitor, WholeDurationIsRepricedWhenTheEconomicTariffBegins)
{
    settings.block.tariffCommon = 1.2;
    settings.block.tariffEconomic = 0.3;
    settings.block.commonFrom = Hms{7, 0, 0};
    settings.block.commonTo = Hms{20, 0, 0};
    fake.useMomentOverride = false;
    linkUp();

    pollAt(0);
    pollAt(29); // 19:59:59
    EXPECT_DOUBLE_EQ(accounting.liveConnection.curConnCost, 1.2 * 29 / 60);
    const double beforeChange = accounting.liveConnection.curConnCost;
    pollAt(30); // 20:00:00
    EXPECT_DOUBLE_EQ(accounting.liveConnection.curConnCost, 0.3 * 30 / 60);
    EXPECT_LT(accounting.liveConnection.curConnCost, beforeChange);
    pollAt(60); // 20:00:30
    fake.connectionCount = 0;
    pollAt(60);
    EXPECT_DOUBLE_EQ(accounting.counterBlock.lastConnCost, 0.3);
    EXPECT_DOUBLE_EQ(storedRecords().back().cost, 0.3);
}

TEST_F(Monitor, CostIsFormedInTheStatedOrder)
{
    settings.block.tariffCommon = settings.block.tariffEconomic = settings.block.tariffWeekend = 0.7;
    linkUp();
    pollAt(0);
    pollAt(27);
    // Operands for which a division by 60 gives another double than the multiplication by 1/60.
    const double expected = 0.7 * 27.0 * 0.016666666666666666;
    ASSERT_NE(expected, 0.7 * 27.0 / 60.0);
    EXPECT_EQ(accounting.liveConnection.curConnCost, expected);
}

TEST_F(Monitor, ConnectionOfOneHundredTwentyFiveSecondsClosesIntoTotalsAndLog)
{
    accounting.counterBlock.curMonthSeconds = 1000;
    accounting.counterBlock.curMonthCost = 3;
    accounting.recordCount = 2;
    storeCount(2);
    storeRecords(std::vector<ConnectionRecord>(2));
    fake.localTime = SystemTime{2000, 1, 3, 5, 19, 59, 30, 0};
    linkUp();
    pollAt(0);
    pollAt(125);
    fake.calls.clear();
    fake.connectionCount = 0;
    pollAt(125);

    EXPECT_EQ(accounting.counterBlock.lastConnSeconds, 125);
    EXPECT_NEAR(accounting.counterBlock.lastConnCost, 1.25, 1e-12);
    EXPECT_EQ(accounting.counterBlock.curMonthSeconds, 1125);
    EXPECT_NEAR(accounting.counterBlock.curMonthCost, 4.25, 1e-12);
    EXPECT_EQ(storedCounters().lastConnSeconds, 125);
    EXPECT_EQ(accounting.recordCount, 3);
    EXPECT_EQ(storedCount(), 3);
    ASSERT_EQ(storedRecords().size(), 3u);
    const ConnectionRecord last = storedRecords().back();
    EXPECT_EQ(last.seconds, 125);
    EXPECT_NEAR(last.cost, 1.25, 1e-12);
    EXPECT_EQ(last.start.wMinute, 59);
    EXPECT_EQ(last.start.wSecond, 30);

    EXPECT_EQ(fake.calls, (std::vector<std::string>{"writeRecordCount", "appendRecord", "writeCounterBlock",
                                                    "destroyTimerWindow", "paintNotConnected",
                                                    "refreshDetailsIfOpen"}));
}

TEST_F(Monitor, FloatingTimerOpensPaintsAndCloses)
{
    settings.block.showCounterOnConnect = 1;
    linkUp();
    pollAt(0);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"showTimerWindow", "paintConnected(full)"}));
    pollAt(1);
    EXPECT_EQ(countCalls("paintTimer"), 1);

    fake.timerWindowOpen = false; // closed by the user's double-click
    pollAt(2);
    EXPECT_EQ(countCalls("paintTimer"), 1);
    EXPECT_EQ(updates(), 2);

    fake.connectionCount = 0;
    pollAt(3);
    EXPECT_EQ(countCalls("destroyTimerWindow"), 1);
}

TEST_F(Monitor, WithoutTheSettingNoTimerOpens)
{
    linkUp();
    pollAt(0);
    pollAt(1);
    EXPECT_EQ(countCalls("showTimerWindow"), 0);
    EXPECT_EQ(countCalls("paintTimer"), 0);
}

TEST_F(Monitor, SlowTimerRunsTheMonthCheckFirstAndOnlyWhenEnabled)
{
    // A stamp of the previous month: any check that runs rolls over and writes the stamp.
    accounting.monthStamp = SystemTime{1999, 12, 0, 1, 0, 0, 0, 0};
    linkUp();

    settings.extra.autoSumUp = 1;
    pollAt(0, Tick::Poll);
    EXPECT_EQ(countCalls("writeMonthStamp"), 0);

    settings.extra.autoSumUp = 0;
    pollAt(1, Tick::PollAndMonthCheck);
    EXPECT_EQ(countCalls("writeMonthStamp"), 0);

    settings.extra.autoSumUp = 1;
    fake.calls.clear();
    pollAt(2, Tick::PollAndMonthCheck);
    ASSERT_EQ(fake.calls.size(), 4u);
    EXPECT_EQ(fake.calls[0], "writeMonthStamp");
    EXPECT_EQ(fake.calls[3], "paintConnected");
    EXPECT_EQ(accounting.liveConnection.carriedSeconds, 1);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 2);
}

TEST_F(Monitor, IdlePollTouchesNeitherFileNorDisplay)
{
    pollAt(0);
    linkUp();
    pollAt(1);
    pollAt(2);
    const int files = fake.fileOperations;
    const int paints = fake.paints;
    for (int i = 0; i < 19; ++i)
        pollAt(2);
    EXPECT_EQ(fake.fileOperations, files);
    EXPECT_EQ(fake.paints, paints);
}

TEST_F(Monitor, ConnectionEndsWithItsOwnRecordEvenWhenItsSlotWasTakenAway)
{
    accounting.recordCount = 5;
    storeCount(5);
    linkUp();
    pollAt(0);
    pollAt(4);
    accounting.recordCount = 0; // the whole log was cleared while the connection ran
    storeRecords({});
    storeCount(0);
    fake.connectionCount = 0;
    pollAt(4);

    EXPECT_EQ(accounting.recordCount, 1);
    EXPECT_EQ(storedCount(), 1);
    ASSERT_EQ(storedRecords().size(), 1u);
    EXPECT_EQ(storedRecords()[0].seconds, 4);
}

TEST_F(Monitor, ANewConnectionStartsFromZero)
{
    settings.extra.addSeconds = 2;
    linkUp();
    pollAt(0);
    pollAt(50);
    fake.connectionState = kRasDisconnected;
    pollAt(51);
    fake.connectionState = kRasConnected;
    pollAt(60);
    EXPECT_TRUE(accounting.liveConnection.connected);
    EXPECT_EQ(accounting.liveConnection.startTime, kStart + 60);
    EXPECT_EQ(accounting.liveConnection.curConnSeconds, 2);
    EXPECT_EQ(accounting.recordCount, 2);
    EXPECT_EQ(storedCount(), 1);
}

} // namespace

namespace {

TEST_F(Monitor, AFullCountIsNotRaisedPastItsRange)
{
    accounting.recordCount = INT32_MAX;
    linkUp();
    pollAt(0);
    EXPECT_EQ(accounting.recordCount, INT32_MAX);
}

} // namespace
