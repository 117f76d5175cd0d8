#include "carlink/laps.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "carlink/protocol.h"
#include "core/text_rules.h"
#include "core/time_format.h"

namespace velmora {

namespace {

// Tick fields are 32-bit; sums and typed values are kept in double and clamped on storing,
// so a hand-typed giant lap time cannot wrap into a negative best or average.
std::int32_t ToTicks(double v) {
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    if (!std::isfinite(v)) return 0;
    return static_cast<std::int32_t>(std::clamp(v, kMin, kMax));
}

std::string ZeroPad(std::int64_t v, std::size_t width) {
    std::string digits = std::to_string(v < 0 ? -v : v);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return v < 0 ? "-" + digits : digits;
}

// The lap in progress: the opened lap while away, the next one while in range.
std::int64_t LapInProgress(const RunnerState& r) {
    return r.AwayFlag ? r.LapCount : static_cast<std::int64_t>(r.LapCount) + 1;
}

// Slots taking part in the running measurement, in slot order. A slot takes part when it
// was set up at the start and its socket could be bound; the start disables the panels of
// all other slots, and nothing re-enables a panel until the measurement stops.
std::vector<int> MeasuredSlots(const Console& c) {
    std::vector<int> slots;
    for (int s = 0; s < kPanelCount; ++s) {
        const PanelState& p = c.st.panels[s];
        if (!p.Lbl_IP.caption.empty() && p.Frm_Runner.enabled) slots.push_back(s);
    }
    return slots;
}

}  // namespace

std::optional<double> LapRowTicks(const Grid& laps, int row) {
    double v = 0;
    if (!ParseNumber(laps.Cell(row, 4), v)) return std::nullopt;
    return v;
}

void RecordLap(Console& c, int i, std::int32_t tick, LocalTime recordedAt) {
    RunnerState& r = c.st.runners[i];
    PanelState& p = c.st.panels[i];
    Grid& grid = p.Spd_LapTime;

    r.LastLapTicks = ToTicks(static_cast<double>(tick) - r.LapStartTick);
    r.LastLapText = FormatLapTime(r.LastLapTicks, c.clock);
    r.LapStartTick = tick;
    if (r.LapCount == 0) {
        r.LapCount = 1;
        grid.SetRowCount(1);
    }
    // The silence step keeps the grid at LapCount rows; never write past its end.
    if (grid.RowCount() < r.LapCount) grid.SetRowCount(r.LapCount);

    const int row = r.LapCount;
    grid.SetCell(row, 1, r.LastLapText);
    grid.SetActiveCell(1, row);
    grid.SetCell(row, 2, p.Cmb_Driver.text);
    grid.SetCell(row, 4, std::to_string(r.LastLapTicks));
    // The crew text as the echo was read (past lap 999 the echo is wider than three).
    grid.SetCell(row, 5, r.OutgoingMessage + ", " + p.Lbl_InMess.caption);
    grid.SetCell(row, kLapMessageSplitColumn, std::to_string(r.OutgoingMessage.size()));
    grid.SetCell(row, kLapRecordedAtColumn,
                 FormatStatusDate(recordedAt) + " " + FormatStatusTime(recordedAt));
    // The pass that closed the lap began here; the silence step writes where it ended.
    grid.SetCell(row, kLapClosedTickColumn, std::to_string(tick));
    grid.SetCell(row, kLapPassEndTickColumn, {});

    RecomputeLapStats(c, i);
    if (r.DriverLapCount == 0) r.DriverLapCount = 1;
    r.StatusBlock = BuildStatusBlock(c, i);
}

void RecomputeLapStats(Console& c, int i) {
    RunnerState& r = c.st.runners[i];
    PanelState& p = c.st.panels[i];
    const Grid& grid = p.Spd_LapTime;
    const std::string& driver = p.Cmb_Driver.text;
    LapStatsMemo& memo = c.lapStats[static_cast<std::size_t>(i)];

    // A new lap folds at most one block of rows however long the race; another driver's sums
    // start again from row 1.
    // Untimed rows (opened and not yet recorded, added by a correction, cleared by hand) are
    // not laps: taken as 0 they would become the best lap and pull every average down.
    // Sums are rounded row by row, in row order, exactly as a fold from row 1 would round them.
    const LapFold f = FoldRowBlocks(grid, memo, memo.driver != driver, [&](LapFold& sum, int row) {
        const std::optional<double> ticks = LapRowTicks(grid, row);
        if (!ticks) return;
        const double v = *ticks;
        ++sum.timedLaps;
        sum.total = RoundHalfEven(sum.total + v);
        if (v < sum.best) {  // strictly: a tie keeps the earlier row
            sum.best = RoundHalfEven(v);
            sum.bestRow = row;
        }
        if (grid.Cell(row, 2) == driver) {
            sum.driverTotal = RoundHalfEven(sum.driverTotal + v);
            ++sum.driverLaps;
            if (v < sum.driverBest) {
                sum.driverBest = RoundHalfEven(v);
                sum.driverBestRow = row;
            }
        }
    });
    memo.driver = driver;

    const double best = f.best;
    const double driverBest = f.driverBest;
    const double total = f.total;
    const double driverTotal = f.driverTotal;
    const std::int32_t timedLaps = f.timedLaps;
    const std::int32_t driverLaps = f.driverLaps;
    if (f.bestRow != 0) r.BestLapNo = f.bestRow;
    if (f.driverBestRow != 0) r.DriverBestLapNo = f.driverBestRow;
    r.BestLapTicks = ToTicks(best);
    r.DriverBestTicks = ToTicks(driverBest);
    r.DriverTotalTicks = ToTicks(driverTotal);
    r.DriverLapCount = driverLaps;

    p.Lbl_BestLapTime.caption =
        r.BestLapTicks == kNoLapTicks
            ? "-"
            : std::to_string(r.BestLapNo) + "周目 " + FormatLapTime(r.BestLapTicks, c.clock);
    r.BestLapText = FormatLapTime(r.BestLapTicks, c.clock);

    r.AverageLapTicks = 0;
    if (timedLaps != 0) {
        r.AverageLapTicks = ToTicks(std::trunc(total / timedLaps));
        p.Lbl_AveLapTime.caption = FormatLapTime(r.AverageLapTicks, c.clock);
        // An average of 0 (laps typed as zero) gives no meaningful prediction, so the last one
        // stays rather than dividing by zero.
        if (r.AverageLapTicks != 0) {
            const double lapsLeft = std::floor(static_cast<double>(c.st.RemainingTicks) /
                                               static_cast<double>(r.AverageLapTicks));
            p.Lbl_YosoSyu.caption =
                "あと" + std::to_string(static_cast<std::int64_t>(lapsLeft)) + "周";
        }
    } else {
        p.Lbl_AveLapTime.caption = "-";
    }

    p.Lbl_DrvrBestLapTime.caption = r.DriverBestTicks == kNoLapTicks
                                        ? "-"
                                        : FormatLapTime(r.DriverBestTicks, c.clock) + "-" +
                                              std::to_string(r.DriverBestLapNo) + "L";
    // A driver without a timed lap has no average: "-", never a lap of 0'00"000.
    p.Lbl_DrvrAveLapTime.caption =
        driverLaps != 0
            ? FormatLapTime(ToTicks(RoundHalfEven(static_cast<double>(r.DriverTotalTicks) /
                                                  r.DriverLapCount)),
                            c.clock)
            : "-";
    // The status block divides by this count.
    if (r.DriverLapCount == 0) r.DriverLapCount = 1;

    if (r.DriverInfoRow != 0) {
        p.Spd_DriverInfo.SetCell(r.DriverInfoRow, 2, p.Lbl_DrvrBestLapTime.caption);
        p.Spd_DriverInfo.SetCell(r.DriverInfoRow, 3, p.Lbl_DrvrAveLapTime.caption);
    }
}

void RefreshRanking(Console& c) {
    ConsoleState& st = c.st;
    const std::vector<int> slots = MeasuredSlots(c);
    const int count = std::min<int>(static_cast<int>(slots.size()), kPanelCount);
    if (count == 0) return;
    const int last = count - 1;

    // The lap part of a key is 999 − p in three digits. Past lap 999 that would go negative
    // and sort the wrong way, so the field widens to 9999 − p, 99999 − p … for every key.
    std::int64_t maxLap = 0;
    for (int s : slots) maxLap = std::max(maxLap, LapInProgress(st.runners[s]));
    std::size_t width = 3;
    std::int64_t base = 999;
    while (maxLap > base) base = base * 10 + 9, ++width;
    for (int k = 0; k < count; ++k) {
        const int s = slots[static_cast<std::size_t>(k)];
        const RunnerState& r = st.runners[s];
        st.RankKeys[k] =
            ZeroPad(base - LapInProgress(r), width) + r.BestLapText + std::to_string(s);
    }
    // Exchange sort, restarting from the top after every swap (at most five keys).
    int k = 0;
    while (k < last) {
        if (st.RankKeys[k] > st.RankKeys[k + 1]) {
            st.RankSwap = st.RankKeys[k];
            st.RankKeys[k] = st.RankKeys[k + 1];
            st.RankKeys[k + 1] = st.RankSwap;
            k = 0;
        } else {
            ++k;
        }
    }
    for (int row = 0; row < count; ++row) {
        const int s = st.RankKeys[row].back() - '0';
        const RunnerState& r = st.runners[s];
        RankingRow& rr = st.main.ranking[row];
        rr.Lbl_Sort_No.caption = st.panels[s].Cmb_Car.Column(0);
        rr.Lbl_Sort_LAP.caption = std::to_string(LapInProgress(r));
        rr.Lbl_BestTime.caption = r.BestLapText;
        rr.Lbl_BestLAP.caption = std::to_string(r.BestLapNo);
    }
}

}  // namespace velmora
