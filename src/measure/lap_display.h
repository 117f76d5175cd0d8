#pragma once
#include "core/console.h"

namespace velmora {

// Time_Lap(i) tick: lap clock refresh, then OpenNextLap.
void LapTimerTick(Console& c, int i);
void OpenNextLap(Console& c, int i);
// Time_NoInputBlk tick.
void BlinkEmptyInputs(Console& c);

}  // namespace velmora
