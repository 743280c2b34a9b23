// Clear's keep rule and the log's rewrite, and the stored log as the list, the export and Clear load it.
#include "core/stored_log.h"

#include "core/clock.h"
#include "core/data_store.h"
#include "core/log_format.h"
#include "core/stored_figures.h"

bool clearKeeps(ClearMode mode, const SystemTime& start, const SystemTime& today)
{
    if (mode == ClearAll)
        return false;
    if (mode != ClearUntilCurrentMonth && mode != ClearUntilLastMonth)
        return true;
    // The current month is always kept; "until last month" keeps the month before it too.
    return inCurrentMonth(start, today) || (mode == ClearUntilLastMonth && inLastMonth(start, today));
}

StoreResult clearStoredLog(ClearMode mode)
{
    // Only the stored records are loaded: a live connection's reserved slot is not in the file yet. A log
    // read in part would be stored as the whole: nothing is cleared then.
    std::vector<ConnectionRecord> records;
    const uint64_t failures = dataFileReadFailures();
    if (!readWholeStoredLog(records)) {
        // Named by the read that failed; a log shorter than its count is the data file's, unreadable whole.
        if (dataFileReadFailures() != failures)
            return latestReadFailure();
        return StoreResult{FileOutcome::Failed, StoreFile::Data, 0};
    }
    const SystemTime today = localSystemTime();
    std::vector<ConnectionRecord> keptRecords;
    for (const ConnectionRecord& record : records)
        if (clearKeeps(mode, record.start, today))
            keptRecords.push_back(record);
    // The kept records are stored again from offset 100 on in their old order, in a new file that takes the
    // old one's place in one step: whatever happens meanwhile, the file on disk is the old log or the new.
    const int32_t kept = static_cast<int32_t>(keptRecords.size());
    const StoreResult result = replaceLog(keptRecords.data(), kept);
    if (result.outcome != FileOutcome::Done)
        return result;
    accounting.recordCount = kept;
    // The live connection keeps its reserved slot after the kept records, where its record will be stored.
    if (accounting.liveConnection.connected)
        accounting.recordCount = kept + 1;
    return result;
}

std::vector<ConnectionRecord> loadStoredLog()
{
    // Grown one block at a time and never beyond what the file delivered, whatever the count says.
    constexpr int32_t kBlock = 1024;
    std::vector<ConnectionRecord> records;
    for (int32_t first = 0; first < accounting.recordCount;) {
        const int32_t wanted = accounting.recordCount - first < kBlock ? accounting.recordCount - first : kBlock;
        const size_t before = records.size();
        records.resize(before + static_cast<size_t>(wanted));
        const int32_t read = readRecords(first, wanted, records.data() + before);
        records.resize(before + static_cast<size_t>(read));
        if (read < wanted)
            break;
        first += read;
    }
    return records;
}

bool readWholeStoredLog(std::vector<ConnectionRecord>& records)
{
    const uint64_t failures = dataFileReadFailures();
    records = loadStoredLog();
    const int32_t stored = accounting.recordCount - (accounting.liveConnection.connected ? 1 : 0);
    return storedFiguresLoaded() && dataFileReadFailures() == failures &&
           static_cast<int64_t>(records.size()) >= stored;
}
