#include "analysis/rule_table.h"

#include <gtest/gtest.h>

#include <optional>

#include "core/console_state.h"

namespace velmora {
namespace {

constexpr std::int64_t m = 60'000;

TEST(RuleTable, ThePanelSaysTheLevelInWordsAndColourAndOnlyWhatApplies) {
    struct Case {
        std::optional<std::int64_t> leftMs;
        std::optional<std::int64_t> earliestMs;
        int owedChanges, owedStops, breaches;
        const char* due;
        Colour back, fore;
        const char* note;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, 0, 0, 0, "", White, Black, ""},
        {12 * m, std::nullopt, 0, 0, 0, "交代まで 12分", White, Black, ""},
        {5 * m, 7 * m, 0, 0, 0, "交代まで 5分", ChangeSoonColour, Black, "交代可まで3分"},
        {m, 4 * m, 0, 1, 0, "交代まで 1分", ChangeNowColour, Black, "要停止1"},
        {-1, std::nullopt, 2, 3, 2, "交代時間超過 1分", ChangeOverColour, White,
         "違反2件(6周) 要交代2・停止3"},
    };
    DrivingRules rules;
    rules.minStintMs = 10 * m;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.due);
        RuleReport r;
        r.stints.resize(1);
        r.live.leftMs = c.leftMs;
        r.live.earliestChangeMs = c.earliestMs;
        r.live.changesOwed = c.owedChanges;
        r.live.stopsOwed = c.owedStops;
        r.breaches.resize(static_cast<std::size_t>(c.breaches));
        r.penaltyLaps = 3 * c.breaches;
        const RulePanel p = PanelOf(r, rules, 4 * m);
        EXPECT_EQ(p.changeDue, c.due);
        EXPECT_EQ(p.back, c.back);
        EXPECT_EQ(p.fore, c.fore);
        EXPECT_EQ(p.note, c.note);
    }
}

TEST(RuleTable, StintsStopsAndBreachesInTimeOrderAndOnlyChangedCellsWritten) {
    RuleReport r;
    r.stints = {{"A", 1, 12, 12, 0, 40 * m, 40 * m, 40 * m, false},
                {"B", 13, 13, 1, 40 * m, 46 * m, 3 * m, 6 * m, true}};
    r.stops = {{12, 40 * m, 40 * m + 95'500, 95'500, false, true},
               {13, 43 * m, 44 * m, m, true, false}};
    r.changes = {{"A", "B", 12, 40 * m, false}};
    r.breaches = {{BreachKind::StintTooLong, 12, 35 * m, "A", 40 * m, 35 * m, false},
                  {BreachKind::StopTooShort, 12, 40 * m + 95'500, "", 95'500, 100'000, false},
                  {BreachKind::MissedStop, 0, 46 * m, "", 1, 3, true}};
    r.penaltyLaps = 6;
    Grid t(kStintTableColumns);
    FillStintTable(t, r);
    // The last three columns are the team view's: kind, provisional, penalty laps.
    const std::vector<std::vector<std::string>> want = {
        {"走行", "A", "1～12", "0:00:00", "0:40:00", "", "0", "2400000", "", "", ""},
        {"違反", "A", "12", "0:35:00", "0:40:00", "連続走行超過 規定0:35:00", "2100000", "2400000",
         "stintTooLong", "", "2"},
        {"停止", "A→B", "12", "0:40:00", "0:01:35", "交代", "2400000", "95500", "short", "", ""},
        {"走行", "B", "13", "0:40:00", "0:03:00", "走行中", "2400000", "180000", "", "", ""},
        {"違反", "", "12", "0:41:35", "0:01:35", "ピット停止時間不足 規定0:01:40", "2495500",
         "95500", "stopTooShort", "", "2"},
        {"停止", "", "13", "0:43:00", "", "停止中", "2580000", "", "", "", ""},
        {"違反", "", "", "0:46:00", "1回", "ピット停止回数不足 規定3回 暫定", "2760000", "",
         "missedStop", "1", "2"},
    };
    ASSERT_EQ(t.RowCount(), static_cast<int>(want.size()));
    for (int row = 1; row <= t.RowCount(); ++row)
        for (int col = 1; col <= kStintTableColumns; ++col)
            EXPECT_EQ(t.Cell(row, col), want[row - 1][col - 1]) << row << "," << col;

    const std::uint64_t revision = t.Revision();
    FillStintTable(t, r);
    EXPECT_EQ(t.Revision(), revision);
    r.breaches.pop_back();
    r.penaltyLaps = 4;
    FillStintTable(t, r);
    EXPECT_EQ(t.RowCount(), 6);

    // A table that remembers its rows still follows what changes beside them: the penalty per
    // breach, a breach calling a stop too short, a change becoming provisional.
    StintTable kept;
    kept.Fill(t, r);
    r.breaches.erase(r.breaches.begin() + 1);
    r.penaltyLaps = 3;
    r.changes[0].provisional = true;
    kept.Fill(t, r);
    EXPECT_EQ(t.Cell(2, kStintPenaltyColumn), "3");
    EXPECT_EQ(t.Cell(3, kStintCodeColumn), "");
    EXPECT_EQ(t.Cell(3, kStintProvisionalColumn), "1");

    EXPECT_EQ(RunTimeText(3'723'456), "1:02:03");
    EXPECT_EQ(RunTimeText(3'723'456, true), "1:02:03.456");
    EXPECT_EQ(RunTimeText(-1'005, true), "-0:00:01.005");
}

}  // namespace
}  // namespace velmora
