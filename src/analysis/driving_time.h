#pragma once
// Driving time per driver and the current driver's stint, derived from a lap grid: column 2
// names the driver of a lap, and only timed rows (LapRowTicks) count. Nothing here is kept
// between calls, so every figure follows recorded laps, corrections, typed lap times and
// edited driver cells alike.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/console_state.h"
#include "core/row_block_fold.h"
#include "core/tick_clock.h"

namespace velmora {

struct DriverTotal {
    std::string driver;
    int laps = 0;
    double ticks = 0;  // sum of the driver's lap times
};

// One entry per driver with timed laps, in the order of their first timed lap.
std::vector<DriverTotal> DriverTotals(const Grid& laps);

struct Stint {
    int laps = 0;
    double ticks = 0;
};

// The trailing run of timed laps driven by `driver`: from the last row back to the first
// timed row of another driver. Untimed rows neither count nor end the run. The lap in
// progress is an untimed row whose driver is written only when it is recorded, so it is not
// part of the stint: right after a driver change the new driver's stint reads 0 laps until
// the first lap is recorded under the new name.
Stint CurrentStint(const Grid& laps, std::string_view driver);

// Ticks as driving time "h:mm:ss.fff" (the export), or "h:mm:ss" (the driver pop-up, read
// at a glance; driving-time rules count minutes): unlimited hours, the fraction in the
// clock's FractionFormat digits, truncated like lap times. Hours read better than the
// lap-time format's minutes over a day's driving. A negative total (only from typed negative
// lap times) gets a leading "-".
enum class Fraction { Shown, Left };
std::string FormatDrivingTime(double ticks, const ClockParams& clock,
                              Fraction fraction = Fraction::Shown);

// The stint label's caption, "連続12周 15分": the laps and the whole minutes driven. Stint
// limits are counted in minutes, and a stint reads 59分 until its 60th minute is complete.
std::string StintCaption(const Stint& stint, const ClockParams& clock);

// Writes the derived figures into the panel: columns 4 and 5 of every driver table row
// (timed laps and driving time "h:mm:ss" of the driver named in column 1) and the stint label of
// the driver chosen now. Cells already right are left alone, so the table's revision moves only
// when a figure changed.
void UpdateDrivingFigures(PanelState& p, const ClockParams& clock);

// UpdateDrivingFigures for every panel, but only where something it reads changed since the
// last call, and folding only the lap grid's row blocks that changed since: a new lap reads one
// block of rows, not the whole race (it runs before a lap's reply can go).
class DrivingFigures {
  public:
    void Refresh(ConsoleState& st, const ClockParams& clock);

  private:
    // The figures over the rows before some row, in row order.
    struct Fold {
        std::vector<DriverTotal> totals;
        std::string lastDriver;  // the driver of the last timed row so far
        Stint run;               // that driver's trailing run of timed laps
    };
    using Memo = RowBlockMemo<Fold>;
    static Fold FoldLaps(const Grid& laps, Memo& memo);

    struct Source {
        std::uint64_t lapRevision = 0;
        std::uint64_t tableRevision = 0;
        std::string driver;
        std::int32_t ticksPerSecond = 0;
        friend bool operator==(const Source&, const Source&) = default;
    };
    std::array<std::optional<Source>, kPanelCount> from_{};
    std::array<Memo, kPanelCount> memo_;
};

}  // namespace velmora
