#pragma once
#include <optional>

#include "core/console.h"

namespace velmora {

// The ticks of lap grid row `row` (column 4), or nothing for an untimed row: one whose tick
// cell is empty or not a number (opened by the silence step or a correction and not yet
// recorded, or cleared by hand). Untimed rows are not laps: no statistic, chart or export
// counts them.
std::optional<double> LapRowTicks(const Grid& laps, int row);

// Times the open lap to `tick` (when the closing datagram arrived) and records it in the grid
// as recorded at `recordedAt` on the wall clock.
void RecordLap(Console& c, int i, std::int32_t tick, LocalTime recordedAt);
void RecomputeLapStats(Console& c, int i);
void RefreshRanking(Console& c);

}  // namespace velmora
