#include "rules/rule_engine.h"

#include <gtest/gtest.h>

#include "analysis/driving_time.h"
#include "analysis/lap_rows.h"
#include "race.h"

namespace velmora::test {
namespace {

constexpr std::int64_t m = kMinute;

TEST(RuleEngine, StintsStopsAndChangesFollowTheDefinitions) {
    // A drives laps 1-3 and hands over at a 90 s stop; B stops for 30 s after lap 5 without a
    // change; after lap 6 the crew chose A again, who is out on the lap in progress.
    const RuleReport r = Judge({}, Race::Of("A3/90000 B2/30000 B1", 5 * m), {32 * m, "A"});

    EXPECT_EQ(r.stints,
              (std::vector<StintRecord>{{"A", 1, 3, 3, 0, 15 * m, 15 * m, 15 * m, false},
                                        {"B", 4, 6, 3, 15 * m, 30 * m, 15 * m, 15 * m, false},
                                        {"A", 0, 0, 0, 30 * m, 32 * m, 0, 2 * m, true}}));
    EXPECT_EQ(r.stops, (std::vector<PitStopRecord>{
                           {3, 15 * m, 15 * m + 90'000, 90'000, false, true},
                           {5, 25 * m, 25 * m + 30'000, 30'000, false, false},
                           {6, 30 * m, 30 * m + kPassMs, kPassMs, false, true}}));  // a change
    EXPECT_EQ(r.changes, (std::vector<DriverChangeRecord>{{"A", "B", 3, 15 * m, false},
                                                          {"B", "A", 6, 30 * m, true}}));
    EXPECT_EQ(r.drivers, (std::vector<DriverTimeRecord>{{"A", 3, 17 * m, 0}, {"B", 3, 15 * m, 0}}));
    EXPECT_EQ(r.live.stintMs, 2 * m);
    EXPECT_EQ(r.live.changes, 2);
    EXPECT_EQ(r.live.stops, 3);
}

TEST(RuleEngine, AgreesWithThePanelsStintAndDrivingTime) {
    const std::vector<LapRow> rows = {{"60000", "A"}, {"61000", "B"}, {"", ""},
                                      {"62000", "B"}, {"63000", "B"}, {"", "B"},
                                      {"64000", "A"}, {"65000", "A"}, {"", ""}};
    Grid grid(kLapGridColumns);
    FillLaps(grid, rows);
    Race race;
    for (const LapRow& row : rows) {
        if (row.ticks.empty())
            race.Untimed(row.driver);
        else
            race.Leg(row.driver, 1, std::stoll(row.ticks));
    }
    RuleEngine engine;
    const std::vector<LapInput> in = race.Inputs();
    engine.Reset(in);
    const ClockParams clock = DeriveClockParams("1/1000", 10);
    for (const char* driver : {"A", "B", "C"}) {
        SCOPED_TRACE(driver);
        const RuleReport r = engine.Evaluate({race.EndMs(), driver});
        const Stint panel = CurrentStint(grid, driver);
        EXPECT_EQ(r.stints.back().laps, panel.laps);
        EXPECT_EQ(r.stints.back().lapsMs, panel.ticks);
        EXPECT_EQ(StintCaption({r.stints.back().laps, double(r.stints.back().lengthMs)}, clock),
                  StintCaption(panel, clock));
    }
    const std::vector<DriverTotal> totals = DriverTotals(grid);
    const RuleReport r = engine.Evaluate({race.EndMs(), "A"});
    ASSERT_EQ(r.drivers.size(), totals.size());
    for (std::size_t d = 0; d < totals.size(); ++d) {
        EXPECT_EQ(r.drivers[d].driver, totals[d].driver);
        EXPECT_EQ(r.drivers[d].laps, totals[d].laps);
        EXPECT_EQ(r.drivers[d].totalMs, totals[d].ticks);
    }
}

TEST(RuleEngine, LapsAddedOneByOneGiveWhatAResetGives) {
    DrivingRules rules;
    rules.maxStintMs = 12 * m;
    rules.minStopMs = 60'000;
    rules.minChanges = 5;
    const Race race = Race::Of("A4+1/70000 B3/25000 B2/50000 C5", 3 * m);
    const std::vector<LapInput> all = race.Inputs();

    RuleEngine added(rules);
    RuleReport live;
    for (std::size_t k = 0; k < all.size(); ++k) {
        LapInput lap = all[k];
        lap.passEndMs.reset();  // the car leaves after the lap is recorded
        ASSERT_TRUE(added.AddLap(lap));
        added.EvaluateInto({*lap.closedAtMs + 500, lap.driver, true, 60 * m}, live);
        ASSERT_TRUE(added.SetPassEnd(lap.lap, *all[k].passEndMs));
    }
    RuleEngine reset(rules);
    reset.Reset(all);
    const LiveInput now{race.EndMs() + m, "C", false, 60 * m};
    added.EvaluateInto(now, live);
    EXPECT_EQ(live, reset.Evaluate(now));
    EXPECT_EQ(live.breaches.size(), 5u);  // the stints of A, B and C, and B's two stops

    EXPECT_FALSE(added.AddLap(all[3]));  // an earlier lap changed: that calls for Reset
    EXPECT_FALSE(added.SetPassEnd(99, 0));
    rules.stopThresholdMs = 30'000;  // B's 25 s pass is no stop at all now
    added.SetRules(rules);
    EXPECT_EQ(reset.Evaluate(now).stops.size(), 3u);
    EXPECT_EQ(added.Evaluate(now).stops.size(), 2u);
}

TEST(RuleEngine, ABreachOnTheLapInProgressIsProvisional) {
    DrivingRules rules;
    rules.maxStintMs = 60 * m;
    rules.minStintMs = 15 * m;
    rules.minStopMs = 90'000;
    Race race = Race::Of("A12", 5 * m);
    race.Laps().back().passEndMs.reset();  // the car came in at 60:00 and stands in the pit
    RuleEngine engine(rules);
    const std::vector<LapInput> in = race.Inputs();
    engine.Reset(in);

    // A still chosen: the stint runs on while the car stands, past the maximum.
    RuleReport r = engine.Evaluate({61 * m, "A", true});
    ASSERT_EQ(r.breaches.size(), 1u);
    EXPECT_EQ(r.breaches[0],
              (Breach{BreachKind::StintTooLong, 13, 60 * m, "A", 61 * m, 60 * m, true}));
    ASSERT_EQ(r.stops.size(), 1u);
    EXPECT_TRUE(r.stops[0].inProgress);
    EXPECT_FALSE(r.stops[0].driverChange);

    // B chosen: A's stint ended as the car came in, exactly at the maximum.
    r = engine.Evaluate({61 * m, "B", true});
    EXPECT_TRUE(r.breaches.empty());
    EXPECT_TRUE(r.stops[0].driverChange);
    EXPECT_TRUE(r.changes[0].provisional);

    // The car left after 80 s: the stop was too short, whoever drives on.
    ASSERT_TRUE(engine.SetPassEnd(12, 60 * m + 80'000));
    r = engine.Evaluate({62 * m, "B"});
    ASSERT_EQ(r.breaches.size(), 1u);
    EXPECT_EQ(r.breaches[0],
              (Breach{BreachKind::StopTooShort, 12, 60 * m + 80'000, "", 80'000, 90'000, false}));

    // A chosen again after one lap of B, passing through the pit: B's stint too short and
    // the pass too short a stop, both resting on the choice for the lap in progress.
    race.Laps().back().passEndMs = 60 * m + 80'000;
    race.Leg("B", 1, 5 * m);
    const std::vector<LapInput> more = race.Inputs();
    engine.Reset(more);
    r = engine.Evaluate({66 * m, "A"});
    ASSERT_EQ(r.breaches.size(), 3u);
    EXPECT_EQ(r.breaches[0].kind, BreachKind::StopTooShort);
    EXPECT_FALSE(r.breaches[0].provisional);
    EXPECT_EQ(r.breaches[1],
              (Breach{BreachKind::StintTooShort, 13, 65 * m, "B", 5 * m, 15 * m, true}));
    EXPECT_EQ(r.breaches[2].kind, BreachKind::StopTooShort);
    EXPECT_TRUE(r.breaches[2].provisional);
}

void CheckLive(const char* what, const DrivingRules& rules, const char* legs, const LiveInput& live,
               const LiveFigures& expected) {
    EXPECT_EQ(Judge(rules, Race::Of(legs, 5 * m), live).live, expected) << what;
}

TEST(RuleEngine, LiveFigures) {
    DrivingRules a;
    a.minStintMs = 15 * m;
    a.maxStintMs = 60 * m;
    a.finalPeriodMs = 15 * m;
    DrivingRules total = a;
    total.maxDriverTotalMs = 70 * m;
    DrivingRules window;
    window.windowCapMs = 60 * m;
    window.windowMs = 120 * m;
    window.minStops = 3;
    using K = BreachKind;
    const std::nullopt_t none = std::nullopt;
    CheckLive("mid-stint", a, "A10", {52 * m, "A", false, 120 * m},
              {"A", 52 * m, 8 * m, 8 * m, K::StintTooLong, 15 * m, 68 * m, 0, 0, 1, 1});
    CheckLive("the next driver chosen in the pit", a, "A10", {51 * m, "B", true, 120 * m},
              {"B", 1 * m, 59 * m, 59 * m, K::StintTooLong, 65 * m, 69 * m, 1, 1, 1, 1});
    CheckLive("the final period allows the change earlier", a, "A12 B7 A1",
              {101 * m, "A", false, 120 * m},
              {"A", 6 * m, 54 * m, 54 * m, K::StintTooLong, 105 * m, 19 * m, 2, 2, 0, 0});
    CheckLive("the driver's total comes first", total, "A12 B2 A1", {76 * m, "A"},
              {"A", 6 * m, 54 * m, 4 * m, K::DriverTotalTooLong, 85 * m, none, 2, 2, 0, 0});
    CheckLive("the rolling window", window, "A6 B6 A4", {80 * m, "A"},
              {"A", 20 * m, none, 10 * m, K::WindowTooLong, none, none, 2, 2, 0, 1});
}

}  // namespace
}  // namespace velmora::test
