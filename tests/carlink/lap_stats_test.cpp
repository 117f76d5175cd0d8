#include <gtest/gtest.h>

#include <vector>

#include "carlink/laps.h"
#include "link_rig.h"

namespace velmora::test {
namespace {

struct Row {
    const char* ticks;
    const char* driver;
};

// Fills slot 0's grid as RecordLap and the crew would have left it, then recomputes.
void Recompute(LinkRig& f, const std::vector<Row>& rows, const char* driver = "A") {
    Grid& g = f.panel(0).Spd_LapTime;
    g.SetRowCount(static_cast<int>(rows.size()));
    for (std::size_t k = 0; k < rows.size(); ++k) {
        g.SetCell(static_cast<int>(k) + 1, 4, rows[k].ticks);
        g.SetCell(static_cast<int>(k) + 1, 2, rows[k].driver);
    }
    f.runner(0).LapCount = static_cast<int>(rows.size());
    f.panel(0).Cmb_Driver.text = driver;
    RecomputeLapStats(f.console, 0);
}

TEST(RecomputeLapStats, BestKeepsTheEarlierTieAndTheAverageTruncates) {
    LinkRig f({0});
    f.st().RemainingTicks = 1'000'000;
    Recompute(f, {{"90000", "A"}, {"80000", "A"}, {"80000", "A"}});
    const RunnerState& r = f.runner(0);
    const PanelState& p = f.panel(0);
    EXPECT_EQ(r.BestLapNo, 2);
    EXPECT_EQ(p.Lbl_BestLapTime.caption, "2周目 1'20\"000");
    EXPECT_EQ(r.BestLapText, "1'20\"000");
    EXPECT_EQ(r.AverageLapTicks, 83333);  // 250000 / 3
    EXPECT_EQ(p.Lbl_AveLapTime.caption, "1'23\"333");
    EXPECT_EQ(p.Lbl_YosoSyu.caption, "あと12周");
    EXPECT_EQ(p.Lbl_DrvrBestLapTime.caption, "1'20\"000-2L");
}

TEST(RecomputeLapStats, DriverFiguresFollowOnlyTheCurrentDriversRows) {
    struct Case {
        const char* a1;
        const char* a2;
        const char* label;         // driver average, rounded half to even
        const char* blockAverage;  // status block, rounded half away from zero
    };
    const Case cases[] = {{"80001", "80000", "1'20\"000", "0000080001"},
                          {"80003", "80000", "1'20\"002", "0000080002"}};
    for (const Case& k : cases) {
        LinkRig f({0});
        Recompute(f, {{k.a1, "A"}, {"70000", "B"}, {k.a2, "A"}});
        const RunnerState& r = f.runner(0);
        EXPECT_EQ(r.DriverLapCount, 2);
        EXPECT_EQ(r.DriverBestLapNo, 3);
        EXPECT_EQ(r.BestLapNo, 2);  // the car's best is driver B's lap
        EXPECT_EQ(f.panel(0).Lbl_DrvrAveLapTime.caption, k.label);
        EXPECT_EQ(BuildStatusBlock(f.console, 0).substr(23, 10), k.blockAverage);
    }
}

TEST(RecomputeLapStats, UntimedRowsAreNeitherBestNorCountedInAverages) {
    struct Case {
        const char* what;
        std::vector<Row> rows;
        const char* best;  // Lbl_BestLapTime
        const char* ave;   // Lbl_AveLapTime
        const char* yoso;  // Lbl_YosoSyu (set to "あと7周" before)
        const char* dBest;
        const char* dAve;
    };
    const Case cases[] = {
        {"row opened and not yet recorded",
         {{"80000", "A"}, {"", "A"}},
         "1周目 1'20\"000",
         "1'20\"000",
         "あと12周",
         "1'20\"000-1L",
         "1'20\"000"},
        {"rows added by a correction divide nothing",
         {{"80000", "A"}, {"90000", "A"}, {"", "A"}, {"", "A"}},
         "1周目 1'20\"000",
         "1'25\"000",
         "あと11周",
         "1'20\"000-1L",
         "1'25\"000"},
        {"cleared by hand or not a number",
         {{"", "B"}, {"abc", "B"}, {"12abc", "B"}},
         "-",
         "-",
         "あと7周",
         "-",
         "-"},
        {"the driver's average divides by the driver's timed rows",
         {{"80000", "A"}, {"70000", "B"}, {"", "A"}},
         "2周目 1'10\"000",
         "1'15\"000",
         "あと13周",
         "1'20\"000-1L",
         "1'20\"000"},
        {"a driver without a timed lap has no figures",
         {{"80000", "B"}, {"", "A"}},
         "1周目 1'20\"000",
         "1'20\"000",
         "あと12周",
         "-",
         "-"},
        {"a lap typed as zero is a lap, but predicts nothing",
         {{"0", "A"}, {"", "A"}},
         "1周目 0'00\"000",
         "0'00\"000",
         "あと7周",
         "0'00\"000-1L",
         "0'00\"000"},
    };
    for (const Case& k : cases) {
        LinkRig f({0});
        f.st().RemainingTicks = 1'000'000;
        f.panel(0).Lbl_YosoSyu.caption = "あと7周";
        Recompute(f, k.rows);
        const PanelState& p = f.panel(0);
        EXPECT_EQ(p.Lbl_BestLapTime.caption, k.best) << k.what;
        EXPECT_EQ(p.Lbl_AveLapTime.caption, k.ave) << k.what;
        EXPECT_EQ(p.Lbl_YosoSyu.caption, k.yoso) << k.what;
        EXPECT_EQ(p.Lbl_DrvrBestLapTime.caption, k.dBest) << k.what;
        EXPECT_EQ(p.Lbl_DrvrAveLapTime.caption, k.dAve) << k.what;
        EXPECT_GE(f.runner(0).DriverLapCount, 1) << k.what;  // the status block divides by it
    }
}

TEST(RecomputeLapStats, HandTypedExtremesSaturateAndRoundHalfToEven) {
    LinkRig f({0});
    Recompute(f, {{"99999999999", "A"}, {"80000.5", "A"}});
    EXPECT_EQ(f.runner(0).BestLapTicks, 80000);
    EXPECT_GT(f.runner(0).AverageLapTicks, 0);
}

TEST(RecomputeLapStats, PredictionFloorsAndFillsTheDriverRow) {
    LinkRig f({0});
    f.panel(0).Spd_DriverInfo.SetRowCount(2);
    f.runner(0).DriverInfoRow = 2;
    f.st().RemainingTicks = -100000;
    Recompute(f, {{"83333", "A"}});
    EXPECT_EQ(f.panel(0).Lbl_YosoSyu.caption, "あと-2周");
    EXPECT_EQ(f.panel(0).Spd_DriverInfo.Cell(2, 2), "1'23\"333-1L");
    EXPECT_EQ(f.panel(0).Spd_DriverInfo.Cell(2, 3), "1'23\"333");
}

// The figures after every kind of grid change equal a fold from row 1 by a console that never
// saw the grid before, however far back the change lies from the rows it last folded.
TEST(RecomputeLapStats, FiguresAfterAnyEditEqualAFoldFromTheFirstRow) {
    LinkRig f({0});
    f.st().RemainingTicks = 5'000'000;
    Grid& g = f.panel(0).Spd_LapTime;
    auto lap = [&](int row, const std::string& ticks, const char* driver) {
        if (g.RowCount() < row) g.SetRowCount(row);
        g.SetCell(row, 4, ticks);
        g.SetCell(row, 2, driver);
    };
    // A car's laps from one driver or two, in every block, with untimed rows between.
    for (int row = 1; row <= 300; ++row)
        lap(row, row % 17 == 0 ? "" : std::to_string(90000 + (row * 7919) % 5000),
            row < 150 ? "A" : "B");
    f.panel(0).Cmb_Driver.text = "B";

    struct Step {
        const char* what;
        void (*edit)(Grid&, std::string&);
    };
    const Step steps[] = {
        {"nothing changed", [](Grid&, std::string&) {}},
        {"a lap recorded at the end",
         [](Grid& g, std::string&) {
             g.SetRowCount(301);
             g.SetCell(301, 4, "85000");
             g.SetCell(301, 2, "B");
         }},
        {"an early lap made the best by hand", [](Grid& g, std::string&) { g.SetCell(3, 4, "1"); }},
        {"a row in the middle cleared", [](Grid& g, std::string&) { g.SetCell(130, 4, ""); }},
        {"a half tick typed", [](Grid& g, std::string&) { g.SetCell(200, 4, "80000.5"); }},
        {"a row deleted from the first block", [](Grid& g, std::string&) { g.DeleteRow(2); }},
        {"another driver in the car", [](Grid&, std::string& d) { d = "A"; }},
        {"a lap driven by a driver typed in",
         [](Grid& g, std::string&) { g.SetCell(250, 2, "A"); }},
        {"the grid cut to a block and a half", [](Grid& g, std::string&) { g.SetRowCount(96); }},
        {"cut to a block's edge", [](Grid& g, std::string&) { g.SetRowCount(64); }},
        {"grown past it again",
         [](Grid& g, std::string&) {
             g.SetRowCount(66);
             g.SetCell(65, 4, "70000");
             g.SetCell(65, 2, "A");
         }},
        {"every lap cleared", [](Grid& g, std::string&) { g.SetRowCount(0); }},
    };
    RecomputeLapStats(f.console, 0);
    for (const Step& step : steps) {
        step.edit(g, f.panel(0).Cmb_Driver.text);
        const RunnerState before = f.runner(0);
        RecomputeLapStats(f.console, 0);

        LinkRig fresh({0});
        fresh.st().RemainingTicks = f.st().RemainingTicks;
        fresh.runner(0) = before;
        fresh.panel(0).Spd_LapTime = Grid(g.ColumnCount());
        fresh.panel(0).Spd_LapTime.SetRowCount(g.RowCount());
        for (int row = 1; row <= g.RowCount(); ++row)
            for (int col = 1; col <= g.ColumnCount(); ++col)
                fresh.panel(0).Spd_LapTime.SetCell(row, col, g.Cell(row, col));
        fresh.panel(0).Cmb_Driver.text = f.panel(0).Cmb_Driver.text;
        RecomputeLapStats(fresh.console, 0);

        const RunnerState& a = f.runner(0);
        const RunnerState& b = fresh.runner(0);
        EXPECT_EQ(a.BestLapNo, b.BestLapNo) << step.what;
        EXPECT_EQ(a.BestLapTicks, b.BestLapTicks) << step.what;
        EXPECT_EQ(a.AverageLapTicks, b.AverageLapTicks) << step.what;
        EXPECT_EQ(a.DriverBestLapNo, b.DriverBestLapNo) << step.what;
        EXPECT_EQ(a.DriverBestTicks, b.DriverBestTicks) << step.what;
        EXPECT_EQ(a.DriverTotalTicks, b.DriverTotalTicks) << step.what;
        EXPECT_EQ(a.DriverLapCount, b.DriverLapCount) << step.what;
        EXPECT_EQ(f.panel(0).Lbl_AveLapTime.caption, fresh.panel(0).Lbl_AveLapTime.caption)
            << step.what;
        EXPECT_EQ(f.panel(0).Lbl_DrvrAveLapTime.caption, fresh.panel(0).Lbl_DrvrAveLapTime.caption)
            << step.what;
    }
}

struct Entry {
    int slot;
    int laps;
    bool away;
    const char* best;
};

std::vector<std::string> Ranked(std::initializer_list<Entry> entries) {
    std::vector<int> slots;
    for (const Entry& e : entries) slots.push_back(e.slot);
    LinkRig f({});
    for (const Entry& e : entries) {
        f.panel(e.slot).Lbl_IP.caption = "127.0.0.1";
        f.panel(e.slot).Cmb_Car.AddItem("car" + std::to_string(e.slot) + "\t40\t8");
        f.panel(e.slot).Cmb_Car.Select(0);
        f.runner(e.slot).LapCount = e.laps;
        f.runner(e.slot).AwayFlag = e.away;
        f.runner(e.slot).BestLapText = e.best;
        f.runner(e.slot).BestLapNo = e.laps;
        ++f.st().LastMeasuredSlot;
    }
    RefreshRanking(f.console);
    std::vector<std::string> rows;
    for (std::size_t r = 0; r < entries.size(); ++r) {
        const RankingRow& row = f.st().main.ranking[r];
        rows.push_back(row.Lbl_Sort_No.caption + "/" + row.Lbl_Sort_LAP.caption + "/" +
                       row.Lbl_BestTime.caption + "/" + row.Lbl_BestLAP.caption);
    }
    return rows;
}

TEST(RefreshRanking, OrdersByLapThenBestTextThenSlot) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Ranked({{0, 2, false, "1'30\"000"}, {1, 3, false, "1'40\"000"}}),
              (V{"car1/4/1'40\"000/3", "car0/3/1'30\"000/2"}));
    EXPECT_EQ(Ranked({{0, 3, false, "1'30\"000"}, {1, 3, false, "1'20\"000"}}),
              (V{"car1/4/1'20\"000/3", "car0/4/1'30\"000/3"}));
    // Neither has recorded a lap since program start: the lower slot first.
    EXPECT_EQ(Ranked({{1, 0, false, ""}, {2, 0, false, ""}, {0, 0, false, ""}}),
              (V{"car0/1//0", "car1/1//0", "car2/1//0"}));
    // An empty best text sorts before any other at the same lap.
    EXPECT_EQ(Ranked({{0, 0, false, ""}, {2, 1, true, "1'10\"000"}}),
              (V{"car0/1//0", "car2/1/1'10\"000/1"}));
    // Away on lap 4 and in range after lap 3 are the same lap in progress.
    EXPECT_EQ(Ranked({{0, 4, true, "1'30\"000"}, {1, 3, false, "1'20\"000"}}),
              (V{"car1/4/1'20\"000/3", "car0/4/1'30\"000/4"}));
}

TEST(RefreshRanking, MoreLapsStillRankFirstPastLap999) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Ranked({{0, 1000, false, "1'30\"000"}, {1, 1001, false, "1'40\"000"}}),
              (V{"car1/1002/1'40\"000/1001", "car0/1001/1'30\"000/1000"}));
    EXPECT_EQ(Ranked({{0, 998, false, "1'30\"000"}, {1, 999, false, "1'40\"000"}}),
              (V{"car1/1000/1'40\"000/999", "car0/999/1'30\"000/998"}));
}

TEST(RefreshRanking, SlotsZeroAndTwoFillTwoRows) {
    const auto rows = Ranked({{0, 5, false, "1'25\"000"}, {2, 6, false, "1'28\"000"}});
    EXPECT_EQ(rows, (std::vector<std::string>{"car2/7/1'28\"000/6", "car0/6/1'25\"000/5"}));
}

}  // namespace
}  // namespace velmora::test
