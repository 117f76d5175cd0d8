#include <gtest/gtest.h>

#include "analysis/driving_time.h"
#include "core/tick_clock.h"
#include "lap_rows.h"

namespace velmora {
namespace {

using test::FillLaps;
using test::LapRow;

const ClockParams kMs = DeriveClockParams("1/1000", 10);
const ClockParams kCs = DeriveClockParams("1/100", 10);

TEST(DriverTotals, CountOnlyTimedRowsPerDriverInOrderOfTheirFirstLap) {
    struct Case {
        const char* what;
        std::vector<LapRow> rows;
        std::vector<DriverTotal> totals;
        const char* driverNow;
        Stint stint;
    };
    const Case cases[] = {
        {"no laps", {}, {}, "A", {0, 0}},
        {"only the open lap", {{"", ""}}, {}, "A", {0, 0}},
        {"drivers alternating",
         {{"60000", "A"}, {"61000", "B"}, {"62000", "A"}, {"63000", "A"}, {"", ""}},
         {{"A", 3, 185000}, {"B", 1, 61000}},
         "A",
         {2, 125000}},
        {"a driver change: the new driver's lap is still open",
         {{"60000", "A"}, {"61000", "A"}, {"", ""}},
         {{"A", 2, 121000}},
         "B",
         {0, 0}},
        {"a correction added empty rows inside a stint",
         {{"60000", "A"}, {"", ""}, {"", ""}, {"62000", "A"}, {"", ""}},
         {{"A", 2, 122000}},
         "A",
         {2, 122000}},
        {"a lap cleared by hand and odd cells",
         {{"60000", "B"}, {"abc", "A"}, {"1e3", "A"}, {"61000.5", "A"}},
         {{"B", 1, 60000}, {"A", 2, 62000.5}},
         "A",
         {2, 62000.5}},
        {"no driver chosen", {{"60000", ""}, {"61000", ""}}, {{"", 2, 121000}}, "", {2, 121000}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Grid g(kLapGridColumns);
        FillLaps(g, k.rows);
        const std::vector<DriverTotal> got = DriverTotals(g);
        ASSERT_EQ(got.size(), k.totals.size());
        for (std::size_t d = 0; d < got.size(); ++d) {
            EXPECT_EQ(got[d].driver, k.totals[d].driver);
            EXPECT_EQ(got[d].laps, k.totals[d].laps);
            EXPECT_DOUBLE_EQ(got[d].ticks, k.totals[d].ticks);
        }
        const Stint s = CurrentStint(g, k.driverNow);
        EXPECT_EQ(s.laps, k.stint.laps);
        EXPECT_DOUBLE_EQ(s.ticks, k.stint.ticks);
    }
}

TEST(FormatDrivingTime, HoursMinutesSecondsAndTheClocksFraction) {
    struct Case {
        double ticks;
        const ClockParams* clock;
        const char* text;
        Fraction fraction = Fraction::Shown;
    } cases[] = {
        {0, &kMs, "0:00:00.000"},
        {83456, &kMs, "0:01:23.456"},
        {83456, &kMs, "0:01:23", Fraction::Left},
        {-61999, &kMs, "-0:01:01", Fraction::Left},
        {1999, &kMs, "0:00:01.999"},  // never rounds up
        {3'723'004, &kMs, "1:02:03.004"},
        {90'000'000, &kMs, "25:00:00.000"},
        {8345, &kCs, "0:01:23.45"},
        {360'000, &kCs, "1:00:00.00"},
        {83456.5, &kMs, "0:01:23.456"},  // half to even
        {-61000, &kMs, "-0:01:01.000"},
        {1e12, &kMs, "277777:46:40.000"},  // far past a 32-bit count
    };
    for (const Case& k : cases)
        EXPECT_EQ(FormatDrivingTime(k.ticks, *k.clock, k.fraction), k.text) << k.ticks;
}

TEST(StintCaption, LapsAndWholeMinutesDriven) {
    struct Case {
        Stint stint;
        const ClockParams* clock;
        const char* caption;
    } cases[] = {
        {{0, 0}, &kMs, "連続0周 0分"},
        {{12, 3'599'999}, &kMs, "連続12周 59分"},
        {{123, 8'100'000}, &kMs, "連続123周 135分"},
        {{40, 360'000}, &kCs, "連続40周 60分"},
        {{1, -59'000}, &kMs, "連続1周 0分"},
    };
    for (const Case& k : cases) EXPECT_EQ(StintCaption(k.stint, *k.clock), k.caption);
}

TEST(UpdateDrivingFigures, FillsTheDriverTableAndTheStintAndTouchesNothingUnchanged) {
    PanelState p;
    p.Spd_DriverInfo.SetRowCount(3);
    p.Spd_DriverInfo.SetCell(1, 1, "A");
    p.Spd_DriverInfo.SetCell(1, 2, "1'00\"000");  // best and average stay as they are
    p.Spd_DriverInfo.SetCell(2, 1, "B");
    p.Spd_DriverInfo.SetCell(3, 1, "C");  // chosen, never driven
    FillLaps(p.Spd_LapTime, {{"60000", "A"}, {"3600000", "B"}, {"61000", "B"}, {"", ""}});
    p.Cmb_Driver.text = "B";

    UpdateDrivingFigures(p, kMs);
    const Grid& t = p.Spd_DriverInfo;
    EXPECT_EQ(t.Cell(1, 2), "1'00\"000");
    EXPECT_EQ(t.Cell(1, kDriverLapsColumn), "1");
    EXPECT_EQ(t.Cell(1, kDriverTimeColumn), "0:01:00");
    EXPECT_EQ(t.Cell(2, kDriverLapsColumn), "2");
    EXPECT_EQ(t.Cell(2, kDriverTimeColumn), "1:01:01");
    EXPECT_EQ(t.Cell(3, kDriverLapsColumn), "0");
    EXPECT_EQ(t.Cell(3, kDriverTimeColumn), "0:00:00");
    EXPECT_EQ(p.Lbl_Stint.caption, "連続2周 61分");

    const std::uint64_t revision = t.Revision();
    UpdateDrivingFigures(p, kMs);
    EXPECT_EQ(t.Revision(), revision);

    // A lap time typed over B's long lap, then a driver change.
    p.Spd_LapTime.SetCell(2, 4, "59000");
    p.Cmb_Driver.text = "C";
    UpdateDrivingFigures(p, kMs);
    EXPECT_EQ(t.Cell(2, kDriverTimeColumn), "0:02:00");
    EXPECT_EQ(p.Lbl_Stint.caption, "連続0周 0分");
}

// The engine folds only the lap grid's row blocks that changed since its last refresh; what it
// derives must equal a derivation from the whole grid after every kind of change, over many
// blocks: laps recorded, an open lap, a driver change, an earlier lap time or driver edited,
// a row deleted, rows cut.
TEST(DrivingFigures, FoldingChangedBlocksEqualsDerivingTheWholeGrid) {
    ConsoleState st;
    PanelState& p = st.panels[0];
    p.Spd_DriverInfo.SetRowCount(3);
    for (int r = 1; r <= 3; ++r) p.Spd_DriverInfo.SetCell(r, 1, std::string(1, char('A' + r - 1)));
    Grid& laps = p.Spd_LapTime;
    DrivingFigures figures;
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    const auto check = [&](int step) {
        figures.Refresh(st, kMs);
        PanelState whole = p;
        UpdateDrivingFigures(whole, kMs);
        EXPECT_EQ(p.Lbl_Stint.caption, whole.Lbl_Stint.caption) << "step " << step;
        for (int r = 1; r <= 3; ++r)
            for (int col : {kDriverLapsColumn, kDriverTimeColumn})
                ASSERT_EQ(p.Spd_DriverInfo.Cell(r, col), whole.Spd_DriverInfo.Cell(r, col))
                    << "step " << step << " row " << r;
    };
    p.Cmb_Driver.text = "A";
    for (int step = 0; step < 600; ++step) {
        const int rows = laps.RowCount();
        switch (step < 300 ? 0 : next(8)) {
            case 0:
            case 1:
            case 2:  // a lap recorded, by the driver chosen now
                laps.SetRowCount(rows + 1);
                laps.SetCell(rows + 1, 4, std::to_string(30'000 + next(90'000)));
                laps.SetCell(rows + 1, 2, p.Cmb_Driver.text);
                if (next(20) == 0) laps.SetRowCount(rows + 2);  // the open lap
                break;
            case 3:  // a driver change
                p.Cmb_Driver.text = std::string(1, char('A' + next(3)));
                break;
            case 4:  // an earlier lap time edited or cleared
                if (rows > 0)
                    laps.SetCell(1 + next(rows), 4, next(4) ? std::to_string(next(99'999)) : "");
                break;
            case 5:  // an earlier driver edited
                if (rows > 0) laps.SetCell(1 + next(rows), 2, std::string(1, char('A' + next(3))));
                break;
            case 6:  // a row deleted
                if (rows > 0) laps.DeleteRow(1 + next(rows));
                break;
            case 7:  // rows cut
                laps.SetRowCount(rows - static_cast<int>(next(std::min(rows, 100) + 1)));
                break;
        }
        if (step % 7 == 0 || step >= 300) check(step);
        if (p.Cmb_Driver.text == "A" && step % 50 == 49) p.Cmb_Driver.text = "B";
    }
}

}  // namespace
}  // namespace velmora
