// The process-wide accounting records and the conversions between seconds and hours-minutes-seconds.
#include "core/state.h"

#include "core/data_store.h"
#include "core/limit_notice.h"
#include "core/settings.h"
#include "core/stored_figures.h"

Accounting accounting;

void zeroProcessRecords()
{
    accounting = Accounting{};
    settings = Settings{};
    resetStoredFigures();
    forgetLimitNotices();
}

// Converts like the C cast it replaces, but never through an out-of-range conversion:
// values beyond the 32-bit range saturate instead of being undefined.
static int32_t truncateToInt32(double value)
{
    if (!(value == value))
        return 0;
    if (value >= 2147483647.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

Hms secondsToHms(double duration)
{
    const int32_t whole = truncateToInt32(duration);
    Hms hms;
    hms.hours = whole / 3600;
    hms.minutes = truncateToInt32(duration - hms.hours * 3600.0) / 60;
    hms.seconds = static_cast<int32_t>(static_cast<int64_t>(whole) - hms.hours * 3600LL - hms.minutes * 60LL);
    return hms;
}

double hmsToSeconds(int32_t hours, int32_t minutes, int32_t seconds)
{
    // Wraps like 32-bit signed arithmetic, done in unsigned to stay defined.
    const uint32_t total = static_cast<uint32_t>(hours) * 3600u + static_cast<uint32_t>(minutes) * 60u +
                           static_cast<uint32_t>(seconds);
    return static_cast<double>(static_cast<int32_t>(total));
}

int32_t trustedRecordCount(int32_t stored, int32_t wholeInFile)
{
    // The program keeps the count field and the file's length in step; they differ only in a damaged or
    // half-written file, or when the file could not be read. A count below the records would let the next
    // connection overwrite them, one beyond them would leave a gap of empty rows or grow the file by gigabytes.
    if (wholeInFile >= 0)
        return wholeInFile;
    return stored < 0 ? 0 : stored;
}

void loadRecordCount()
{
    readRecordCount();
    accounting.recordCount = trustedRecordCount(accounting.recordCount, wholeRecordsInFile());
}

double currentMonthSecondsShown()
{
    const LiveConnection& live = accounting.liveConnection;
    if (!live.connected)
        return accounting.counterBlock.curMonthSeconds;
    return live.curConnSeconds - live.carriedSeconds + accounting.counterBlock.curMonthSeconds;
}

double currentMonthCostShown()
{
    const LiveConnection& live = accounting.liveConnection;
    if (!live.connected)
        return accounting.counterBlock.curMonthCost;
    return live.curConnCost - live.carriedCost + accounting.counterBlock.curMonthCost;
}
