// Conversions between seconds and hours-minutes-seconds, and the rows derived from the records.
#include <gtest/gtest.h>

#include <cmath>

#include "core/state.h"
#include "fakes/world.h"

namespace {

void expectHms(double seconds, int32_t h, int32_t m, int32_t s)
{
    const Hms hms = secondsToHms(seconds);
    EXPECT_EQ(hms.hours, h) << seconds;
    EXPECT_EQ(hms.minutes, m) << seconds;
    EXPECT_EQ(hms.seconds, s) << seconds;
}

TEST(SecondsToHms, DropsFractionsAndRunsPastADay)
{
    expectHms(0, 0, 0, 0);
    expectHms(59.9, 0, 0, 59);
    expectHms(3600, 1, 0, 0);
    expectHms(3661.5, 1, 1, 1);
    expectHms(86399, 23, 59, 59);
    expectHms(360000, 100, 0, 0);
    expectHms(3600000 + 61, 1000, 1, 1);
}

TEST(SecondsToHms, OutOfRangeDurationsSaturateInsteadOfOverflowing)
{
    const Hms huge = secondsToHms(1e300);
    EXPECT_EQ(huge.hours, INT32_MAX / 3600);
    const Hms nan = secondsToHms(std::nan(""));
    EXPECT_EQ(nan.hours, 0);
    expectHms(-61, 0, -1, -1);
}

TEST(HmsToSeconds, ComputesIn32Bits)
{
    EXPECT_EQ(hmsToSeconds(7, 0, 0), 25200);
    EXPECT_EQ(hmsToSeconds(20, 0, 0), 72000);
    EXPECT_EQ(hmsToSeconds(999, 59, 59), 3599999);
    // 596524 hours exceed 2^31 seconds and wrap like the 32-bit arithmetic the stored limits were made for.
    EXPECT_LT(hmsToSeconds(596524, 0, 0), 0);
}

TEST(DisplayRows, CurrentMonthWhileConnectedSubtractsTheCarriedPart)
{
    resetWorld();
    accounting.counterBlock.curMonthSeconds = 0;
    accounting.counterBlock.curMonthCost = 0.5;
    accounting.liveConnection.connected = true;
    accounting.liveConnection.curConnSeconds = 900;
    accounting.liveConnection.carriedSeconds = 600;
    accounting.liveConnection.curConnCost = 3.0;
    accounting.liveConnection.carriedCost = 2.0;
    EXPECT_EQ(currentMonthSecondsShown(), 300);
    EXPECT_DOUBLE_EQ(currentMonthCostShown(), 1.5);
    accounting.liveConnection.connected = false;
    EXPECT_EQ(currentMonthSecondsShown(), 0);
    EXPECT_DOUBLE_EQ(currentMonthCostShown(), 0.5);
}

} // namespace

namespace {

TEST(TrustedRecordCount, TheRecordsInTheFileWinOverADamagedCount)
{
    EXPECT_EQ(trustedRecordCount(3, 3), 3);
    // A count below the records would let the next connection overwrite them.
    EXPECT_EQ(trustedRecordCount(-1, 4), 4);
    EXPECT_EQ(trustedRecordCount(0, 4), 4);
    EXPECT_EQ(trustedRecordCount(INT32_MIN, 2), 2);
    // A count beyond them would leave empty rows, or grow the file by gigabytes at the next record.
    EXPECT_EQ(trustedRecordCount(INT32_MAX, 7), 7);
    EXPECT_EQ(trustedRecordCount(1000, 0), 0);
    // A file whose size cannot be learned leaves the count as read, never negative.
    EXPECT_EQ(trustedRecordCount(5, -1), 5);
    EXPECT_EQ(trustedRecordCount(-7, -1), 0);
}

} // namespace
