#include "engine/clock_offset.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora::test {
namespace {

// The monotonic clock runs 1,000 s behind the real-time one; each try reads real, mono, real.
// A thread preempted between two readings of a try returns to clocks that moved on meanwhile.
TEST(ReadClockOffset, TakesTheNarrowestReadingSoAPreemptionCannotShiftTheStamps) {
    constexpr std::int64_t kOffset = -1'000'000'000'000;
    constexpr std::int64_t kMs = 1'000'000;
    struct Case {
        const char* what;
        std::vector<std::int64_t> realTimes;  // the instants (real time) of each reading
        std::int64_t offsetError;             // of the offset read, in ns
        int readings;
    };
    // Instants: try k reads at t, t + gap1, t + gap1 + gap2.
    const Case cases[] = {
        {"no preemption: one try", {0, 100, 200}, 0, 3},
        {"away 6 ms after the first reading: the next try is tight",
         {0, 6 * kMs, 6 * kMs + 100, 7 * kMs, 7 * kMs + 100, 7 * kMs + 200},
         0,
         6},
        {"away 6 ms after the mono reading, then 2 ms, then tight",
         {0, 100, 6 * kMs, 10 * kMs, 12 * kMs, 12 * kMs + 100, 20 * kMs, 20 * kMs + 100,
          20 * kMs + 200},
         0,
         9},
        {"away every try: the narrowest (1 ms, mono read at its middle) wins",
         {0, 5 * kMs, 5 * kMs + 100, 10 * kMs, 10 * kMs + 500'000, 11 * kMs, 20 * kMs, 23 * kMs,
          23 * kMs + 100, 30 * kMs, 34 * kMs, 34 * kMs + 100},
         0,
         12},
    };
    for (const Case& k : cases) {
        std::size_t next = 0;
        std::int64_t last = 0;
        auto at = [&] {
            last = next < k.realTimes.size() ? k.realTimes[next] : last;
            ++next;
            return last;
        };
        const ClockOffset read =
            ReadClockOffset([&] { return at(); }, [&] { return at() + kOffset; });
        EXPECT_EQ(read.offsetNs - kOffset, k.offsetError) << k.what;
        EXPECT_EQ(static_cast<int>(next), k.readings) << k.what;
        EXPECT_GE(read.windowNs, 0) << k.what;
    }
}

TEST(ReadClockOffset, ARealTimeClockSteppedBackIsNeverChosenOverASteadyReading) {
    std::vector<std::int64_t> real = {1'000'000, 0, 0, 100};  // stepped back during try 1
    std::vector<std::int64_t> mono = {50, 50};
    std::size_t r = 0;
    std::size_t m = 0;
    const ClockOffset read = ReadClockOffset([&] { return real[r++]; }, [&] { return mono[m++]; });
    EXPECT_EQ(read.windowNs, 100);
    EXPECT_EQ(read.offsetNs, 0);
}

}  // namespace
}  // namespace velmora::test
