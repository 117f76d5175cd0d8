// The rulebooks of three events and a national driving-time cap, over races built to sit
// exactly at, or a millisecond beyond, each limit: every breach is found, nothing else is.
#include <gtest/gtest.h>

#include "race.h"

namespace velmora::test {
namespace {

constexpr std::int64_t m = kMinute;

struct Expected {
    BreachKind kind;
    std::int32_t lap;
    std::int64_t atMs;
    bool provisional = false;
};

struct EventCase {
    const char* what;
    Race race;
    std::string driverNow;
    std::int64_t plannedEndMs;
    std::vector<Expected> breaches;
    std::int64_t penaltyLaps = 0;
    std::int64_t nowMs = -1;  // -1: when the last lap closed
};

void CheckEvent(const DrivingRules& rules, const std::vector<EventCase>& cases) {
    for (const EventCase& c : cases) {
        SCOPED_TRACE(c.what);
        const LiveInput live{c.nowMs < 0 ? c.race.EndMs() : c.nowMs, c.driverNow, false,
                             c.plannedEndMs};
        const RuleReport r = Judge(rules, c.race, live);
        ASSERT_EQ(r.breaches.size(), c.breaches.size());
        for (std::size_t k = 0; k < c.breaches.size(); ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(r.breaches[k].kind, c.breaches[k].kind);
            EXPECT_EQ(r.breaches[k].lap, c.breaches[k].lap);
            EXPECT_EQ(r.breaches[k].atMs, c.breaches[k].atMs);
            EXPECT_EQ(r.breaches[k].provisional, c.breaches[k].provisional);
        }
        EXPECT_EQ(r.penaltyLaps, c.penaltyLaps);
    }
}

using K = BreachKind;

// Stints of 15 to 60 minutes; the minimum not in the last 15 minutes; a lap per breach.
TEST(EventRules, A) {
    DrivingRules rules;
    rules.minStintMs = 15 * m;
    rules.maxStintMs = 60 * m;
    rules.finalPeriodMs = 15 * m;
    rules.penaltyLaps = 1;
    const std::int64_t L = 5 * m, end = 120 * m;
    CheckEvent(rules, {
                          {"stints of exactly the maximum and the minimum",
                           Race().Leg("A", 6, L).Leg("B", 12, L).Leg("A", 3, L).Leg("B", 3, L),
                           "B",
                           end,
                           {}},
                          {"a stint a millisecond over the maximum",
                           Race().Leg("A", 6, L).Leg("B", 12, L, 1).Leg("A", 6, L),
                           "A",
                           end,
                           {{K::StintTooLong, 18, 90 * m}},
                           1},
                          {"a stint a millisecond short of the minimum",
                           Race().Leg("A", 3, L, -1).Leg("B", 12, L).Leg("A", 9, L),
                           "A",
                           end,
                           {{K::StintTooShort, 3, 15 * m - 1}},
                           1,
                           end},
                          {"short stints ending in the final period",
                           Race().Leg("A", 12, L).Leg("B", 8, L).Leg("A", 2, L).Leg("B", 2, L),
                           "B",
                           end,
                           {}},
                          {"a short stint ending as the final period begins",
                           Race().Leg("A", 12, L).Leg("B", 7, L).Leg("A", 2, L).Leg("B", 3, L),
                           "B",
                           end,
                           {}},
                          {"a short stint ending a millisecond before it",
                           Race().Leg("A", 12, L).Leg("B", 7, L, -1).Leg("A", 2, L).Leg("B", 3, L),
                           "B",
                           end,
                           {{K::StintTooShort, 21, 105 * m - 1}},
                           1,
                           end},
                          {"the maximum still applies in the final period",
                           Race().Leg("A", 12, L).Leg("B", 12, L, 1),
                           "B",
                           end,
                           {{K::StintTooLong, 24, end}},
                           1},
                          {"two breaches cost two laps",
                           Race().Leg("A", 3, L, -1).Leg("B", 12, L, 1).Leg("A", 9, L),
                           "A",
                           end,
                           {{K::StintTooShort, 3, 15 * m - 1}, {K::StintTooLong, 15, 75 * m - 1}},
                           2},
                      });
}

// 6 hours; stints of 10 to 40 minutes; stops of at least 1:30; at least 13 driver changes.
TEST(EventRules, B) {
    DrivingRules rules;
    rules.minStintMs = 10 * m;
    rules.maxStintMs = 40 * m;
    rules.minStopMs = 90'000;
    rules.minChanges = 13;
    const std::int64_t L = 2 * m, end = 360 * m;
    // Drivers A, B, C taking turns; a stop of `stop(k)` after leg k.
    auto race = [L](std::vector<int> legLaps, std::int64_t shortStopLeg = -1,
                    std::int64_t shortStop = 0) {
        Race r;
        for (std::size_t k = 0; k < legLaps.size(); ++k) {
            const bool last = k + 1 == legLaps.size();
            const std::int64_t stop =
                last ? kPassMs
                     : (static_cast<std::int64_t>(k) == shortStopLeg ? shortStop : 90'000);
            r.Leg(std::string(1, "ABC"[k % 3]), legLaps[k], L, 0, stop);
        }
        return r;
    };
    const std::vector<int> thirteenChanges = {13, 13, 13, 13, 13, 13, 13,
                                              13, 13, 13, 13, 13, 13, 11};
    Race twentySecondPasses = race(thirteenChanges);
    twentySecondPasses.Laps()[2].passEndMs = 6 * m + 20'000;  // no stop
    twentySecondPasses.Laps()[3].passEndMs = 8 * m + 20'001;  // a stop, and too short
    std::vector<int> lastStintShort = thirteenChanges;
    lastStintShort.back() = 4;
    CheckEvent(rules,
               {
                   {"13 changes at stops of exactly 1:30", race(thirteenChanges), "B", end, {}},
                   {"a stop a millisecond short",
                    race(thirteenChanges, 4, 89'999),
                    "B",
                    end,
                    {{K::StopTooShort, 65, 130 * m + 89'999}}},
                   {"a driver change at a pass through the pit",
                    race(thirteenChanges, 2, kPassMs),
                    "B",
                    end,
                    {{K::StopTooShort, 39, 78 * m + kPassMs}}},
                   {"passes of 20 s and of a millisecond more",
                    twentySecondPasses,
                    "B",
                    end,
                    {{K::StopTooShort, 4, 8 * m + 20'001}}},
                   {"twelve changes",
                    race({14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 12}),
                    "A",
                    end,
                    {{K::MissedChange, 181, end}}},
                   {"stints at both limits and a millisecond beyond them, before the end",
                    Race()
                        .Leg("A", 20, L, 0, 90'000)
                        .Leg("B", 5, L, 0, 90'000)
                        .Leg("A", 20, L, 1, 90'000)
                        .Leg("B", 5, L, -1, 90'000)
                        .Leg("C", 10, L),
                    "C",
                    end,
                    {{K::StintTooLong, 45, 90 * m}, {K::StintTooShort, 50, 100 * m}}},
                   {"without a final period the last stint has the minimum too",
                    race(lastStintShort),
                    "B",
                    347 * m,
                    {{K::StintTooShort, 174, 347 * m, true}},
                    0,
                    347 * m},
               });
}

// Stints of at most 45 minutes; 3 compulsory stops; 3 laps per stop missed.
TEST(EventRules, C) {
    DrivingRules rules;
    rules.maxStintMs = 45 * m;
    rules.minStops = 3;
    rules.penaltyLaps = 3;
    const std::int64_t L = 3 * m, stop = 60'000;
    CheckEvent(rules, {
                          {"three stops, stints of exactly 45 minutes",
                           Race()
                               .Leg("A", 15, L, 0, stop)
                               .Leg("B", 15, L, 0, stop)
                               .Leg("A", 15, L, 0, stop)
                               .Leg("B", 15, L),
                           "B",
                           180 * m,
                           {}},
                          {"a stop without a change does not end the stint",
                           Race()
                               .Leg("A", 10, L, 0, 120'000)
                               .Leg("A", 6, L, 0, stop)
                               .Leg("B", 15, L, 0, stop)
                               .Leg("A", 15, L, 0, stop)
                               .Leg("B", 14, L),
                           "B",
                           180 * m,
                           {{K::StintTooLong, 16, 45 * m}},
                           3},
                          {"one stop missed",
                           Race().Leg("A", 14, L, 0, stop).Leg("B", 14, L, 0, stop).Leg("A", 12, L),
                           "A",
                           120 * m,
                           {{K::MissedStop, 41, 120 * m}},
                           3},
                          {"two stops missed",
                           Race().Leg("A", 14, L, 0, stop).Leg("B", 14, L),
                           "B",
                           84 * m,
                           {{K::MissedStop, 29, 84 * m}, {K::MissedStop, 29, 84 * m}},
                           6},
                      });
}

// At most 3 hours in any 5, and (here) 200 minutes in all.
TEST(EventRules, RollingWindowAndTotal) {
    DrivingRules rules;
    rules.windowCapMs = 180 * m;
    rules.windowMs = 300 * m;
    rules.maxDriverTotalMs = 200 * m;
    const std::int64_t L = 5 * m, end = 720 * m;
    auto race = [L](std::int64_t lastExtra) {
        return Race()
            .Leg("A", 12, L)
            .Leg("B", 6, L)
            .Leg("A", 12, L)
            .Leg("B", 6, L)
            .Leg("A", 12, L, lastExtra);
    };
    // A drives one hour in three; the others fill in and stay within both limits.
    Race spread;
    for (const char* others : {"BC", "DE", "BC"}) {
        spread.Leg("A", 12, L).Leg(std::string(1, others[0]), 12, L);
        spread.Leg(std::string(1, others[1]), 12, L);
    }
    spread.Leg("A", 12, L);
    CheckEvent(rules,
               {
                   {"exactly 3 hours within 5", race(0), "A", end, {}},
                   {"a millisecond more", race(1), "A", end, {{K::WindowTooLong, 48, 240 * m}}},
                   {"more than the total, spread wider than any window",
                    spread,
                    "A",
                    end,
                    {{K::DriverTotalTooLong, 113, 560 * m}}},
               });
    const RuleReport r = Judge(rules, race(1), {240 * m + 1, "A", false, end});
    ASSERT_EQ(r.drivers.size(), 2u);
    EXPECT_EQ(r.drivers[0].windowMaxMs, 180 * m + 1);
    EXPECT_EQ(r.drivers[0].totalMs, 180 * m + 1);
    EXPECT_EQ(Judge(rules, spread, {600 * m, "A", false, end}).drivers[0].windowMaxMs, 120 * m);
}

}  // namespace
}  // namespace velmora::test
