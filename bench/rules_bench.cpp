// The driving-time rule engine at 3 × 5,000 laps, every rule set: the work for each recorded
// lap (the lap added, the car's pass ended, the car's report), the full rebuild a lap
// correction calls for, the report alone (for the panel's time left at every tick), and the
// console's whole rule figures per recorded lap.
#include <benchmark/benchmark.h>

#include <array>
#include <string_view>
#include <vector>

#include "analysis/rule_figures.h"
#include "bench_console.h"
#include "rules/rule_engine.h"

namespace velmora::bench {
namespace {

constexpr std::int64_t kMin = 60'000;
constexpr int kCars = 3;
constexpr int kLaps = 5'000;

DrivingRules AllRules() {
    DrivingRules r;
    r.minStintMs = 15 * kMin;
    r.maxStintMs = 60 * kMin;
    r.finalPeriodMs = 15 * kMin;
    r.minStopMs = 90'000;
    r.minChanges = 13;
    r.minStops = 3;
    r.maxDriverTotalMs = 420 * kMin;
    r.windowCapMs = 180 * kMin;
    r.windowMs = 300 * kMin;
    r.penaltyLaps = 1;
    return r;
}

// A 24-hour race of 5,000 laps of some 17 s (a kart race), four drivers taking turns every
// `stint` laps with a 90 s stop: every 150 laps is some 43 minutes, a stint within the rules;
// every 10 laps is a stress case, each stint a breach of the minimum.
std::vector<LapInput> CarLaps(int count, int stint, int car) {
    static constexpr std::array<std::string_view, 4> kDrivers = {"Driver A", "Driver B", "Driver C",
                                                                 "Driver D"};
    std::vector<LapInput> laps;
    std::int64_t t = 0;
    for (int n = 1; n <= count; ++n) {
        const std::int64_t lapMs = 17'000 + (n * 37 + car * 11) % 600;
        t += lapMs;
        laps.push_back({n, kDrivers[static_cast<std::size_t>((n - 1) / stint) % 4], lapMs, t,
                        t + (n % stint == 0 ? 90'500 : 1'000)});
    }
    return laps;
}

LiveInput LiveAfter(const LapInput& lap) {
    return {*lap.closedAtMs + 10'000, lap.driver, false, 24 * 60 * kMin};
}

// One recorded lap of one car while all three hold 5,000 laps: AddLap, SetPassEnd and the
// car's whole report. Every 1,000 laps a car is set back to 5,000 (not timed).
void BM_RuleEnginePerLap(benchmark::State& state) {
    const int stint = static_cast<int>(state.range(0));
    std::vector<std::vector<LapInput>> cars;
    std::array<RuleEngine, kCars> engines;
    std::array<RuleReport, kCars> reports;
    std::array<int, kCars> next{};
    for (int c = 0; c < kCars; ++c) {
        cars.push_back(CarLaps(kLaps + 1'000, stint, c));
        engines[c].SetRules(AllRules());
        engines[c].Reset(std::span(cars[c]).first(kLaps));
        next[c] = kLaps;
    }
    int car = 0;
    for (auto _ : state) {
        LapInput lap = cars[car][next[car]];
        const std::int64_t passEnd = *lap.passEndMs;
        lap.passEndMs.reset();
        engines[car].AddLap(lap);
        engines[car].SetPassEnd(lap.lap, passEnd);
        engines[car].EvaluateInto(LiveAfter(lap), reports[car]);
        benchmark::DoNotOptimize(reports[car].live.leftMs);
        if (++next[car] == kLaps + 1'000) {
            state.PauseTiming();
            engines[car].Reset(std::span(cars[car]).first(kLaps));
            next[car] = kLaps;
            state.ResumeTiming();
        }
        car = (car + 1) % kCars;
    }
    state.counters["stints"] = static_cast<double>(reports[0].stints.size());
}
BENCHMARK(BM_RuleEnginePerLap)->Arg(150)->Arg(10)->Unit(benchmark::kMicrosecond);

// After a correction: every lap of a 5,000-lap car taken again, then its report.
void BM_RuleEngineReset(benchmark::State& state) {
    const std::vector<LapInput> car = CarLaps(kLaps, static_cast<int>(state.range(0)), 0);
    RuleEngine engine(AllRules());
    RuleReport report;
    for (auto _ : state) {
        engine.Reset(car);
        engine.EvaluateInto(LiveAfter(car.back()), report);
        benchmark::DoNotOptimize(report.live.leftMs);
    }
}
BENCHMARK(BM_RuleEngineReset)->Arg(150)->Arg(10)->Unit(benchmark::kMicrosecond);

// The report of a 5,000-lap car alone, as at every tick of the panel's time left.
void BM_RuleEngineReport(benchmark::State& state) {
    const std::vector<LapInput> car = CarLaps(kLaps, static_cast<int>(state.range(0)), 0);
    RuleEngine engine(AllRules());
    engine.Reset(car);
    RuleReport report;
    LiveInput live = LiveAfter(car.back());
    for (auto _ : state) {
        engine.EvaluateInto(live, report);
        benchmark::DoNotOptimize(report.live.leftMs);
    }
}
BENCHMARK(BM_RuleEngineReport)->Arg(150)->Arg(10)->Unit(benchmark::kMicrosecond);

// What the console's engine thread adds per recorded lap with rules on: the rule figures of
// three cars of 5,000 laps brought up to date after the lap is recorded and again after the
// silence step ends its pass (the feed of the new row and pass end, the report, the panel's
// line and the stint table), each with a snapshot's copy of the lap grid holding the blocks, as
// Engine::Publish leaves them. Every 1,000 laps a car is set back to 5,000 (not timed).
void BM_RuleFiguresPerLap(benchmark::State& state) {
    const int stint = static_cast<int>(state.range(0));
    BenchConsole b(kCars, 0);
    Console& c = b.console;
    RuleSettings rules;
    rules.rules = AllRules();
    SetRuleSettings(c.st, rules);
    std::vector<std::vector<LapInput>> cars;
    for (int car = 0; car < kCars; ++car) cars.push_back(CarLaps(kLaps + 1'000, stint, car));
    auto write = [&](int car, int row, bool passEnd) {
        Grid& g = c.st.panels[static_cast<std::size_t>(car)].Spd_LapTime;
        const LapInput& lap =
            cars[static_cast<std::size_t>(car)][static_cast<std::size_t>(row - 1)];
        if (passEnd) {
            g.SetCell(row, kLapPassEndTickColumn, std::to_string(*lap.passEndMs));
            return;
        }
        if (g.RowCount() < row) g.SetRowCount(row);
        g.SetCell(row, 1, "0'17\"000");
        g.SetCell(row, 2, std::string(lap.driver));
        g.SetCell(row, 4, std::to_string(*lap.lapMs));
        g.SetCell(row, kLapClosedTickColumn, std::to_string(*lap.closedAtMs));
    };
    auto fill = [&](int car) {
        c.st.panels[static_cast<std::size_t>(car)].Spd_LapTime.SetRowCount(0);
        for (int row = 1; row <= kLaps; ++row) {
            write(car, row, false);
            write(car, row, true);
        }
    };
    for (int car = 0; car < kCars; ++car) fill(car);
    RuleFigures figures;
    figures.Refresh(c);
    std::array<int, kCars> next{kLaps + 1, kLaps + 1, kLaps + 1};
    std::array<Grid, kCars> snapshot;
    int car = 0;
    for (auto _ : state) {
        const auto i = static_cast<std::size_t>(car);
        write(car, next[i], false);
        figures.Refresh(c);
        snapshot[i] = c.st.panels[i].Spd_LapTime;
        write(car, next[i], true);
        figures.Refresh(c);
        snapshot[i] = c.st.panels[i].Spd_LapTime;
        benchmark::DoNotOptimize(c.st.panels[i].Lbl_ChangeDue.caption.data());
        if (++next[i] == kLaps + 1'000) {
            state.PauseTiming();
            fill(car);
            figures.Refresh(c);
            next[i] = kLaps + 1;
            state.ResumeTiming();
        }
        car = (car + 1) % kCars;
    }
    state.counters["table_rows"] = c.st.panels[0].Spd_Stints.RowCount();
}
BENCHMARK(BM_RuleFiguresPerLap)->Arg(150)->Arg(10)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora::bench
