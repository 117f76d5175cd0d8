#pragma once
// What the lap chart shows: lap time against lap number for every set-up car, taken from
// the lap grids as they stand. Untimed rows are left out.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/console_state.h"
#include "core/tick_clock.h"

namespace velmora {

struct ChartPoint {
    int lap = 0;       // the lap grid row
    double ticks = 0;  // its lap time
    int driver = 0;    // index into LapChart::drivers (which a new driver can reorder)
};

struct ChartSeries {
    int slot = 0;
    std::string caption;  // "１号車"
    std::string carName;  // the car chosen for the slot, may be empty
    std::vector<ChartPoint> points;
    int best = -1;  // index of the fastest point (the earlier one on a tie); -1 = no point
};

struct LapChart {
    std::vector<std::string> drivers;   // every driver of a point, in order of first appearance
    std::vector<ChartSeries> cars;      // set-up slots in slot order
    double minTicks = 0, maxTicks = 0;  // over every point (0, 0 when there is none)
    int maxLap = 0;
};

LapChart BuildLapChart(const ConsoleState& st);

// Numbers for drivers by name, given in order of first sight and never changed: a chart keys
// each car's points per driver and colours them by these, so a driver who appears on one car
// renumbers nobody on another (whose points are not drawn again then).
class DriverNumbers {
  public:
    int Of(const std::string& driver);

  private:
    std::map<std::string, int, std::less<>> numbers_;
};

// What a chart `budget` points wide draws of `points` (in lap order) between `fromLap` and
// `toLap`: every point there when they are no more than `budget`, otherwise the fastest and
// the slowest point of each of budget / 2 runs of consecutive points, in lap order, so pit
// stops, slow laps and the pace survive while a long race costs the window no more than a
// short one. The nearest point outside the range on each side is kept too, so a line runs
// on to the chart's edges.
std::vector<ChartPoint> ThinPoints(const std::vector<ChartPoint>& points, double fromLap,
                                   double toLap, int budget);

// A y-axis mark: a lap time and its text in the lap-time format.
struct AxisMark {
    double ticks = 0;
    std::string label;
};

// Marks at a round step (tenths of a second up to hours) covering [lo, hi] with at most
// `maxMarks` of them, each labelled with FormatLapTime.
std::vector<AxisMark> LapTimeAxisMarks(double lo, double hi, const ClockParams& clock,
                                       int maxMarks = 8);

// The lap grid revisions and the texts a chart is drawn from; equal keys draw equal charts.
struct LapChartKey {
    std::uint64_t revisions[kPanelCount] = {};
    std::string texts;
    friend bool operator==(const LapChartKey&, const LapChartKey&) = default;
};
LapChartKey ChartKeyOf(const ConsoleState& st, const ClockParams& clock);

}  // namespace velmora
