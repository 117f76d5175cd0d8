#include "core/tick_clock.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "fakes/fakes.h"

namespace velmora::test {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(ClockParams, OnlyTheExactTextSelectsMilliseconds) {
    struct Case {
        std::string precision;
        int silence;
        std::int32_t ticksPerSecond, tickToMs, silenceTicks;
        std::string fraction;
    };
    const std::vector<Case> cases = {
        {"1/1000", 10, 1000, 1, 10000, "000"}, {"1/100", 10, 100, 10, 1000, "00"},
        {"abc", 10, 100, 10, 1000, "00"},      {" 1/1000", 10, 100, 10, 1000, "00"},
        {"1/1000 ", 99, 100, 10, 9900, "00"},  {"1/1000", 99, 1000, 1, 99000, "000"},
        {"", 1, 100, 10, 100, "00"},
    };
    for (const auto& c : cases) {
        const ClockParams p = DeriveClockParams(c.precision, c.silence);
        EXPECT_EQ(p.TicksPerSecond, c.ticksPerSecond) << "'" << c.precision << "'";
        EXPECT_EQ(p.TickToMs, c.tickToMs) << "'" << c.precision << "'";
        EXPECT_EQ(p.SilenceTicks, c.silenceTicks) << "'" << c.precision << "'";
        EXPECT_EQ(p.FractionFormat, c.fraction) << "'" << c.precision << "'";
    }
    EXPECT_EQ(DeriveClockParams("1/1000", std::numeric_limits<int>::max()).SilenceTicks, kMax);
    const ClockParams defaults;
    EXPECT_EQ(defaults.SilenceTicks, 10000);
}

TEST(TickClock, CountsPeriodsOfTheMonotonicClock) {
    FakeMonotonic mono;
    TickClock clock(mono);
    EXPECT_EQ(clock.Now(), 0);  // before the first start
    EXPECT_FALSE(clock.Running());
    clock.Stop();  // stopping a clock that never ran changes nothing
    EXPECT_EQ(clock.Now(), 0);

    clock.Start(1000);
    EXPECT_TRUE(clock.Running());
    EXPECT_EQ(clock.Now(), 0);
    mono.ns += 999'999;
    EXPECT_EQ(clock.Now(), 0);  // a period not yet complete does not count
    mono.ns += 1;
    EXPECT_EQ(clock.Now(), 1);
    mono.AdvanceMs(83455);
    EXPECT_EQ(clock.Now(), 83456);

    clock.Start(100);  // a new measurement restarts at 0 with 10 ms ticks
    EXPECT_EQ(clock.Now(), 0);
    mono.AdvanceMs(9);
    EXPECT_EQ(clock.Now(), 0);
    mono.AdvanceMs(1);
    EXPECT_EQ(clock.Now(), 1);
    mono.AdvanceMs(1990);
    EXPECT_EQ(clock.Now(), 200);
}

TEST(TickClock, StopFreezesTheCountAndStartRestartsIt) {
    FakeMonotonic mono;
    TickClock clock(mono);
    clock.Start(1000);
    mono.AdvanceMs(5000);
    clock.Stop();
    EXPECT_FALSE(clock.Running());
    mono.AdvanceMs(7000);
    EXPECT_EQ(clock.Now(), 5000);
    clock.Stop();
    EXPECT_EQ(clock.Now(), 5000);

    // A reading kept from the earlier run gives a negative difference afterwards.
    const std::int32_t earlier = clock.Now();
    clock.Start(1000);
    mono.AdvanceMs(1234);
    EXPECT_EQ(clock.Now(), 1234);
    EXPECT_EQ(clock.Now() - earlier, -3766);
}

TEST(TickClock, LongRunsAreExactAndSaturateInsteadOfWrapping) {
    FakeMonotonic mono;
    TickClock clock(mono);
    clock.Start(1000);
    mono.AdvanceMs(3'600'000);  // one hour
    EXPECT_EQ(clock.Now(), 3'600'000);
    clock.Start(100);
    mono.AdvanceMs(3'600'000);
    EXPECT_EQ(clock.Now(), 360'000);

    clock.Start(1000);
    EXPECT_FALSE(clock.NearLimit(60'000));
    mono.AdvanceMs(kMax - 60'000);
    EXPECT_FALSE(clock.NearLimit(60'000));
    mono.AdvanceMs(1);
    EXPECT_TRUE(clock.NearLimit(60'000));
    mono.AdvanceMs(60'000 + 1'000'000);  // past the limit
    EXPECT_EQ(clock.Now(), kMax);
    EXPECT_TRUE(clock.NearLimit(0) == false);  // at the limit, not beyond it
    EXPECT_FALSE(clock.NearLimit(-5));
    clock.Stop();
    EXPECT_EQ(clock.Now(), kMax);
}

// A measurement carried on after a restart of the program: the count goes on from the elapsed
// time given, on a monotonic clock with another origin, at either tick rate; or it stands.
TEST(TickClock, ResumesFromAnElapsedTimeOrHoldsAStoppedCount) {
    FakeMonotonic mono;
    mono.ns = 5'000'000'000'000;  // another boot
    TickClock clock(mono);
    clock.Resume(1000, 3'723'456'789'000);  // 1 h 2 min 3.456789 s
    EXPECT_TRUE(clock.Running());
    EXPECT_EQ(clock.Now(), 3'723'456);
    mono.AdvanceMs(544);
    EXPECT_EQ(clock.Now(), 3'724'000);
    clock.Resume(100, 12'345'000'000);
    EXPECT_EQ(clock.Now(), 1234);
    clock.Resume(1000, -7);  // never before tick 0
    EXPECT_EQ(clock.Now(), 0);

    clock.Hold(86'400'000);
    EXPECT_FALSE(clock.Running());
    mono.AdvanceMs(10'000);
    EXPECT_EQ(clock.Now(), 86'400'000);
    clock.Start(1000);  // the next measurement starts at 0 as ever
    EXPECT_EQ(clock.Now(), 0);
}

TEST(TickClock, AMonotonicClockGoingBackReadsZero) {
    FakeMonotonic mono;
    TickClock clock(mono);
    clock.Start(1000);
    mono.AdvanceMs(-5);
    EXPECT_EQ(clock.Now(), 0);
}

}  // namespace
}  // namespace velmora::test
