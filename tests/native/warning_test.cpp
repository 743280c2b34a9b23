// The limit warnings: which watched figure warns under which switches and limits.
#include <gtest/gtest.h>

#include "core/warning.h"

namespace {

// Every switch on; the four limits differ, so a figure checked against another's limit or switch shows.
SettingsBlock allSwitchesOn()
{
    SettingsBlock block{};
    block.warningsEnabled = block.timeWarning = block.costWarning = 1;
    block.timeWarnPerConn = block.timeWarnPerMonth = block.costWarnPerConn = block.costWarnPerMonth = 1;
    block.timeLimitPerConn = Hms{1, 0, 0};
    block.timeLimitPerMonth = Hms{2, 0, 30};
    block.costLimitPerConn = 2.5;
    block.costLimitPerMonth = 12;
    return block;
}

struct WatchCase {
    const char* name;
    WatchedFigure watched;
    double limit;       // the figure at its limit, which does not warn yet
    double step;        // the smallest step above it the case tries
    int32_t SettingsBlock::*groupSwitch; // the time or the cost switch
    int32_t SettingsBlock::*ownSwitch;   // the figure's own switch
};

} // namespace

TEST(Warnings, StrictlyAboveTheLimitAndOnlyWithAllThreeSwitches)
{
    const WatchCase cases[] = {
        {"connection time", WatchedFigure::ConnectionTime, 3600, 1, &SettingsBlock::timeWarning,
         &SettingsBlock::timeWarnPerConn},
        {"month time", WatchedFigure::MonthTime, 7230, 1, &SettingsBlock::timeWarning, &SettingsBlock::timeWarnPerMonth},
        {"connection cost", WatchedFigure::ConnectionCost, 2.5, 0.01, &SettingsBlock::costWarning,
         &SettingsBlock::costWarnPerConn},
        {"month cost", WatchedFigure::MonthCost, 12, 0.01, &SettingsBlock::costWarning,
         &SettingsBlock::costWarnPerMonth},
    };
    for (const WatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsBlock block = allSwitchesOn();
        EXPECT_FALSE(aboveLimit(block, c.watched, c.limit - c.step));
        EXPECT_FALSE(aboveLimit(block, c.watched, c.limit));
        EXPECT_TRUE(aboveLimit(block, c.watched, c.limit + c.step));
        for (int32_t SettingsBlock::*flag : {&SettingsBlock::warningsEnabled, c.groupSwitch, c.ownSwitch}) {
            block.*flag = 0;
            EXPECT_FALSE(aboveLimit(block, c.watched, c.limit + c.step)) << "with one switch off";
            block.*flag = 7; // any nonzero value counts as on
            EXPECT_TRUE(aboveLimit(block, c.watched, c.limit + c.step));
        }
    }
}

TEST(Warnings, OtherFiguresSwitchesDoNotMatter)
{
    SettingsBlock block = allSwitchesOn();
    block.costWarning = block.costWarnPerConn = block.costWarnPerMonth = block.timeWarnPerMonth = 0;
    EXPECT_TRUE(aboveLimit(block, WatchedFigure::ConnectionTime, 3601));
    block = allSwitchesOn();
    block.timeWarning = block.timeWarnPerConn = block.timeWarnPerMonth = block.costWarnPerConn = 0;
    EXPECT_TRUE(aboveLimit(block, WatchedFigure::MonthCost, 12.01));
}

TEST(Warnings, LimitsOfZeroWarnForAnyPositiveFigure)
{
    SettingsBlock block = allSwitchesOn();
    block.timeLimitPerConn = Hms{0, 0, 0};
    block.costLimitPerMonth = 0;
    EXPECT_TRUE(aboveLimit(block, WatchedFigure::ConnectionTime, 1));
    EXPECT_FALSE(aboveLimit(block, WatchedFigure::ConnectionTime, 0));
    EXPECT_TRUE(aboveLimit(block, WatchedFigure::MonthCost, 0.0001));
}
