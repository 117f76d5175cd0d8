#include "teamview/team_view_model.h"

#include <gtest/gtest.h>

#include <functional>

#include "analysis/lap_rows.h"
#include "analysis/rule_table.h"
#include "core/time_format.h"
#include "fakes/fakes.h"

namespace velmora::test {
namespace {

// A console in a run: slots 0 and 2 set up, slot 1 not, captions as the console leaves them.
struct Race : FakeConsole {
    Race() {
        for (int s : {0, 2}) {
            panel(s).Lbl_IP.caption = "127.0.0.1";
            panel(s).Cmb_Car.AddItem("car" + std::to_string(s) + "\tpit\t40\t12.5");
            panel(s).Cmb_Car.Select(0);
        }
        st().main.Btn_Start.caption = "Stop";
        st().main.Txt_Event.text = "耐久";
        st().main.Lbl_SysTime.caption = "pm 03:25:07";
        st().main.Lbl_StTime.caption = "Start時間 14:00";
    }
};

TEST(TeamViewModel, CarsAreTheSetUpSlotsWithTheirStateInWordsAndKind) {
    Race r;
    const std::pair<const char*, TeamCarState> states[] = {
        {"受信中", TeamCarState::Heard},   {"無通信 12秒", TeamCarState::Silent},
        {"未受信", TeamCarState::Waiting}, {"計測中止", TeamCarState::Stopped},
        {"計測外", TeamCarState::Stopped}, {"待機中", TeamCarState::Idle},
    };
    for (const auto& [text, kind] : states) {
        r.panel(2).Lbl_CarStatus.caption = text;
        r.panel(2).Lbl_LapCnt.caption = "3周目";
        TeamViewBuilder b;
        const TeamViewModel m = b.Build(r.st(), r.console.clock);
        ASSERT_EQ(m.cars.size(), 2u);
        EXPECT_EQ(m.cars[0].slot, 0);
        EXPECT_EQ(m.cars[1].slot, 2);
        EXPECT_EQ(m.cars[1].caption, "３号車");
        EXPECT_EQ(m.cars[1].carName, "car2");
        EXPECT_EQ(m.cars[1].lapText, "3周目");
        EXPECT_EQ(m.cars[1].state, text);
        EXPECT_EQ(m.cars[1].stateKind, kind) << text;
        EXPECT_TRUE(m.measuring);
        EXPECT_EQ(m.event, "耐久");
        EXPECT_EQ(m.start, "Start時間 14:00");
    }
}

TEST(TeamViewModel, TheRuleLinesShowOnlyWhileThePanelShowsThem) {
    Race r;
    r.panel(0).Lbl_ChangeDue.caption = "交代まで 12分";
    r.panel(0).Lbl_RuleNote.caption = "連続運転 超過";
    for (const bool shown : {true, false}) {
        r.panel(0).Lbl_ChangeDue.visible = shown;
        r.panel(0).Lbl_RuleNote.visible = shown;
        TeamViewBuilder b;
        const TeamCar car = b.Build(r.st(), r.console.clock).cars[0];
        EXPECT_EQ(car.changeDue, shown ? "交代まで 12分" : "");
        EXPECT_EQ(car.ruleNote, shown ? "連続運転 超過" : "");
    }
}

TEST(TeamViewModel, LapsLastBestRecentMessagesAndStintComeFromTheLapGrid) {
    struct Case {
        const char* what;
        const char* precision;
        std::vector<LapRow> rows;
        const char* driverNow;
        int laps;
        int last, best;  // lap numbers, 0 = none
        std::int64_t bestMs;
        std::vector<int> recent;  // lap numbers, newest first
        std::vector<std::pair<int, std::string>> sent;
        int stintLaps;
    };
    const Case cases[] = {
        {"no lap yet", "1/1000", {}, "A", 0, 0, 0, 0, {}, {}, 0},
        {"open lap and a correction's empty row are no laps",
         "1/1000",
         {{"61000", "A", "", "ＢＯＸ, 給油OK", "9"}, {"", ""}, {"60500", "A"}, {"", ""}},
         "A",
         2,
         3,
         3,
         60500,
         {3, 1},
         {{1, "ＢＯＸ"}},
         2},
        {"a tie keeps the earlier lap; the driver changed",
         "1/1000",
         {{"60000", "A"}, {"62000", "A"}, {"60000", "B", "", " , "}},
         "B",
         3,
         3,
         1,
         60000,
         {3, 2, 1},
         {},
         1},
        {"ticks of 1/100 become milliseconds",
         "1/100",
         {{"6123", "A"}},
         "A",
         1,
         1,
         1,
         61230,
         {1},
         {},
         1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Race r;
        r.console.settings.Precision = k.precision;
        r.console.DeriveClock();
        FillLaps(r.panel(0).Spd_LapTime, k.rows);
        r.panel(0).Cmb_Driver.text = k.driverNow;
        TeamViewBuilder b;
        const TeamCar car = b.Build(r.st(), r.console.clock).cars.at(0);
        EXPECT_EQ(car.laps, k.laps);
        EXPECT_EQ(car.last ? car.last->lap : 0, k.last);
        EXPECT_EQ(car.best ? car.best->lap : 0, k.best);
        if (car.best) {
            EXPECT_EQ(car.best->ms, k.bestMs);
            EXPECT_EQ(car.best->driver, k.rows[static_cast<std::size_t>(k.best - 1)].driver);
            EXPECT_EQ(car.chart.at(static_cast<std::size_t>(car.chartBest)).lap, k.best);
        } else {
            EXPECT_EQ(car.chartBest, -1);
        }
        std::vector<int> recent;
        for (const TeamLap& l : car.recent) recent.push_back(l.lap);
        EXPECT_EQ(recent, k.recent);
        std::vector<std::pair<int, std::string>> sent;
        for (const TeamSentMessage& s : car.sent) sent.emplace_back(s.lap, s.text);
        EXPECT_EQ(sent, k.sent);
        EXPECT_EQ(car.driver, k.driverNow);
        EXPECT_EQ(car.stintLaps, k.stintLaps);
        EXPECT_EQ(car.stint, "連続" + std::to_string(k.stintLaps) + "周 " +
                                 std::to_string(car.stintMinutes) + "分");
        EXPECT_EQ(static_cast<int>(car.chart.size()), k.laps);
    }
}

TEST(TeamViewModel, ALongRaceIsCutToTenLapsTenMessagesAndAThinnedChart) {
    Race r;
    std::vector<LapRow> rows = ManyLaps(3000, 40, {"A", "B"});
    for (std::size_t k = 0; k < rows.size(); k += 7) {
        rows[k].message = "msg" + std::to_string(k + 1) + ", ";
        rows[k].split = std::to_string(rows[k].message.size() - 2);
    }
    rows[1499].ticks = "50000";  // the best lap, in the middle of the race
    FillLaps(r.panel(0).Spd_LapTime, rows);
    r.panel(0).Cmb_Driver.text = "A";  // the driver of laps 2961-3000
    TeamViewBuilder b;
    const TeamCar car = b.Build(r.st(), r.console.clock).cars.at(0);
    EXPECT_EQ(car.laps, 3000);
    ASSERT_EQ(car.recent.size(), 10u);
    EXPECT_EQ(car.recent.front().lap, 3000);
    EXPECT_EQ(car.recent.back().lap, 2991);
    ASSERT_EQ(car.sent.size(), 10u);
    EXPECT_EQ(car.sent.front().text, "msg2997");
    EXPECT_LE(car.chart.size(), static_cast<std::size_t>(TeamViewBuilder::kChartPoints) + 2);
    EXPECT_EQ(car.chart.at(static_cast<std::size_t>(car.chartBest)).lap, 1500);
    EXPECT_EQ(car.chart.at(static_cast<std::size_t>(car.chartBest)).ms, 50000);
    EXPECT_EQ(car.stintLaps, 40);
}

TEST(TeamViewModel, FollowsEveryChangeOfAGridAndOfTheDriverThroughItsCache) {
    Race r;
    Grid& g = r.panel(0).Spd_LapTime;
    FillLaps(g, {{"60000", "A"}, {"61000", "A"}});
    r.panel(0).Cmb_Driver.text = "A";
    TeamViewBuilder b;
    const TeamViewModel first = b.Build(r.st(), r.console.clock);
    EXPECT_EQ(b.Build(r.st(), r.console.clock), first);

    g.SetCell(2, 4, "59000");  // a typed lap time
    g.SetCell(2, 1, "0'59\"000");
    TeamViewModel m = b.Build(r.st(), r.console.clock);
    EXPECT_EQ(m.cars[0].best->lap, 2);
    EXPECT_FALSE(SameHistory(first, m));

    r.panel(0).Cmb_Driver.text = "B";  // a driver change: a new stint
    m = b.Build(r.st(), r.console.clock);
    EXPECT_EQ(m.cars[0].driver, "B");
    EXPECT_EQ(m.cars[0].stint, "連続0周 0分");

    r.panel(0).Lbl_CarStatus.caption = "無通信 3秒";  // the live part alone
    const TeamViewModel live = b.Build(r.st(), r.console.clock);
    EXPECT_TRUE(SameHistory(m, live));
    EXPECT_NE(live, m);

    RuleReport stint;  // the stint table filled: new history
    stint.stints = {{"B", 3, 3, 1, 121'000, 181'000, 60'000, 60'000, true}};
    FillStintTable(r.panel(0).Spd_Stints, stint);
    EXPECT_FALSE(SameHistory(live, b.Build(r.st(), r.console.clock)));
}

TEST(TeamViewModel, StintsStopsAndBreachesComeFromTheStintTableNewestFirstAndCapped) {
    constexpr std::int64_t m = 60'000;
    struct Case {
        const char* what;
        int stints;  // closed stints of 40 minutes, each ended by a stop of 80 s
        bool shortStopBreaches;
        int stintRows, stopRows, breachRows;
    };
    const Case cases[] = {
        {"nothing yet", 0, false, 0, 0, 0},
        {"a few, each stop too short", 3, true, 4, 3, 4},
        {"a 24-hour race keeps the newest", 40, false, TeamViewBuilder::kRuleRows,
         TeamViewBuilder::kRuleRows, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        RuleReport rep;
        for (int s = 0; s < k.stints; ++s) {
            const std::int32_t lap = 20 * s;
            rep.stints.push_back({s % 2 ? "B" : "A", lap + 1, lap + 20, 20, 40 * m * s,
                                  40 * m * (s + 1), 40 * m, 40 * m, false});
            rep.stops.push_back(
                {lap + 20, 40 * m * (s + 1), 40 * m * (s + 1) + 80'000, 80'000, false, true});
            rep.changes.push_back(
                {s % 2 ? "B" : "A", s % 2 ? "A" : "B", lap + 20, 40 * m * (s + 1), false});
            if (k.shortStopBreaches)
                rep.breaches.push_back({BreachKind::StopTooShort, lap + 20,
                                        40 * m * (s + 1) + 80'000, "", 80'000, 90'000, false});
        }
        if (k.stints > 0) {
            const std::int64_t start = 40 * m * k.stints;
            rep.stints.push_back(
                {k.stints % 2 ? "B" : "A", 0, 0, 0, start, start + 61 * m, 0, 61 * m, true});
            rep.breaches.push_back({BreachKind::StintTooLong, 20 * k.stints + 1, start + 60 * m,
                                    "B", 61 * m, 60 * m, true});
        }
        rep.penaltyLaps = 2 * static_cast<std::int64_t>(rep.breaches.size());
        Race r;
        FillStintTable(r.panel(0).Spd_Stints, rep);
        TeamViewBuilder b;
        const TeamRuleRecord car = b.Build(r.st(), r.console.clock).cars.at(0).rules;
        EXPECT_EQ(car.stintCount, k.stints > 0 ? k.stints + 1 : 0);
        EXPECT_EQ(car.stopCount, k.stints);
        EXPECT_EQ(car.breachCount, static_cast<int>(rep.breaches.size()));
        EXPECT_EQ(car.penaltyLaps, rep.penaltyLaps);
        ASSERT_EQ(static_cast<int>(car.stints.size()), k.stintRows);
        ASSERT_EQ(static_cast<int>(car.stops.size()), k.stopRows);
        ASSERT_EQ(static_cast<int>(car.breaches.size()), k.breachRows);
        if (k.stints == 0) continue;
        // The newest of each, as recorded.
        EXPECT_TRUE(car.stints[0].open);
        EXPECT_EQ(car.stints[0].firstLap, 0);
        const TeamStint& closed = car.stints[1];
        EXPECT_EQ(closed.firstLap, 20 * (k.stints - 1) + 1);
        EXPECT_EQ(closed.lastLap, 20 * k.stints);
        EXPECT_EQ(closed.startMs, 40 * m * (k.stints - 1));
        EXPECT_EQ(closed.lengthMs, 40 * m);
        EXPECT_EQ(closed.length, "0:40:00");
        EXPECT_FALSE(closed.open);
        const TeamStop& stop = car.stops[0];
        EXPECT_EQ(stop.lap, 20 * k.stints);
        EXPECT_EQ(stop.lengthMs, std::optional<std::int64_t>(80'000));
        EXPECT_EQ(stop.tooShort, k.shortStopBreaches);
        EXPECT_EQ(stop.change, k.stints % 2 ? "A→B" : "B→A");
        const TeamBreach& over = car.breaches[0];
        EXPECT_EQ(over.kind, "stintTooLong");
        EXPECT_EQ(over.text, "連続走行超過 規定1:00:00 暫定");
        EXPECT_TRUE(over.provisional);
        EXPECT_EQ(over.penaltyLaps, 2);
        EXPECT_EQ(over.atMs, 40 * m * k.stints + 60 * m);
        if (k.shortStopBreaches) {
            EXPECT_EQ(car.breaches[1].kind, "stopTooShort");
            EXPECT_FALSE(car.breaches[1].provisional);
        }
    }
}

TEST(TeamViewModel, RankingRemainingAndEndTimeShowOnlyWhatTheConsoleShows) {
    Race r;
    MainFrameState& mf = r.st().main;
    for (int k = 0; k < 2; ++k) {
        mf.ranking[k].Lbl_Jyuni.caption = k == 0 ? "１" : "２";
        mf.ranking[k].Lbl_Sort_No.caption = "car" + std::to_string(k);
        mf.ranking[k].Lbl_Sort_LAP.caption = std::to_string(5 - k);
        mf.ranking[k].Lbl_BestTime.caption = "1'00\"000";
        mf.ranking[k].Lbl_BestLAP.caption = "2";
    }
    r.st().RankKeys[0] = "996" + std::string("1'00\"000") + "2";
    r.st().RankKeys[1] = "9971'00\"0000";
    mf.ranking[2].Lbl_Sort_No.visible = false;
    mf.ranking[2].Lbl_Sort_LAP.caption = "9";
    mf.Lbl_ZanTime.caption = "残り 1:05:09";
    TeamViewBuilder b;
    TeamViewModel m = b.Build(r.st(), r.console.clock);
    ASSERT_EQ(m.ranking.size(), 2u);
    EXPECT_EQ(m.ranking[1].car, "car1");
    EXPECT_EQ(m.ranking[1].lap, "4");
    EXPECT_EQ(m.ranking[0].slot, 2);
    EXPECT_EQ(m.ranking[0].caption, "３号車");
    EXPECT_EQ(m.ranking[1].slot, 0);
    EXPECT_EQ(m.remaining, "");  // no run length: the design text is not a time
    EXPECT_EQ(m.endTime, "");

    r.st().EndTimeSet = true;
    r.st().MeasureEndTime = FromCivil({2026, 12, 7, 16, 30, 0});
    m = b.Build(r.st(), r.console.clock);
    EXPECT_EQ(m.remaining, "残り 1:05:09");
    EXPECT_EQ(m.endTime, "16:30:00");
}

TEST(TeamViewFingerprint, MovesWithEveryInputOfTheModelAndNothingElse) {
    Race r;
    FillLaps(r.panel(0).Spd_LapTime, {{"60000", "A"}});
    const ClockParams& clock = r.console.clock;
    const std::string base = TeamViewFingerprint(r.st(), clock);
    EXPECT_EQ(TeamViewFingerprint(r.st(), clock), base);
    // Things the page does not show leave it alone.
    r.panel(0).Lbl_Time.caption = "0'12\"345";
    r.panel(0).Txt_InGasl.text = "20";
    EXPECT_EQ(TeamViewFingerprint(r.st(), clock), base);

    const std::vector<std::function<void(Race&)>> changes = {
        [](Race& x) { x.panel(0).Spd_LapTime.SetCell(1, 2, "B"); },
        [](Race& x) { x.panel(0).Lbl_CarStatus.caption = "無通信 1秒"; },
        [](Race& x) { x.panel(2).Cmb_Driver.text = "C"; },
        [](Race& x) { x.panel(1).Lbl_IP.caption = "127.0.0.2"; },
        [](Race& x) { x.panel(0).Txt_OutMess.text = "BOX"; },
        [](Race& x) { x.st().main.Lbl_SysTime.caption = "pm 03:25:08"; },
        [](Race& x) { x.st().main.ranking[0].Lbl_Sort_LAP.caption = "7"; },
        [](Race& x) { x.st().AllCarsMessage = "rain"; },
        [](Race& x) { x.st().main.Btn_Start.caption = "Start"; },
        [](Race& x) { x.panel(0).Lbl_ChangeDue.caption = "交代まで 12分"; },
        [](Race& x) { x.panel(2).Lbl_RuleNote.caption = "連続運転 超過"; },
        [](Race& x) { x.panel(0).Spd_Stints.SetRowCount(1); },
    };
    for (std::size_t k = 0; k < changes.size(); ++k) {
        Race x;
        FillLaps(x.panel(0).Spd_LapTime, {{"60000", "A"}});
        const std::string before = TeamViewFingerprint(x.st(), x.console.clock);
        changes[k](x);
        EXPECT_NE(TeamViewFingerprint(x.st(), x.console.clock), before) << "change " << k;
    }
}

}  // namespace
}  // namespace velmora::test
