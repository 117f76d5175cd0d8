// Cost of one TickCounter reading, next to the clock read it is derived from.
#include <benchmark/benchmark.h>

#include <chrono>

#include "core/tick_clock.h"

namespace velmora::bench {
namespace {

class SteadyClock : public MonotonicClock {
  public:
    std::int64_t NowNs() const override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

void BM_SteadyClockNow(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(std::chrono::steady_clock::now());
}
BENCHMARK(BM_SteadyClockNow);

void BM_TickClockNow(benchmark::State& state) {
    SteadyClock mono;
    TickClock clock(mono);
    clock.Start(1000);
    for (auto _ : state) benchmark::DoNotOptimize(clock.Now());
}
BENCHMARK(BM_TickClockNow);

}  // namespace
}  // namespace velmora::bench
