// Growth of the per-lap work with the length of the run.
#include <benchmark/benchmark.h>

#include "bench_console.h"
#include "carlink/laps.h"
#include "carlink/protocol.h"

namespace velmora::bench {
namespace {

// Rereads the whole lap grid: grows with the number of laps.
void BM_RecomputeLapStats(benchmark::State& state) {
    BenchConsole b(1, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        RecomputeLapStats(b.console, 0);
        benchmark::DoNotOptimize(b.console.st.runners[0].BestLapTicks);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RecomputeLapStats)->RangeMultiplier(10)->Range(10, 5000)->Complexity();

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
