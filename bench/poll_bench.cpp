// Cost of one timer tick's poll: idle, connected within the same second, and advancing the duration.
#include <benchmark/benchmark.h>

#include "core/monitor.h"
#include "core/settings.h"
#include "fakes/world.h"

namespace {

constexpr int32_t kStart = 947102370;

// Polls as often as the benchmark asks; fails it when the polls touched the data file or the display.
void pollQuietly(benchmark::State& state)
{
    const int filesBefore = fake.fileOperations;
    const int paintsBefore = fake.paints;
    for (auto _ : state)
        pollConnection(Tick::Poll);
    const int files = fake.fileOperations - filesBefore;
    const int paints = fake.paints - paintsBefore;
    state.counters["file_ops"] = files;
    state.counters["paints"] = paints;
    if (files != 0 || paints != 0)
        state.SkipWithError("a quiet poll touched the data file or the display");
}

void connectAtStart()
{
    resetWorld();
    settings.block.tariffCommon = settings.block.tariffEconomic = settings.block.tariffWeekend = 0.6;
    settings.block.commonFrom = Hms{7, 0, 0};
    settings.block.commonTo = Hms{20, 0, 0};
    fake.calendarTime = kStart;
    fake.connectionCount = 1;
    fake.connectionState = kRasConnected;
    pollConnection(Tick::Poll);
}

void BM_IdlePoll(benchmark::State& state)
{
    resetWorld();
    pollQuietly(state);
}
BENCHMARK(BM_IdlePoll);

// A connected poll that finds the clock still in the second of the last update: the 20 of 21 polls a second.
void BM_ConnectedPollWithinTheSecond(benchmark::State& state)
{
    connectAtStart();
    pollQuietly(state);
}
BENCHMARK(BM_ConnectedPollWithinTheSecond);

// Every poll a second later: the duration advances, is priced and repainted.
void BM_AdvancingPoll(benchmark::State& state)
{
    connectAtStart();
    fake.useMomentOverride = false;
    int64_t polls = 0;
    for (auto _ : state) {
        ++fake.calendarTime;
        pollConnection(Tick::Poll);
        // The recording fakes keep every call's name; drop them now and then so memory stays flat.
        if ((++polls & 1023) == 0)
            fake.calls.clear();
    }
    state.counters["seconds"] = accounting.liveConnection.curConnSeconds;
    if (accounting.liveConnection.curConnSeconds != static_cast<double>(polls))
        state.SkipWithError("the duration did not advance once per poll");
}
BENCHMARK(BM_AdvancingPoll);

} // namespace

BENCHMARK_MAIN();
