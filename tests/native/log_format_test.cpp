// Month tests, loading of the stored log, and the texts of the detailed list and the export.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "fakes/world.h"
#include "fakes/disk.h"
#include "core/log_format.h"
#include "core/stored_log.h"

namespace {

SystemTime day(unsigned year, unsigned month, unsigned dayOfMonth = 15)
{
    SystemTime t{};
    t.wYear = static_cast<uint16_t>(year);
    t.wMonth = static_cast<uint16_t>(month);
    t.wDay = static_cast<uint16_t>(dayOfMonth);
    return t;
}

ConnectionRecord record(SystemTime start, double seconds, double cost)
{
    return ConnectionRecord{start, seconds, cost};
}

std::string title(ViewFilter filter, SystemTime today)
{
    char text[kDetailsTitleSize];
    const int length = formatDetailsTitle(filter, today, text, sizeof text);
    EXPECT_EQ(static_cast<size_t>(length), std::strlen(text));
    return text;
}

std::string suggested(ViewFilter filter, SystemTime first, SystemTime today)
{
    char text[kSuggestedNameSize];
    formatSuggestedName(filter, first, today, text, sizeof text);
    return text;
}

std::string exportLine(const ConnectionRecord& r, bool withCost, double tariff, const char* symbol = "$")
{
    char text[kExportLineSize];
    const int length =
        formatExportLine(r, withCost, tariff, symbol, static_cast<int>(std::strlen(symbol)), text, sizeof text);
    EXPECT_EQ(static_cast<size_t>(length), std::strlen(text));
    return text;
}

} // namespace

TEST(MonthTests, LastMonthOfJanuaryIsOnlyDecemberOfTheYearBefore)
{
    const SystemTime january2001 = day(2001, 1);
    EXPECT_TRUE(inLastMonth(day(2000, 12), january2001));
    EXPECT_FALSE(inLastMonth(day(1999, 12), january2001));
    EXPECT_FALSE(inLastMonth(day(2001, 12), january2001));
    EXPECT_FALSE(inLastMonth(day(2000, 1), january2001));
    EXPECT_FALSE(inLastMonth(day(2001, 1), january2001));
}

TEST(MonthTests, OutsideJanuaryTheYearIsNotCompared)
{
    const SystemTime march2001 = day(2001, 3);
    EXPECT_TRUE(inLastMonth(day(2001, 2), march2001));
    EXPECT_TRUE(inLastMonth(day(1995, 2), march2001));
    EXPECT_TRUE(inLastMonth(day(2003, 2), march2001));
    EXPECT_FALSE(inLastMonth(day(2001, 3), march2001));
    EXPECT_FALSE(inLastMonth(day(2001, 1), march2001));

    const SystemTime august2000 = day(2000, 8);
    EXPECT_TRUE(inCurrentMonth(day(1999, 8), august2000));
    EXPECT_TRUE(inCurrentMonth(day(2000, 8, 1), august2000));
    EXPECT_FALSE(inCurrentMonth(day(2000, 7), august2000));
    EXPECT_FALSE(inCurrentMonth(day(2000, 9), august2000));
}

TEST(MonthTests, FiltersCombineTheTests)
{
    const SystemTime january2001 = day(2001, 1);
    const SystemTime december2000 = day(2000, 12), december1999 = day(1999, 12), january1990 = day(1990, 1);
    for (const SystemTime& any : {december2000, december1999, january1990})
        EXPECT_TRUE(filterAdmits(All, any, january2001));
    EXPECT_TRUE(filterAdmits(CurrentMonth, january1990, january2001));
    EXPECT_FALSE(filterAdmits(CurrentMonth, december2000, january2001));
    EXPECT_TRUE(filterAdmits(LastMonth, december2000, january2001));
    EXPECT_FALSE(filterAdmits(LastMonth, december1999, january2001));
}

TEST(DetailsTexts, TitleNamesTheShownMonth)
{
    EXPECT_EQ("Detailed statistics (All)", title(All, day(2001, 1)));
    EXPECT_EQ("Detailed statistics (01.2001)", title(CurrentMonth, day(2001, 1)));
    EXPECT_EQ("Detailed statistics (12.2000)", title(LastMonth, day(2001, 1)));
    EXPECT_EQ("Detailed statistics (02.2001)", title(LastMonth, day(2001, 3)));
    EXPECT_EQ("Detailed statistics (08.2000)", title(CurrentMonth, day(2000, 8)));
    // The year is at least four wide, padded with blanks.
    EXPECT_EQ("Detailed statistics (05.  99)", title(CurrentMonth, day(99, 5)));
}

TEST(DetailsTexts, FormattersStayInsideSmallBuffers)
{
    char tiny[8];
    std::memset(tiny, 'x', sizeof tiny);
    EXPECT_EQ(7, formatDetailsTitle(All, day(2001, 1), tiny, sizeof tiny));
    EXPECT_STREQ("Detaile", tiny);
    char line[10];
    EXPECT_EQ(9, formatExportLine(record(day(2000, 8, 5), 3725, 1.5), true, 60, "$", 1, line, sizeof line));
    EXPECT_STREQ("05.08.200", line);
    EXPECT_EQ(0, formatListCost(1.5, 60, "$", 1, line, 0));
}

TEST(DetailsTexts, SuggestedExportNames)
{
    EXPECT_EQ("all1999", suggested(All, day(1999, 4), day(2001, 3)));
    EXPECT_EQ("082000", suggested(CurrentMonth, day(2000, 8), day(2000, 8)));
    EXPECT_EQ("122000", suggested(LastMonth, day(2000, 12), day(2001, 1)));
    // Last month comes from today's date, not from the record.
    EXPECT_EQ("022001", suggested(LastMonth, day(1998, 2), day(2001, 3)));
    EXPECT_EQ("all0987", suggested(All, day(987, 4), day(2001, 3)));
}

TEST(DetailsTexts, ListRowTexts)
{
    char text[kListTextSize];
    SystemTime start = day(2000, 8, 5);
    start.wHour = 14;
    start.wMinute = 3;
    start.wSecond = 7;
    formatListDate(start, text, sizeof text);
    EXPECT_STREQ("05.08.2000", text);
    formatListDate(day(987, 12, 31), text, sizeof text);
    EXPECT_STREQ("31.12. 987", text);
    formatListTime(start, text, sizeof text);
    EXPECT_STREQ("14:03:07", text);

    formatListCost(1.5, 60, "$", 1, text, sizeof text);
    EXPECT_STREQ("1.50 $", text);
    formatListCost(1.5, 59.99, "$", 1, text, sizeof text);
    EXPECT_STREQ("1.5000 $", text);
    // Only the symbol's drawn length is printed; a failed locale lookup shows none.
    formatListCost(2.0, 60, "EURx", 3, text, sizeof text);
    EXPECT_STREQ("2.00 EUR", text);
    formatListCost(2.0, 60, "", 0, text, sizeof text);
    EXPECT_STREQ("2.00 ", text);
    const int length = formatListCost(-1.7976931348623157e308, 0.5, "\x80", 1, text, sizeof text);
    EXPECT_EQ(static_cast<size_t>(length), std::strlen(text));
    EXPECT_EQ(std::string(".0000 \x80"), std::string(text + length - 7));
}

TEST(ExportLines, WithoutCostTheLineIs34CharactersAndABlank)
{
    SystemTime start = day(2000, 8, 5);
    start.wHour = 14;
    start.wMinute = 3;
    start.wSecond = 27;
    const std::string line = exportLine(record(start, 3725, 9.99), false, 60);
    EXPECT_EQ("05.08.2000 | 14:03:27 | 001:02:05 \n", line);
    EXPECT_EQ(34u, line.size() - 1);
    // Hours run past 999 and fractions of a second are dropped; the year is zero-padded.
    EXPECT_EQ("01.01.0999 | 00:00:00 | 1000:00:59 \n", exportLine(record(day(999, 1, 1), 3600000 + 59.9, 0), false, 60));
}

TEST(ExportLines, CostFollowsTheTariffWithTheSymbolRightAfterTheNumber)
{
    SystemTime start = day(2000, 8, 5);
    start.wHour = 9;
    EXPECT_EQ("05.08.2000 | 09:00:00 | 000:01:00 | 1.50$ \n", exportLine(record(start, 60, 1.5), true, 60));
    EXPECT_EQ("05.08.2000 | 09:00:00 | 000:01:00 | 1.5000$ \n", exportLine(record(start, 60, 1.5), true, 0.5));
    EXPECT_EQ("05.08.2000 | 09:00:00 | 000:01:00 | 1.5000\x80 \n",
              exportLine(record(start, 60, 1.5), true, 59.99, "\x80"));
    EXPECT_EQ("05.08.2000 | 09:00:00 | 000:01:00 | 12.35 \n", exportLine(record(start, 60, 12.345001), true, 60, ""));
}

TEST(ExportLines, RuleIs49UnderscoresAndALineFeed)
{
    EXPECT_EQ(std::string(49, '_') + "\n", kExportRule);
}

TEST(ExportLines, ExtremeRecordsFitTheLineBuffer)
{
    SystemTime start{65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535};
    const std::string line = exportLine(record(start, -1.0e300, -1.7976931348623157e308), true, 0.5, "abcdef");
    EXPECT_EQ("65535.65535.65535 | 65535:65535:65535 | ", line.substr(0, 40));
    EXPECT_EQ(".0000abcdef \n", line.substr(line.size() - 13));
}

class StoredLog : public ::testing::Test {
protected:
    void SetUp() override { resetWorld(); }
    void TearDown() override { resetWorld(); }
};

TEST_F(StoredLog, LoadsTheCountedRecordsInOrder)
{
    storeRecords({record(day(2000, 1), 1, 0.1), record(day(2000, 2), 2, 0.2), record(day(2000, 3), 3, 0.3)});
    accounting.recordCount = 2;
    const std::vector<ConnectionRecord> loaded = loadStoredLog();
    ASSERT_EQ(2u, loaded.size());
    EXPECT_EQ(1.0, loaded[0].seconds);
    EXPECT_EQ(2, loaded[1].start.wMonth);
}

TEST_F(StoredLog, TheLiveConnectionsReservedSlotGivesNoRow)
{
    storeRecords({record(day(2000, 1), 1, 0.1), record(day(2000, 2), 2, 0.2)});
    accounting.recordCount = 3;
    accounting.liveConnection.connected = true;
    EXPECT_EQ(2u, loadStoredLog().size());
}

TEST_F(StoredLog, ACorruptCountReadsOnlyWhatIsStored)
{
    storeRecords({record(day(2000, 1), 1, 0.1)});
    accounting.recordCount = INT_MAX;
    EXPECT_EQ(1u, loadStoredLog().size());
    EXPECT_EQ(1, countCalls("readRecords"));

    accounting.recordCount = -5;
    EXPECT_TRUE(loadStoredLog().empty());
    accounting.recordCount = 0;
    EXPECT_TRUE(loadStoredLog().empty());
}

// Clear from the stored log in each mode, with and without a live connection: which records stay, in which
// order, the stored count, and the slot the live connection's record will take.
TEST_F(StoredLog, ClearKeepsItsMonthsInOrderAndGivesTheLiveConnectionTheNextSlot)
{
    struct ClearCase {
        ClearMode mode;
        bool connected;
        std::vector<double> kept; // durations of the kept records, in stored order
    };
    const ClearCase cases[] = {
        {ClearAll, false, {}},
        {ClearAll, true, {}},
        {ClearUntilCurrentMonth, false, {2, 5}},
        {ClearUntilCurrentMonth, true, {2, 5}},
        {ClearUntilLastMonth, false, {2, 3, 5}},
        {ClearUntilLastMonth, true, {2, 3, 5}},
    };
    for (const ClearCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << (c.connected ? ", connected" : ", idle"));
        resetWorld();
        fake.localTime = day(2001, 1);
        // January of any year is this month; December 2000 is the last month; the others go.
        storeRecords({record(day(2000, 11), 1, 0), record(day(1999, 1), 2, 0), record(day(2000, 12), 3, 0),
                              record(day(1999, 12), 4, 0), record(day(2001, 1, 2), 5, 0)});
        accounting.recordCount = c.connected ? 6 : 5;
        accounting.liveConnection.connected = c.connected;

        EXPECT_EQ(clearStoredLog(c.mode).outcome, FileOutcome::Done);

        std::vector<double> kept;
        for (const ConnectionRecord& r : storedRecords())
            kept.push_back(r.seconds);
        EXPECT_EQ(c.kept, kept);
        const int32_t count = static_cast<int32_t>(c.kept.size());
        EXPECT_EQ(count, storedCount()) << "the stored count leaves out the live slot";
        EXPECT_EQ(c.connected ? count + 1 : count, accounting.recordCount);
        EXPECT_EQ((std::vector<std::string>{"readRecords", "replaceLog"}), fake.calls);
    }
}
