// The engine's timers: deadlines at a fixed period from the start, run in deadline order, each
// period owed run once (a held thread catches up), restarts keep the phase, and a handler may
// stop its own timer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine_timers.h"
#include "fakes/fakes.h"

namespace velmora::test {
namespace {

TEST(EngineTimers, DeadlinesRunInOrderEachPeriodOnceAndAtTheirOwnInstant) {
    FakeMonotonic mono;
    int after = 0;
    EngineTimers timers(mono, [&] { ++after; });
    std::vector<std::string> ran;
    std::vector<std::int64_t> at;
    const std::int64_t t0 = mono.ns;
    timers.Start(TimerKey{TimerId::Lap, 0}, 99, [&] { ran.push_back("lap"); });
    timers.Start(TimerKey{TimerId::System}, 250, [&] { ran.push_back("system"); });
    EXPECT_EQ(timers.NextDeadline(), t0 + 99'000'000);

    // Nothing due yet, then a round half a second late: every owed period, in time order.
    timers.RunDue(t0 + 98'000'000, [&](std::int64_t d) { at.push_back(d); });
    EXPECT_TRUE(ran.empty());
    timers.RunDue(t0 + 500'000'000, [&](std::int64_t d) { at.push_back((d - t0) / 1'000'000); });
    const std::vector<std::string> order = {"lap", "lap", "system", "lap", "lap", "lap", "system"};
    EXPECT_EQ(ran, order);
    EXPECT_EQ(at, (std::vector<std::int64_t>{99, 198, 250, 297, 396, 495, 500}));
    EXPECT_EQ(after, 7);
    EXPECT_EQ(timers.NextDeadline(), t0 + 594'000'000);
}

TEST(EngineTimers, ARestartKeepsThePhaseAndAShorterIntervalComesNoLaterThanItsLength) {
    FakeMonotonic mono;
    EngineTimers timers(mono, nullptr);
    const TimerKey key{TimerId::MessBlk, 1};
    const std::int64_t t0 = mono.ns;
    int first = 0, second = 0;
    timers.Start(key, 1000, [&] { ++first; });
    mono.AdvanceMs(400);
    timers.Start(key, 1000, [&] { ++second; });  // same period: same phase, new handler
    EXPECT_EQ(timers.NextDeadline(), t0 + 1'000'000'000);
    timers.Start(key, 100, [&] { ++second; });  // shorter: next at most 100 ms from now
    EXPECT_EQ(timers.NextDeadline(), t0 + 500'000'000);
    timers.RunDue(t0 + 700'000'000, nullptr);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 3);  // 500, 600, 700 ms
    EXPECT_TRUE(timers.IsRunning(key));
    timers.Stop(key);
    timers.Stop(key);  // stopping a stopped timer does nothing
    EXPECT_FALSE(timers.IsRunning(key));
    EXPECT_FALSE(timers.NextDeadline());
}

TEST(EngineTimers, AHandlerMayStopItsOwnTimerOrStartAnother) {
    FakeMonotonic mono;
    EngineTimers timers(mono, nullptr);
    const TimerKey self{TimerId::DriverInfo, 0};
    const TimerKey other{TimerId::GasBlk, 2};
    int ticks = 0, others = 0;
    timers.Start(self, 10, [&] {
        ++ticks;
        timers.Stop(self);
        timers.Start(other, 10, [&] { ++others; });
    });
    mono.AdvanceMs(100);
    timers.RunDue(mono.ns, nullptr);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(timers.IsRunning(self));
    // The other one started when the handler ran (100 ms on the clock): due from 110 ms.
    EXPECT_EQ(others, 0);
    timers.RunDue(mono.ns + 50'000'000, nullptr);
    EXPECT_EQ(others, 5);
}

}  // namespace
}  // namespace velmora::test
