// Growth of the per-lap work with the length of the run.
#include <benchmark/benchmark.h>

#include "bench_console.h"
#include "carlink/laps.h"
#include "carlink/protocol.h"
#include "core/console_snapshot.h"

namespace velmora::bench {
namespace {

// A fold of the whole lap grid, as after a restore or a driver change: grows with the laps.
void BM_RecomputeLapStatsFromRowOne(benchmark::State& state) {
    BenchConsole b(1, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        b.console.lapStats[0].atBlock.clear();  // forget the memo
        RecomputeLapStats(b.console, 0);
        benchmark::DoNotOptimize(b.console.st.runners[0].BestLapTicks);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RecomputeLapStatsFromRowOne)->RangeMultiplier(10)->Range(10, 5000)->Complexity();

// What a recorded lap costs: its row changed (here rewritten in place, so the grid keeps its
// length), the fold resumes at that row's block.
void BM_RecomputeLapStatsAfterALap(benchmark::State& state) {
    const int laps = static_cast<int>(state.range(0));
    BenchConsole b(1, laps);
    RecomputeLapStats(b.console, 0);
    Grid& grid = b.console.st.panels[0].Spd_LapTime;
    int lap = 0;
    for (auto _ : state) {
        grid.SetCell(laps, 4, std::to_string(90000 + (++lap % 100)));
        RecomputeLapStats(b.console, 0);
        benchmark::DoNotOptimize(b.console.st.runners[0].BestLapTicks);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RecomputeLapStatsAfterALap)->RangeMultiplier(10)->Range(10, 5000)->Complexity();

// What the engine publishes after a lap (or at most every 10 ms while only datagrams came): a
// copy of the whole console; the lap grids share their rows, so it should not grow with them.
void BM_TakeSnapshot(benchmark::State& state) {
    BenchConsole b(3, static_cast<int>(state.range(0)));
    std::uint64_t seq = 0;
    for (auto _ : state) benchmark::DoNotOptimize(TakeSnapshot(b.console, ++seq, 0));
}
BENCHMARK(BM_TakeSnapshot)->Arg(10)->Arg(5000);

// Three cars with long runs: the ranking reads only the per-car fields, never the grids.
void BM_RefreshRanking(benchmark::State& state) {
    BenchConsole b(3, static_cast<int>(state.range(0)));
    for (int i = 0; i < 3; ++i) RecomputeLapStats(b.console, i);
    for (auto _ : state) {
        RefreshRanking(b.console);
        benchmark::DoNotOptimize(b.console.st.RankKeys[0]);
    }
}
BENCHMARK(BM_RefreshRanking)->Arg(10)->Arg(5000);

// The message every car sends many times a lap: echo equal to the count, no lap recorded.
// With two or more cars each message also refreshes the ranking.
void BM_HandleCarMessageShortBranch(benchmark::State& state) {
    const int cars = static_cast<int>(state.range(0));
    // The echo is read from three characters, so the count must stay below 1000 here.
    BenchConsole b(cars, 500);
    for (int i = 0; i < cars; ++i) RecomputeLapStats(b.console, i);
    const std::string datagram = "500";
    for (auto _ : state) {
        HandleCarMessage(b.console, 0, datagram);
        benchmark::DoNotOptimize(b.net.bytesSent);
    }
    if (b.console.st.runners[0].LapCount != 500) state.SkipWithError("a lap was recorded");
}
BENCHMARK(BM_HandleCarMessageShortBranch)->Arg(1)->Arg(3);

}  // namespace
}  // namespace velmora::bench
