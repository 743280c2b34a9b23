// Texts of durations and costs: exact formats, and bounded output for any value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "core/text.h"

namespace {

std::string duration(double seconds)
{
    char text[kDurationTextSize];
    const int length = formatDuration(seconds, text, sizeof text);
    EXPECT_EQ(static_cast<size_t>(length), std::strlen(text));
    return text;
}

std::string cost(double value, double tariffCommon)
{
    char text[kCostTextSize];
    const int length = formatCost(value, tariffCommon, text, sizeof text);
    EXPECT_EQ(static_cast<size_t>(length), std::strlen(text));
    return text;
}

TEST(FormatDuration, ThreeHourDigitsAtLeastAndFractionsDropped)
{
    EXPECT_EQ(duration(0), "000:00:00");
    EXPECT_EQ(duration(59.9), "000:00:59");
    EXPECT_EQ(duration(3661.5), "001:01:01");
    EXPECT_EQ(duration(300), "000:05:00");
    EXPECT_EQ(duration(999 * 3600.0 + 3599), "999:59:59");
}

TEST(FormatDuration, ThousandHoursAndMoreKeepAllDigitsOfWhichNineAreDrawn)
{
    const std::string thousand = duration(1000 * 3600.0);
    EXPECT_EQ(thousand, "1000:00:00");
    EXPECT_EQ(thousand.substr(0, kDurationDrawnLength), "1000:00:0");
    EXPECT_EQ(duration(2147483647.0), "596523:14:07");
}

TEST(FormatDuration, ExtremeAndNegativeDurationsFitTheBuffer)
{
    // Negative fields print as large unsigned numbers; the buffer must hold three of them.
    EXPECT_EQ(duration(-61), "000:4294967295:4294967295");
    EXPECT_LT(duration(-1e300).size(), kDurationTextSize);
    EXPECT_LT(duration(1e300).size(), kDurationTextSize);
    EXPECT_LT(duration(std::nan("")).size(), kDurationTextSize);
    EXPECT_GE(duration(-1).size(), static_cast<size_t>(kDurationDrawnLength));
}

TEST(FormatDuration, ShortBufferIsCutAndTerminated)
{
    char text[6];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(formatDuration(3600, text, sizeof text), 5);
    EXPECT_STREQ(text, "001:0");
}

TEST(FormatCost, CommonTariffOfSixtyOrMoreGivesTwoDecimalsElseFour)
{
    EXPECT_EQ(cost(1.5, 60), "1.50");
    EXPECT_EQ(cost(1.5, 600), "1.50");
    EXPECT_EQ(cost(1.5, 59.99), "1.5000");
    EXPECT_EQ(cost(1.5, 0), "1.5000");
    EXPECT_EQ(cost(0.005, 60), "0.01");
    EXPECT_EQ(cost(-2.25, 60), "-2.25");
}

TEST(FormatCost, LargestCostsFitWhole)
{
    const std::string huge = cost(1e300, 0);
    EXPECT_EQ(huge.size(), 301u + 5u);
    EXPECT_EQ(huge.substr(huge.size() - 5), ".0000");
    const std::string largest = cost(-std::numeric_limits<double>::max(), 0);
    EXPECT_EQ(largest.size(), 1u + 309u + 5u);
    EXPECT_EQ(cost(std::numeric_limits<double>::infinity(), 60), "inf");
}

TEST(FormatCost, ShortBufferIsCutAndTerminated)
{
    char text[4];
    EXPECT_EQ(formatCost(123.456, 60, text, sizeof text), 3);
    EXPECT_STREQ(text, "123");
    EXPECT_EQ(formatCost(1, 60, text, 0), 0);
}

} // namespace
