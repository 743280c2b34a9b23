// The history and its CSV on a log of 100 000 records, each timed against loading that log in the same run.
#include <benchmark/benchmark.h>

#include <chrono>

#include "core/csv_export.h"
#include "core/history.h"
#include "core/stored_log.h"
#include "fakes/disk.h"
#include "fakes/world.h"

namespace {

constexpr int kRecords = 100000;

// A log of kRecords connections, about 25 a week over 77 years, on the fake disk.
void storeLongLog()
{
    resetWorld();
    std::vector<ConnectionRecord> records(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        const int day = i / 4;
        SystemTime start{};
        start.wYear = static_cast<uint16_t>(1950 + day / 336);
        start.wMonth = static_cast<uint16_t>(day / 28 % 12 + 1);
        start.wDay = static_cast<uint16_t>(day % 28 + 1);
        start.wHour = static_cast<uint16_t>(8 + i % 4 * 3);
        records[static_cast<size_t>(i)] = ConnectionRecord{start, 600.0 + i % 3600, 0.01 * (i % 500)};
    }
    storeRecords(records);
    storeCount(kRecords);
    accounting.recordCount = kRecords;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each round loads the whole log (the reference), sums it by period and writes the history's CSV; the
// counters give the mean times and the two ratios to the load.
void BM_HistoryOfALongLog(benchmark::State& state)
{
    storeLongLog();
    SystemTime now{};
    now.wYear = 2026;
    now.wMonth = 12;
    now.wDay = 7;
    double loading = 0, summing = 0, writing = 0;
    size_t periods = 0, bytes = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        std::vector<ConnectionRecord> records;
        if (!readWholeStoredLog(records) || records.size() != static_cast<size_t>(kRecords)) {
            state.SkipWithError("the long log did not load whole");
            return;
        }
        loading += secondsSince(start);
        start = std::chrono::steady_clock::now();
        const std::vector<HistoryRow> rows = historyOf(records, now, 1);
        summing += secondsSince(start);
        start = std::chrono::steady_clock::now();
        const std::string csv = historyCsv(rows, 1, CsvCostStyle{true, 60.0, "$"});
        writing += secondsSince(start);
        periods = rows.size();
        bytes = csv.size();
        benchmark::DoNotOptimize(csv.data());
    }
    const double rounds = static_cast<double>(state.iterations());
    state.counters["load_ms"] = 1000 * loading / rounds;
    state.counters["history_ms"] = 1000 * summing / rounds;
    state.counters["csv_ms"] = 1000 * writing / rounds;
    state.counters["history_to_load"] = summing / loading;
    state.counters["csv_to_load"] = writing / loading;
    state.counters["periods"] = static_cast<double>(periods);
    state.counters["csv_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_HistoryOfALongLog)->Unit(benchmark::kMillisecond);

} // namespace
