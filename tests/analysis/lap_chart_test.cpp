#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/lap_chart.h"
#include "core/tick_clock.h"
#include "lap_rows.h"

namespace velmora {
namespace {

using test::FillLaps;
using test::LapRow;

const ClockParams kMs = DeriveClockParams("1/1000", 10);
const ClockParams kCs = DeriveClockParams("1/100", 10);

void SetUpCar(ConsoleState& st, int slot, const char* caption, const char* car) {
    PanelState& p = st.panels[slot];
    p.Lbl_IP.caption = "127.0.0.1";
    p.Frm_Runner.caption = caption;
    p.Cmb_Car.AddItem(std::string(car) + "\t40\t12.5");
    p.Cmb_Car.Select(0);
}

struct Pt {
    int lap;
    double ticks;
    const char* driver;
};

void ExpectPoints(const LapChart& chart, const ChartSeries& s, const std::vector<Pt>& want) {
    ASSERT_EQ(s.points.size(), want.size()) << s.caption;
    for (std::size_t k = 0; k < want.size(); ++k) {
        EXPECT_EQ(s.points[k].lap, want[k].lap) << s.caption << " point " << k;
        EXPECT_DOUBLE_EQ(s.points[k].ticks, want[k].ticks) << s.caption << " point " << k;
        EXPECT_EQ(chart.drivers.at(static_cast<std::size_t>(s.points[k].driver)), want[k].driver)
            << s.caption << " point " << k;
    }
}

TEST(BuildLapChart, OneSeriesPerSetUpCarWithTimedRowsDriversAndTheBestLap) {
    ConsoleState st;
    SetUpCar(st, 0, "１号車", "スイフト");
    SetUpCar(st, 2, "３号車", "ロードスター");
    // Slot 1 has laps from an earlier set-up but is not set up now: not charted.
    FillLaps(st.panels[1].Spd_LapTime, {{"50000", "X"}});
    // Drivers alternating; a correction added rows 4 and 5 empty; the lap in progress; a tie
    // for the best lap.
    FillLaps(st.panels[0].Spd_LapTime, {{"62000", "A"},
                                        {"61000", "B"},
                                        {"63000", "A"},
                                        {"", ""},
                                        {"", ""},
                                        {"61000", "B"},
                                        {"", ""}});
    FillLaps(st.panels[2].Spd_LapTime, {{"70000", "B"}, {"abc", "C"}, {"65000", "C"}});

    const LapChart chart = BuildLapChart(st);
    ASSERT_EQ(chart.cars.size(), 2u);
    const ChartSeries& one = chart.cars[0];
    const ChartSeries& three = chart.cars[1];
    EXPECT_EQ(one.slot, 0);
    EXPECT_EQ(one.caption, "１号車");
    EXPECT_EQ(one.carName, "スイフト");
    EXPECT_EQ(three.slot, 2);
    EXPECT_EQ(three.carName, "ロードスター");
    ExpectPoints(chart, one, {{1, 62000, "A"}, {2, 61000, "B"}, {3, 63000, "A"}, {6, 61000, "B"}});
    ExpectPoints(chart, three, {{1, 70000, "B"}, {3, 65000, "C"}});
    EXPECT_EQ(one.best, 1);  // lap 2: the earlier of the tie
    EXPECT_EQ(three.best, 1);
    // One colour per driver across every car.
    EXPECT_EQ(chart.drivers, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_DOUBLE_EQ(chart.minTicks, 61000);
    EXPECT_DOUBLE_EQ(chart.maxTicks, 70000);
    EXPECT_EQ(chart.maxLap, 6);
}

TEST(BuildLapChart, ACarWithoutTimedLapsHasAnEmptySeriesAndNoBest) {
    ConsoleState st;
    SetUpCar(st, 1, "２号車", "");
    FillLaps(st.panels[1].Spd_LapTime, {{"", ""}});
    const LapChart chart = BuildLapChart(st);
    ASSERT_EQ(chart.cars.size(), 1u);
    EXPECT_TRUE(chart.cars[0].points.empty());
    EXPECT_EQ(chart.cars[0].best, -1);
    EXPECT_EQ(chart.cars[0].carName, "");
    EXPECT_EQ(chart.maxLap, 0);
}

TEST(BuildLapChart, LapsPast999KeepTheirNumbers) {
    ConsoleState st;
    SetUpCar(st, 0, "１号車", "スイフト");
    FillLaps(st.panels[0].Spd_LapTime, test::ManyLaps(1200, 40, {"A", "B", "C"}));
    const LapChart chart = BuildLapChart(st);
    const ChartSeries& s = chart.cars.at(0);
    ASSERT_EQ(s.points.size(), 1200u);
    EXPECT_EQ(s.points[999].lap, 1000);
    EXPECT_DOUBLE_EQ(s.points[999].ticks, 60000);  // 60 s + 1000 % 1000
    EXPECT_EQ(s.points[1199].lap, 1200);
    EXPECT_EQ(chart.drivers[static_cast<std::size_t>(s.points[1199].driver)], "C");  // 30th stint
    EXPECT_EQ(s.best, 999);  // the first lap of 60 s flat
    EXPECT_EQ(chart.maxLap, 1200);
}

std::vector<ChartPoint> Points(int n) {
    std::vector<ChartPoint> points;
    for (int lap = 1; lap <= n; ++lap) points.push_back({lap, 60000.0 + lap % 7, 0});
    return points;
}

std::vector<int> Laps(const std::vector<ChartPoint>& points) {
    std::vector<int> laps;
    for (const ChartPoint& p : points) laps.push_back(p.lap);
    return laps;
}

TEST(ThinPoints, KeepsEveryPointInViewUpToTheBudgetAndOneNeighbourEachSide) {
    const std::vector<ChartPoint> eight = Points(8);
    struct Case {
        double from, to;
        int budget;
        std::vector<int> laps;
    } cases[] = {
        {0, 9, 300, {1, 2, 3, 4, 5, 6, 7, 8}},
        {3, 5, 300, {2, 3, 4, 5, 6}},
        {2.5, 5.5, 300, {2, 3, 4, 5, 6}},
        {0, 1, 300, {1, 2}},
        {8, 20, 300, {7, 8}},
        {20, 30, 300, {8}},  // nothing in view: the line still comes in from the left
        {0, 9, 1, {1, 2, 3, 4, 5, 6, 7, 8}},  // no budget to speak of: everything
    };
    for (const Case& k : cases)
        EXPECT_EQ(Laps(ThinPoints(eight, k.from, k.to, k.budget)), k.laps)
            << k.from << ".." << k.to << " budget " << k.budget;
    EXPECT_TRUE(ThinPoints({}, 0, 10, 300).empty());
}

TEST(ThinPoints, ALongRaceKeepsItsSpikesAndItsFastestLapsWithinTheBudget) {
    std::vector<ChartPoint> race = Points(5000);
    race[1233].ticks = 95000;  // a pit stop, lap 1234
    race[4000].ticks = 59000;  // the fastest lap, 4001
    const std::vector<ChartPoint> thin = ThinPoints(race, 0, 5001, 300);
    EXPECT_LE(thin.size(), 300u);
    EXPECT_GE(thin.size(), 290u);
    const std::vector<int> laps = Laps(thin);
    EXPECT_TRUE(std::is_sorted(laps.begin(), laps.end()));
    EXPECT_NE(std::find(laps.begin(), laps.end(), 1234), laps.end());
    EXPECT_NE(std::find(laps.begin(), laps.end(), 4001), laps.end());
    EXPECT_LE(laps.front(), 34);  // one run: about 5000 / 150 laps
    EXPECT_GE(laps.back(), 4967);
    // Zoomed in on 100 laps: all of them, in full.
    EXPECT_EQ(ThinPoints(race, 2001, 2100, 300).size(), 102u);
}

TEST(LapTimeAxisMarks, RoundStepsLabelledAsLapTimes) {
    struct Case {
        double lo, hi;
        const ClockParams* clock;
        std::vector<std::string> labels;
    } cases[] = {
        {60000,
         65000,
         &kMs,
         {"1'00\"000", "1'01\"000", "1'02\"000", "1'03\"000", "1'04\"000", "1'05\"000"}},
        {60500,
         61200,
         &kMs,
         {"1'00\"500", "1'00\"600", "1'00\"700", "1'00\"800", "1'00\"900", "1'01\"000", "1'01\"100",
          "1'01\"200"}},
        {55000,
         130000,
         &kMs,
         {"1'00\"000", "1'10\"000", "1'20\"000", "1'30\"000", "1'40\"000", "1'50\"000", "2'00\"000",
          "2'10\"000"}},
        {6000,
         6500,
         &kCs,
         {"1'00\"00", "1'01\"00", "1'02\"00", "1'03\"00", "1'04\"00", "1'05\"00"}},
        {0,
         7'200'000,
         &kMs,
         {"0'00\"000", "30'00\"000", "60'00\"000", "90'00\"000", "120'00\"000"}},
        {65000, 60000, &kMs, {}},  // an empty range
    };
    for (const Case& k : cases) {
        std::vector<std::string> got;
        for (const AxisMark& m : LapTimeAxisMarks(k.lo, k.hi, *k.clock)) got.push_back(m.label);
        EXPECT_EQ(got, k.labels) << k.lo << ".." << k.hi;
    }
    // Far beyond the largest step the marks still stay few.
    EXPECT_LE(LapTimeAxisMarks(0, 1e12, kMs).size(), 8u);
}

TEST(ChartKeyOf, ChangesWithAnyLapGridAndTheCarTextsOnly) {
    ConsoleState st;
    SetUpCar(st, 0, "１号車", "スイフト");
    const LapChartKey before = ChartKeyOf(st, kMs);
    EXPECT_EQ(ChartKeyOf(st, kMs), before);
    st.panels[0].Lbl_InMess.caption = "OK";  // not on the chart
    EXPECT_EQ(ChartKeyOf(st, kMs), before);
    EXPECT_NE(ChartKeyOf(st, kCs), before);

    ConsoleState edited = st;
    edited.panels[2].Spd_LapTime.SetCell(0, 1, "タイム");
    EXPECT_NE(ChartKeyOf(edited, kMs), before);
    ConsoleState renamed = st;
    renamed.panels[0].Cmb_Car.Select(-1);
    EXPECT_NE(ChartKeyOf(renamed, kMs), before);
}

}  // namespace
}  // namespace velmora
