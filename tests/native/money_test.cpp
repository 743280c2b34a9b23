// Texts of money amounts: display, validity of what the user typed and its normalisation.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>

#include "core/money.h"

namespace {

std::string money(double value)
{
    char text[kMoneyTextSize];
    formatMoney(value, text, sizeof text);
    return text;
}

TEST(FormatMoney, DropsTrailingZerosAndAPointLeftAlone)
{
    EXPECT_EQ(money(1.5), "1.5");
    EXPECT_EQ(money(12), "12");
    EXPECT_EQ(money(0), "0");
    EXPECT_EQ(money(0.0001), "0.0001");
    EXPECT_EQ(money(0.12345678), "0.12345678");
    EXPECT_EQ(money(2.000000001), "2");
    EXPECT_EQ(money(100), "100");
    EXPECT_EQ(money(9999999999.0), "9999999999");
}

TEST(FormatMoney, HugeAndOddValuesStayInsideTheBuffer)
{
    const std::string largest = money(DBL_MAX);
    EXPECT_EQ(largest.size(), 309u);
    EXPECT_EQ(largest.substr(0, 6), "179769");
    EXPECT_EQ(money(-DBL_MAX).size(), 310u);
    EXPECT_EQ(money(-0.5), "-0.5");
    EXPECT_EQ(money(HUGE_VAL), "inf");
}

TEST(FormatMoney, CutsToASmallBufferWithoutOverrunning)
{
    char small[5];
    std::memset(small, 'x', sizeof small);
    formatMoney(123456.5, small, 4);
    EXPECT_STREQ(small, "123");
    EXPECT_EQ(small[4], 'x');
}

TEST(TrimMoneyZeros, LeavesTextsWithoutAPointAlone)
{
    const struct {
        const char* text;
        const char* trimmed;
    } rows[] = {{"100", "100"}, {"0.500", "0.5"}, {"20.000", "20"}};
    for (const auto& row : rows) {
        std::string text = row.text;
        trimMoneyZeros(text);
        EXPECT_EQ(text, row.trimmed) << row.text;
    }
}

TEST(AmountCharacters, FollowTheWesternAnsiCodePage)
{
    for (unsigned char c = '0'; c <= '9'; ++c)
        EXPECT_TRUE(isAmountDigit(c));
    EXPECT_TRUE(isAmountLetter('a'));
    EXPECT_TRUE(isAmountLetter('Z'));
    EXPECT_TRUE(isAmountLetter(0xE9));  // e acute
    EXPECT_TRUE(isAmountLetter(0x8A));  // S caron
    EXPECT_TRUE(isAmountLetter(0xDF));  // sharp s
    EXPECT_FALSE(isAmountLetter(0xD7)); // multiplication sign
    EXPECT_FALSE(isAmountLetter(0x80)); // euro sign
    EXPECT_FALSE(isAmountDigit(0xB2));  // superscript two
    EXPECT_FALSE(isAmountLetter(0xB2));
    EXPECT_FALSE(isAmountLetter('.'));
    EXPECT_FALSE(isAmountDigit('.'));
}

TEST(IsValidAmount, AcceptsDigitsWithOnePointNotInFront)
{
    for (const char* text : {"0", "12", "007", "5.", "5.0", "0.50", "1234567890.12345", "10."})
        EXPECT_TRUE(isValidAmount(text)) << text;
}

TEST(IsValidAmount, RejectsEverythingElse)
{
    for (const char* text : {"", ".5", "1.2.3", "1,5", "-1", "+1", "1e3", "abc", "1 5", " 1", "1 ", "\xb2", "1\xe9",
                             "5\x80"})
        EXPECT_FALSE(isValidAmount(text)) << text;
}

TEST(IsValidAmount, JudgesTheWholeTextNotOnlyItsBeginning)
{
    EXPECT_FALSE(isValidAmount("12345678901234567a"));
    EXPECT_FALSE(isValidAmount("1234567890123456789x"));
    EXPECT_FALSE(isValidAmount("1.234567890123456.7"));
    EXPECT_FALSE(isValidAmount(std::string(400, '1') + "-"));
    EXPECT_TRUE(isValidAmount(std::string(400, '1') + ".5"));
}

TEST(NormalizeAmount, DropsSuperfluousZerosButKeepsThePoint)
{
    const struct {
        const char* text;
        const char* normalized;
    } rows[] = {
        {"12", "12"},   {"012", "12"},   {"007", "7"},   {"000", "0"},      {"0", "0"},
        {"100", "100"}, {"5.0", "5."},   {"5.", "5."},   {"0.50", "0.5"},   {"0.0", "0."},
        {"1.250", "1.25"}, {"007.5", "7.5"}, {"00.5", "0.5"}, {"0.5", "0.5"}, {"10.0", "10."},
        {"000.000", "0."}, {"0100", "100"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(normalizeAmount(row.text), row.normalized) << row.text;
}

} // namespace
