// Which of the three tariffs applies at a moment of the week.
#include <gtest/gtest.h>

#include "core/tariff.h"
#include "fakes/world.h"

namespace {

constexpr double kCommon = 1.5;
constexpr double kEconomic = 0.5;
constexpr double kWeekend = 0.25;
constexpr int kWednesday = 3;

SettingsBlock tariffs(Hms from, Hms to)
{
    SettingsBlock settings{};
    settings.tariffCommon = kCommon;
    settings.tariffEconomic = kEconomic;
    settings.tariffWeekend = kWeekend;
    settings.commonFrom = from;
    settings.commonTo = to;
    return settings;
}

struct Row {
    int hour, minute, second;
    double expected;
};

void expectRows(const SettingsBlock& settings, std::initializer_list<Row> rows)
{
    for (const Row& row : rows) {
        const LocalMoment moment{kWednesday, row.hour, row.minute, row.second};
        EXPECT_EQ(tariffAt(settings, moment), row.expected)
            << row.hour << ":" << row.minute << ":" << row.second;
    }
}

TEST(Tariff, DefaultWindowExcludesBothBounds)
{
    expectRows(tariffs({7, 0, 0}, {20, 0, 0}), {
                                                   {0, 0, 0, kEconomic},
                                                   {6, 59, 59, kEconomic},
                                                   {7, 0, 0, kEconomic},
                                                   {7, 0, 1, kCommon},
                                                   {12, 0, 0, kCommon},
                                                   {19, 59, 59, kCommon},
                                                   {20, 0, 0, kEconomic},
                                                   {20, 0, 1, kEconomic},
                                                   {23, 59, 59, kEconomic},
                                               });
}

TEST(Tariff, WindowAcrossMidnightIncludesBothBounds)
{
    expectRows(tariffs({22, 0, 0}, {6, 0, 0}), {
                                                   {21, 59, 59, kEconomic},
                                                   {22, 0, 0, kCommon},
                                                   {23, 59, 59, kCommon},
                                                   {0, 0, 0, kCommon},
                                                   {6, 0, 0, kCommon},
                                                   {6, 0, 1, kEconomic},
                                                   {12, 0, 0, kEconomic},
                                               });
}

TEST(Tariff, EqualBoundsMakeTheWholeWorkingDayCommon)
{
    for (const Hms bound : {Hms{8, 0, 0}, Hms{0, 0, 0}})
        expectRows(tariffs(bound, bound), {
                                              {0, 0, 0, kCommon},
                                              {7, 59, 59, kCommon},
                                              {8, 0, 0, kCommon},
                                              {8, 0, 1, kCommon},
                                              {23, 59, 59, kCommon},
                                          });
}

TEST(Tariff, StoredSecondsOfTheBoundsCount)
{
    // The dialog edits hours and minutes only, but stored seconds still move the bounds.
    expectRows(tariffs({7, 0, 30}, {20, 0, 0}), {{7, 0, 30, kEconomic}, {7, 0, 31, kCommon}});
}

TEST(Tariff, WeekendAndHolidayIgnoreTheWindow)
{
    SettingsBlock settings = tariffs({0, 0, 0}, {0, 0, 0});
    const struct {
        const char* day;
        LocalMoment moment;
        double expected;
    } days[] = {
        {"Saturday", {6, 12, 0, 0}, kWeekend},
        {"Sunday", {0, 3, 0, 0}, kWeekend},
        {"Friday", {5, 12, 0, 0}, kCommon},
        {"Monday", {1, 12, 0, 0}, kCommon},
    };
    for (const auto& day : days)
        EXPECT_EQ(tariffAt(settings, day.moment), day.expected) << day.day;

    settings.todayIsHoliday = 1;
    EXPECT_EQ(tariffAt(settings, LocalMoment{kWednesday, 12, 0, 0}), kWeekend);
}

TEST(Tariff, AsEconomicIsNotConsulted)
{
    SettingsBlock settings = tariffs({7, 0, 0}, {20, 0, 0});
    settings.weekendAsEconomic = 1;
    settings.calculateCost = 0;
    EXPECT_EQ(tariffAt(settings, LocalMoment{6, 12, 0, 0}), kWeekend);
    EXPECT_EQ(tariffAt(settings, LocalMoment{kWednesday, 12, 0, 0}), kCommon);
}

TEST(Tariff, CurrentTariffReadsTheSettingsInForceAndTheClock)
{
    resetWorld();
    settings.block = tariffs({7, 0, 0}, {20, 0, 0});
    fake.useMomentOverride = false;
    fake.calendarTime = 947030400 + 12 * 3600; // Wednesday 2000-01-05, 12:00 UTC
    EXPECT_EQ(currentTariff(), kCommon);
    fake.calendarTime = 947030400 + 20 * 3600;
    EXPECT_EQ(currentTariff(), kEconomic);
    fake.calendarTime = 946684800 + 12 * 3600; // Saturday 2000-01-01
    EXPECT_EQ(currentTariff(), kWeekend);
    settings.block.tariffWeekend = 9;
    EXPECT_EQ(currentTariff(), 9);
}

TEST(Tariff, MomentsOnBothSidesOfJanuary2038KeepTheirDayAndHour)
{
    // 2^31 seconds after 1970 is Tuesday 2038-01-19 03:14:08 UTC; a 32-bit clock wraps to December 1901 there.
    constexpr int64_t kWrap = int64_t{1} << 31;
    constexpr int64_t kTuesdayNoon = kWrap + 8 * 3600 + 45 * 60 + 52;
    resetWorld();
    settings.block = tariffs({7, 0, 0}, {20, 0, 0});
    fake.useMomentOverride = false;
    const struct {
        const char* moment;
        int64_t calendarTime;
        double expected;
    } rows[] = {
        {"Tuesday 03:14:07, the last second of 32 bits", kWrap - 1, kEconomic},
        {"Tuesday 12:00:00", kTuesdayNoon, kCommon},
        {"Saturday 12:00:00", kTuesdayNoon + 4 * 24 * 3600, kWeekend},
    };
    for (const auto& row : rows) {
        fake.calendarTime = row.calendarTime;
        EXPECT_EQ(currentTariff(), row.expected) << row.moment;
    }
}

} // namespace
