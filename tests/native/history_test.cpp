// The history by period with its forecast and chart scale, and the CSV texts of the spreadsheet export.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/csv_export.h"
#include "core/forecast.h"
#include "core/history.h"

namespace {

SystemTime at(unsigned year, unsigned month, unsigned day, unsigned hour = 0, unsigned minute = 0,
              unsigned second = 0)
{
    SystemTime t{};
    t.wYear = static_cast<uint16_t>(year);
    t.wMonth = static_cast<uint16_t>(month);
    t.wDay = static_cast<uint16_t>(day);
    t.wHour = static_cast<uint16_t>(hour);
    t.wMinute = static_cast<uint16_t>(minute);
    t.wSecond = static_cast<uint16_t>(second);
    return t;
}

int32_t period(unsigned year, unsigned month) { return static_cast<int32_t>(12 * year + month - 1); }

} // namespace

TEST(History, OneRowPerPeriodNewestFirstWithTheCurrentOneAlways)
{
    const std::vector<ConnectionRecord> log = {
        {at(2000, 8, 5, 14, 3, 27), 3725, 1.5},  {at(2000, 8, 31, 23, 59, 59), 60, 0.25},
        {at(2000, 6, 1), 10, 0.5},                {at(2000, 9, 14, 23), 5, 1.0},
        {at(2000, 13, 1), 999, 99.0},             {at(2001, 2, 1), 7, 2.0},
        {at(1999, 12, 31, 23, 59, 59), 1, 0.125},
    };
    struct Case {
        int startDay;
        std::vector<HistoryRow> expected; // forecasts are checked on their own below
    };
    const Case cases[] = {
        // Calendar months: the damaged month 13 names no period, the current October has no connection, a
        // record from a wrong clock's future stands above it.
        {1,
         {{period(2001, 2), 1, 7, 2.0, false, 0, 0},
          {period(2000, 10), 0, 0, 0.0, true, 0, 0},
          {period(2000, 9), 1, 5, 1.0, false, 0, 0},
          {period(2000, 8), 2, 3785, 1.75, false, 0, 0},
          {period(2000, 6), 1, 10, 0.5, false, 0, 0},
          {period(1999, 12), 1, 1, 0.125, false, 0, 0}}},
        // From the 15th: 14 September still belongs to the period begun on 15 August, 1 June to May's.
        {15,
         {{period(2001, 1), 1, 7, 2.0, false, 0, 0},
          {period(2000, 9), 0, 0, 0.0, true, 0, 0},
          {period(2000, 8), 2, 65, 1.25, false, 0, 0},
          {period(2000, 7), 1, 3725, 1.5, false, 0, 0},
          {period(2000, 5), 1, 10, 0.5, false, 0, 0},
          {period(1999, 12), 1, 1, 0.125, false, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.startDay);
        const std::vector<HistoryRow> rows = historyOf(log, at(2000, 10, 10, 12), c.startDay);
        ASSERT_EQ(rows.size(), c.expected.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(rows[i].period, c.expected[i].period);
            EXPECT_EQ(rows[i].connections, c.expected[i].connections);
            EXPECT_DOUBLE_EQ(rows[i].seconds, c.expected[i].seconds);
            EXPECT_DOUBLE_EQ(rows[i].cost, c.expected[i].cost);
            EXPECT_EQ(rows[i].current, c.expected[i].current);
            if (!rows[i].current) {
                EXPECT_EQ(rows[i].forecastCost, rows[i].cost);
            }
        }
    }
}

TEST(History, ForecastCarriesThePaceToThePeriodsLastDay)
{
    struct Case {
        double soFar;
        SystemTime now;
        int startDay;
        double expected;
    };
    const Case cases[] = {
        {10.0, at(2000, 6, 16), 1, 20.0},               // half of a 30-day June
        {10.0, at(2000, 2, 15, 12), 1, 20.0},           // half of a leap February
        {31.0, at(2000, 12, 31, 23, 59, 59), 1, 31.0},  // the last second: the figure itself, near enough
        {10.0, at(2000, 10, 30, 12), 15, 20.0},         // 15.5 of the 31 days from 15 October
        {0.0, at(2000, 7, 20), 1, 0.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(forecastToPeriodEnd(c.soFar, c.now, c.startDay), c.expected, 0.001) << c.now.wDay;
}

TEST(History, ChartBarsAndScale)
{
    const std::vector<HistoryRow> rows = {{period(2000, 10), 1, 1, 4.0, true, 1, 4.0},
                                          {period(2000, 8), 1, 2, 2.5, false, 2, 2.5},
                                          {period(1999, 1), 1, 1, 9.0, false, 1, 9.0}};
    EXPECT_EQ(periodFigures(rows, period(2000, 10), 4, HistoryFigure::Cost),
              (std::vector<double>{0.0, 2.5, 0.0, 4.0}));
    EXPECT_EQ(periodFigures(rows, period(2000, 9), 1, HistoryFigure::Cost), (std::vector<double>{0.0}));
    EXPECT_EQ(periodFigures(rows, period(1999, 1), 2, HistoryFigure::Seconds), (std::vector<double>{0.0, 1.0}));

    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, double> ceilings[] = {{0.0, 1.0},   {-3.0, 1.0},   {std::nan(""), 1.0}, {inf, 1.0},
                                                  {0.3, 0.5},   {1.0, 1.0},    {1.01, 2.0},         {25.13, 50.0},
                                                  {100.0, 100.0}, {501.0, 1000.0}};
    for (const auto& [value, ceiling] : ceilings)
        EXPECT_DOUBLE_EQ(chartCeiling(value), ceiling) << value;

    char label[kPeriodLabelSize];
    formatPeriodLabel(period(2000, 8), 1, label, sizeof label);
    EXPECT_STREQ(label, "08.2000");
    formatPeriodLabel(period(2000, 12), 15, label, sizeof label);
    EXPECT_STREQ(label, "15.12.2000-14.01.2001");
    formatBarLabel(period(2001, 2), label, sizeof label);
    EXPECT_STREQ(label, "02.01");
}

TEST(CsvExport, FieldsAndDurations)
{
    const std::pair<std::string, std::string> fields[] = {
        {"plain", "plain"}, {"", ""}, {"a,b", "\"a,b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""}, {"\xE2\x82\xAC", "\xE2\x82\xAC"}};
    for (const auto& [text, written] : fields)
        EXPECT_EQ(csvField(text), written);

    const std::pair<double, std::string> durations[] = {
        {0, "0:00:00"}, {3725.9, "1:02:05"}, {360000, "100:00:00"}, {-61, "-0:01:01"}, {std::nan(""), "0:00:00"},
        {1e300, "2500000000000:00:00"}};
    for (const auto& [seconds, written] : durations)
        EXPECT_EQ(csvDuration(seconds), written) << seconds;
}

TEST(CsvExport, WholeTextsOfConnectionsAndHistory)
{
    const ConnectionRecord first{at(2000, 8, 5, 14, 3, 27), 3725, 1.5};
    const ConnectionRecord second{at(2000, 9, 1, 0, 0, 9), 59.5, 0.123456};
    const std::vector<const ConnectionRecord*> records = {&first, &second};

    EXPECT_EQ(connectionsCsv(records, CsvCostStyle{true, 60.0, "\xE2\x82\xAC"}),
              "\xEF\xBB\xBF"
              "Date,Start,Duration (s),Duration,Cost (\xE2\x82\xAC)\r\n"
              "2000-08-05,14:03:27,3725,1:02:05,1.50\r\n"
              "2000-09-01,00:00:09,59,0:00:59,0.12\r\n");
    EXPECT_EQ(connectionsCsv(records, CsvCostStyle{true, 0.5, "k\"r,"}),
              "\xEF\xBB\xBF"
              "Date,Start,Duration (s),Duration,\"Cost (k\"\"r,)\"\r\n"
              "2000-08-05,14:03:27,3725,1:02:05,1.5000\r\n"
              "2000-09-01,00:00:09,59,0:00:59,0.1235\r\n");
    EXPECT_EQ(connectionsCsv({}, CsvCostStyle{false, 60.0, "$"}),
              "\xEF\xBB\xBF"
              "Date,Start,Duration (s),Duration\r\n");

    const std::vector<HistoryRow> rows = {{period(2000, 9), 1, 59.5, 0.12, true, 119, 0.24},
                                          {period(2000, 8), 1, 3725, 1.5, false, 3725, 1.5}};
    EXPECT_EQ(historyCsv(rows, 15, CsvCostStyle{true, 60.0, "$"}),
              "\xEF\xBB\xBF"
              "Period,First day,Last day,Connections,Time (s),Time,Cost ($),Forecast time (s),Forecast time,"
              "Forecast cost ($)\r\n"
              "2000-09,2000-09-15,2000-10-14,1,59,0:00:59,0.12,119,0:01:59,0.24\r\n"
              "2000-08,2000-08-15,2000-09-14,1,3725,1:02:05,1.50,,,\r\n");
    EXPECT_EQ(historyCsv(rows, 1, CsvCostStyle{false, 60.0, "$"}),
              "\xEF\xBB\xBF"
              "Period,First day,Last day,Connections,Time (s),Time,Forecast time (s),Forecast time\r\n"
              "2000-09,2000-09-01,2000-09-30,1,59,0:00:59,119,0:01:59\r\n"
              "2000-08,2000-08-01,2000-08-31,1,3725,1:02:05,,\r\n");
}
