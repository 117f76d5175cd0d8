#pragma once
// What the lap statistics had summed at each row block of a car's lap grid, so that a new lap
// folds one block of rows instead of the whole grid. Derived from the grid and the driver's
// name, never journaled: a memo that does not match the grid is simply not used.
#include <cstdint>
#include <string>

#include "core/row_block_fold.h"
#include "core/runner_state.h"

namespace velmora {

// The running figures over the rows before some row, in row order.
struct LapFold {
    double best = kNoLapTicks;
    double driverBest = kNoLapTicks;
    double total = 0;
    double driverTotal = 0;
    std::int32_t timedLaps = 0;
    std::int32_t driverLaps = 0;
    int bestRow = 0;  // 0 = none faster than "no lap yet"
    int driverBestRow = 0;
};

struct LapStatsMemo : RowBlockMemo<LapFold> {
    std::string driver;  // whose figures the driver sums hold
};

}  // namespace velmora
