// The user's records in the per-user registry: the settings ("Settings", "Settings1") and the detailed
// window's placement ("Place").
#pragma once

#include <cstdint>

#include "core/state.h"

// Settings edited in the settings dialog; stored as the value "Settings".
struct SettingsBlock {
    int32_t showCounterOnConnect; // open the floating timer when a connection starts
    int32_t calculateCost;        // show costs in the windows and the export
    int32_t todayIsHoliday;       // price the whole day at the weekend tariff
    int32_t weekendAsEconomic;    // weekend tariff copied from the economic one (dialog only)
    int32_t warningsEnabled;      // master switch of the limit warnings
    int32_t timeWarning;          // time limits active
    int32_t costWarning;          // cost limits active
    int32_t timeWarnPerConn;      // apply timeLimitPerConn
    int32_t timeWarnPerMonth;     // apply timeLimitPerMonth
    int32_t costWarnPerConn;      // apply costLimitPerConn
    int32_t costWarnPerMonth;     // apply costLimitPerMonth
    int32_t reserved;             // never written; keeps the doubles 8-byte aligned
    double tariffCommon;          // price per minute inside the common-tariff hours
    double tariffEconomic;        // price per minute outside them on working days
    double tariffWeekend;         // price per minute on weekends and holidays
    double costLimitPerConn;      // cost limit of one connection
    double costLimitPerMonth;     // cost limit of the current month
    Hms commonFrom;               // start of the daily common-tariff hours
    Hms commonTo;                 // end of the daily common-tariff hours
    Hms timeLimitPerConn;         // time limit of one connection
    Hms timeLimitPerMonth;        // time limit of the current month
};
static_assert(sizeof(SettingsBlock) == 136, "the value \"Settings\" is 136 bytes");

// The two settings added later; stored as the value "Settings1".
struct SettingsExtra {
    int32_t addSeconds; // seconds added to every connection's duration
    int32_t autoSumUp;  // run the automatic month check
};
static_assert(sizeof(SettingsExtra) == 8, "the value \"Settings1\" is 8 bytes");

// The billing period's settings, added with it; stored as the value "Period" only while they differ from the
// defaults, so that a user who never changes them has exactly the values "Settings" and "Settings1".
struct SettingsPeriod {
    int32_t startDay; // first day of the billing period, 1 to 28; 0 (nothing stored) or any other value means 1
};
static_assert(sizeof(SettingsPeriod) == 4, "the value \"Period\" is 4 bytes");

// How the detailed window was last left; stored little-endian as the registry value "Place".
// The stored value of a checked "Show grid" (the menu's own checked state, which the stored records took over).
constexpr int32_t kGridShown = 8;

struct DetailPlacement {
    int32_t gridState;       // "Show grid" at closing: kGridShown when checked, else 0
    int32_t left;            // left edge of the normal-position rectangle
    int32_t top;             // top edge of the normal-position rectangle
    int32_t right;           // right edge of the normal-position rectangle
    int32_t bottom;          // bottom edge of the normal-position rectangle
    int32_t columnWidths[4]; // widths of "Date", "Time", "Duration" and "Cost" in pixels
    int32_t showCmd;         // show state at closing, used to show the window at the next opening
};
static_assert(sizeof(DetailPlacement) == 40, "the value \"Place\" is 40 bytes");

// The settings in force: one record, the only one of its kind.
struct Settings {
    SettingsBlock block; // the value "Settings": switches, tariffs, hours and limits
    SettingsExtra extra; // the value "Settings1": extra seconds and the automatic month check
    SettingsPeriod period; // the value "Period": the billing period's start day
};
extern Settings settings;

// The first-run defaults, applied in memory.
void applyDefaultSettings();
// The billing period's start day in force, 1 to 28.
int billingStartDay();

