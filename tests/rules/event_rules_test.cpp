// The rulebooks of three events and a national driving-time cap, over races built to sit
// exactly at, or a millisecond beyond, each limit: every breach is found, nothing else is.
#include <gtest/gtest.h>

#include "race.h"

namespace velmora::test {
namespace {

constexpr std::int64_t m = kMinute;
using K = BreachKind;

struct Expected {
    BreachKind kind;
    std::int32_t lap;
    std::int64_t atMs;
    bool provisional = false;
};

struct EventCase {
    const char* what;
    const char* legs;  // Race::Of
    const char* driverNow;
    std::int64_t plannedEndMs;
    std::vector<Expected> breaches;
    std::int64_t penaltyLaps = 0;
    std::int64_t nowMs = -1;  // -1: when the last lap closed
};

EventCase E(const char* what, const char* legs, const char* driverNow, std::int64_t plannedEndMs,
            std::vector<Expected> breaches = {}, std::int64_t penaltyLaps = 0,
            std::int64_t nowMs = -1) {
    return {what, legs, driverNow, plannedEndMs, std::move(breaches), penaltyLaps, nowMs};
}

void CheckEvent(const DrivingRules& rules, std::int64_t lapMs, std::int64_t changeStopMs,
                const std::vector<EventCase>& cases) {
    for (const EventCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Race race = Race::Of(c.legs, lapMs, changeStopMs);
        const RuleReport r =
            Judge(rules, race,
                  {c.nowMs < 0 ? race.EndMs() : c.nowMs, c.driverNow, false, c.plannedEndMs});
        ASSERT_EQ(r.breaches.size(), c.breaches.size());
        for (std::size_t k = 0; k < c.breaches.size(); ++k) {
            const Expected& e = c.breaches[k];
            EXPECT_EQ(r.breaches[k].kind, e.kind) << k;
            EXPECT_EQ(r.breaches[k].lap, e.lap) << k;
            EXPECT_EQ(r.breaches[k].atMs, e.atMs) << k;
            EXPECT_EQ(r.breaches[k].provisional, e.provisional) << k;
        }
        EXPECT_EQ(r.penaltyLaps, c.penaltyLaps);
    }
}

// Stints of 15 to 60 minutes; the minimum not in the last 15 minutes; a lap per breach.
TEST(EventRules, A) {
    DrivingRules rules;
    rules.minStintMs = 15 * m;
    rules.maxStintMs = 60 * m;
    rules.finalPeriodMs = 15 * m;
    rules.penaltyLaps = 1;
    const std::int64_t end = 120 * m;
    CheckEvent(rules, 5 * m, kPassMs,
               {
                   E("stints of exactly the maximum and the minimum", "A6 B12 A3 B3", "B", end),
                   E("a millisecond over the maximum", "A6 B12+1 A6", "A", end,
                     {{K::StintTooLong, 18, 90 * m}}, 1),
                   E("a millisecond short of the minimum", "A3-1 B12 A9", "A", end,
                     {{K::StintTooShort, 3, 15 * m - 1}}, 1, end),
                   E("short stints ending in the final period", "A12 B8 A2 B2", "B", end),
                   E("a short stint ending as the final period begins", "A12 B7 A2 B3", "B", end),
                   E("... a millisecond before it", "A12 B7-1 A2 B3", "B", end,
                     {{K::StintTooShort, 21, 105 * m - 1}}, 1, end),
                   E("the maximum still applies in the final period", "A12 B12+1", "B", end,
                     {{K::StintTooLong, 24, end}}, 1),
                   E("two breaches cost two laps", "A3-1 B12+1 A9", "A", end,
                     {{K::StintTooShort, 3, 15 * m - 1}, {K::StintTooLong, 15, 75 * m - 1}}, 2),
               });
}

// 6 hours; stints of 10 to 40 minutes; stops of at least 1:30; at least 13 driver changes.
TEST(EventRules, B) {
    DrivingRules rules;
    rules.minStintMs = 10 * m;
    rules.maxStintMs = 40 * m;
    rules.minStopMs = 90'000;
    rules.minChanges = 13;
    const std::int64_t end = 360 * m;
    CheckEvent(
        rules, 2 * m, 90'000,
        {
            E("13 changes at stops of exactly 1:30",
              "A13 B13 C13 A13 B13 C13 A13 B13 C13 A13 B13 C13 A13 B11", "B", end),
            E("a stop a millisecond short",
              "A13 B13 C13 A13 B13/89999 C13 A13 B13 C13 A13 B13 C13 A13 B11", "B", end,
              {{K::StopTooShort, 65, 130 * m + 89'999}}),
            E("a driver change at a pass through the pit",
              "A13 B13 C13/1000 A13 B13 C13 A13 B13 C13 A13 B13 C13 A13 B11", "B", end,
              {{K::StopTooShort, 39, 78 * m + 1'000}}),
            E("passes of 20 s (no stop) and of a millisecond more",
              "A2 A1/20000 A1/20001 A9 B13 C13 A13 B13 C13 A13 B13 C13 A13 B13 C13 A13 B11", "B",
              end, {{K::StopTooShort, 4, 8 * m + 20'001}}),
            E("twelve changes", "A14 B14 C14 A14 B14 C14 A14 B14 C14 A14 B14 C14 A12", "A", end,
              {{K::MissedChange, 181, end}}),
            E("both limits and a millisecond beyond them, before the end", "A20 B5 A20+1 B5-1 C10",
              "C", end, {{K::StintTooLong, 45, 90 * m}, {K::StintTooShort, 50, 100 * m}}),
            E("without a final period the last stint has the minimum too",
              "A13 B13 C13 A13 B13 C13 A13 B13 C13 A13 B13 C13 A13 B4", "B", 347 * m,
              {{K::StintTooShort, 174, 347 * m, true}}, 0, 347 * m),
        });
}

// Stints of at most 45 minutes; 3 compulsory stops; 3 laps per stop missed.
TEST(EventRules, C) {
    DrivingRules rules;
    rules.maxStintMs = 45 * m;
    rules.minStops = 3;
    rules.penaltyLaps = 3;
    CheckEvent(
        rules, 3 * m, 60'000,
        {
            E("three stops, stints of exactly 45 minutes", "A15 B15 A15 B15", "B", 180 * m),
            E("a stop without a change does not end the stint", "A10/120000 A6 B15 A15 B14", "B",
              180 * m, {{K::StintTooLong, 16, 45 * m}}, 3),
            E("one stop missed", "A14 B14 A12", "A", 120 * m, {{K::MissedStop, 41, 120 * m}}, 3),
            E("two stops missed", "A14 B14", "B", 84 * m,
              {{K::MissedStop, 29, 84 * m}, {K::MissedStop, 29, 84 * m}}, 6),
        });
}

// At most 3 hours in any 5, and (here) 200 minutes in all.
TEST(EventRules, RollingWindowAndTotal) {
    DrivingRules rules;
    rules.windowCapMs = 180 * m;
    rules.windowMs = 300 * m;
    rules.maxDriverTotalMs = 200 * m;
    const std::int64_t end = 720 * m;
    // In the last case A drives one hour in three, and the others stay within both limits.
    const char* spread = "A12 B12 C12 A12 D12 E12 A12 B12 C12 A12";
    CheckEvent(rules, 5 * m, kPassMs,
               {
                   E("exactly 3 hours within 5", "A12 B6 A12 B6 A12", "A", end),
                   E("a millisecond more", "A12 B6 A12 B6 A12+1", "A", end,
                     {{K::WindowTooLong, 48, 240 * m}}),
                   E("more than the total, spread wider than any window", spread, "A", end,
                     {{K::DriverTotalTooLong, 113, 560 * m}}),
               });
    RuleReport r =
        Judge(rules, Race::Of("A12 B6 A12 B6 A12+1", 5 * m), {240 * m + 1, "A", false, end});
    EXPECT_EQ(r.drivers[0].windowMaxMs, 180 * m + 1);
    EXPECT_EQ(r.drivers[0].totalMs, 180 * m + 1);
    r = Judge(rules, Race::Of(spread, 5 * m), {600 * m, "A", false, end});
    EXPECT_EQ(r.drivers[0].windowMaxMs, 120 * m);
}

}  // namespace
}  // namespace velmora::test
