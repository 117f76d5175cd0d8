// The race analysis over long runs: everything it shows is derived from the lap grids, so
// each figure rereads whole grids and grows with the number of laps.
#include <benchmark/benchmark.h>

#include "analysis/driving_time.h"
#include "analysis/lap_chart.h"
#include "analysis/lap_export.h"
#include "bench_console.h"

namespace velmora::bench {
namespace {

// Per panel, before a render that follows a lap: driving time per driver and the stint.
void BM_UpdateDrivingFigures(benchmark::State& state) {
    BenchConsole b(1, static_cast<int>(state.range(0)));
    PanelState& p = b.console.st.panels[0];
    p.Spd_DriverInfo.SetRowCount(2);
    p.Spd_DriverInfo.SetCell(1, 1, "Driver A");
    p.Spd_DriverInfo.SetCell(2, 1, "Driver B");
    for (auto _ : state) {
        UpdateDrivingFigures(p, b.console.clock);
        benchmark::DoNotOptimize(p.Lbl_Stint.caption);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_UpdateDrivingFigures)->RangeMultiplier(10)->Range(10, 5000)->Complexity();

// The chart's data for three cars.
void BM_BuildLapChart(benchmark::State& state) {
    BenchConsole b(3, static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(BuildLapChart(b.console.st));
}
BENCHMARK(BM_BuildLapChart)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);

// The whole CSV text for three cars.
void BM_BuildLapExportText(benchmark::State& state) {
    BenchConsole b(3, static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildLapExportText(b.console.st, b.console.clock));
}
BENCHMARK(BM_BuildLapExportText)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora::bench
