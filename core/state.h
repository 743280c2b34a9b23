// The accounting records: the live connection, the persisted totals, the log record and the month stamp.
#pragma once

#include <cstdint>

// Local calendar time, field for field as the operating system's SYSTEMTIME.
struct SystemTime {
    uint16_t wYear;         // four-digit year
    uint16_t wMonth;        // 1 to 12
    uint16_t wDayOfWeek;    // 0 = Sunday
    uint16_t wDay;          // 1 to 31
    uint16_t wHour;         // 0 to 23
    uint16_t wMinute;       // 0 to 59
    uint16_t wSecond;       // 0 to 59
    uint16_t wMilliseconds; // 0 to 999
};
static_assert(sizeof(SystemTime) == 16, "SystemTime is stored as 16 bytes");

// Hours, minutes and seconds; hours are not limited to a day.
struct Hms {
    int32_t hours;   // whole hours, any number
    int32_t minutes; // 0 to 59 when produced by secondsToHms
    int32_t seconds; // 0 to 59 when produced by secondsToHms
};
static_assert(sizeof(Hms) == 12, "Hms is stored as 12 bytes");

// One logged connection, as stored in the log of the data file.
struct ConnectionRecord {
    SystemTime start; // local time at which the connection was first seen
    double seconds;   // its duration, extra seconds included
    double cost;      // its cost in the user's currency
};
static_assert(sizeof(ConnectionRecord) == 32, "a log record is 32 bytes");

// The six persisted totals, in their stored order.
struct CounterBlock {
    double lastConnSeconds;  // duration of the last finished connection
    double curMonthSeconds;  // finished connections of this month, less what a Sum Up carried away
    double lastMonthSeconds; // duration accounted to the last month
    double lastConnCost;     // cost of the last finished connection
    double curMonthCost;     // cost of this month, on the terms of curMonthSeconds
    double lastMonthCost;    // cost accounted to the last month
};
static_assert(sizeof(CounterBlock) == 48, "the counter block is 48 bytes");

// RASCONNSTATE values the monitor distinguishes.
constexpr uint32_t kRasConnected = 0x2000;
constexpr uint32_t kRasDisconnected = 0x2001;

// The connection in progress.
struct LiveConnection {
    bool connected;                 // from the first sighting until the connection is closed
    int64_t startTime;              // calendar seconds at the first sighting
    double curConnSeconds;          // live duration in whole seconds, extra seconds included
    double curConnCost;             // the whole live duration priced at the latest tariff
    double carriedSeconds;          // part of curConnSeconds a Sum Up already moved to last month
    double carriedCost;             // part of curConnCost a Sum Up already moved to last month
    ConnectionRecord pendingRecord; // log record of the live connection, completed at its end
    uint32_t lastRasState;          // state returned by the latest status query
};

// The accounting heart's process-wide state: one record, the only one of its kind.
struct Accounting {
    LiveConnection liveConnection; // the connection in progress
    CounterBlock counterBlock;     // the persisted totals
    SystemTime monthStamp;         // local time of the last month roll-over
    int32_t recordCount;           // records in the log, plus the slot reserved by a live connection
};
extern Accounting accounting;

// Duration to hours, minutes and seconds; fractions of a second are dropped.
Hms secondsToHms(double duration);
// Hours, minutes and seconds to a duration, in 32-bit arithmetic as the stored limits expect.
double hmsToSeconds(int32_t hours, int32_t minutes, int32_t seconds);

// The count to work with after start-up: the stored count where it matches the records the file holds
// (`wholeInFile`, -1 when unknown), else the records themselves, so that the next record lands after them.
int32_t trustedRecordCount(int32_t stored, int32_t wholeInFile);
// Start-up's reading of the count: the stored count, checked against the file by trustedRecordCount.
void loadRecordCount();

// Every process-wide record of the heart as a new process has it: the accounting and settings records zeroed,
// start-up's reading of the figures forgotten. Tests start each case with it.
void zeroProcessRecords();

// The figures of the four display rows, derived from the records above.
double currentMonthSecondsShown();
double currentMonthCostShown();
