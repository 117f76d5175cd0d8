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

// The engine's refresh after each lap, before the lap's reply can go: it folds only the row
// blocks that changed since the last refresh, so it should not grow with the race.
void BM_DrivingFiguresAfterALap(benchmark::State& state) {
    BenchConsole b(1, static_cast<int>(state.range(0)));
    ConsoleState& st = b.console.st;
    Grid& laps = st.panels[0].Spd_LapTime;
    st.panels[0].Spd_DriverInfo.SetRowCount(2);
    st.panels[0].Spd_DriverInfo.SetCell(1, 1, "Driver A");
    st.panels[0].Spd_DriverInfo.SetCell(2, 1, "Driver B");
    DrivingFigures figures;
    figures.Refresh(st, b.console.clock);
    const int last = laps.RowCount();
    int n = 0;
    for (auto _ : state) {
        // A lap recorded in the last row, as the car's return does.
        laps.SetCell(last, 4, std::to_string(80'000 + (++n % 2)));
        figures.Refresh(st, b.console.clock);
        benchmark::DoNotOptimize(st.panels[0].Lbl_Stint.caption);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DrivingFiguresAfterALap)->Arg(10)->Arg(5000);

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
