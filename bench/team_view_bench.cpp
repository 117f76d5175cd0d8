// What the team view's feed costs the thread that renders the window: the fingerprint after
// every render, and the model when something changed, with a lap grid changed (the slot's lap
// part is read anew) or only the live figures.
#include <benchmark/benchmark.h>

#include "bench_console.h"
#include "teamview/team_view_model.h"

namespace velmora::bench {
namespace {

void BM_TeamViewFingerprint(benchmark::State& state) {
    BenchConsole b(3, static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(TeamViewFingerprint(b.console.st, b.console.clock));
}
BENCHMARK(BM_TeamViewFingerprint)->Arg(10)->Arg(5000);

// A lap recorded on one car: its grid changed, the other two come from the cache.
void BM_TeamViewAfterALap(benchmark::State& state) {
    BenchConsole b(3, static_cast<int>(state.range(0)));
    TeamViewBuilder builder;
    builder.Build(b.console.st, b.console.clock);
    Grid& g = b.console.st.panels[0].Spd_LapTime;
    int k = 0;
    for (auto _ : state) {
        g.SetCell(1, 3, (++k & 1) ? "x" : "");
        benchmark::DoNotOptimize(builder.Build(b.console.st, b.console.clock));
    }
}
BENCHMARK(BM_TeamViewAfterALap)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);

// The clock or a state line moved, no grid changed.
void BM_TeamViewLiveOnly(benchmark::State& state) {
    BenchConsole b(3, static_cast<int>(state.range(0)));
    TeamViewBuilder builder;
    builder.Build(b.console.st, b.console.clock);
    for (auto _ : state) benchmark::DoNotOptimize(builder.Build(b.console.st, b.console.clock));
}
BENCHMARK(BM_TeamViewLiveOnly)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora::bench
