#pragma once
#include "core/console.h"

namespace velmora {

// Time_Lap(i) tick: lap clock refresh, then OpenNextLap as far as the car's silence is known.
void LapTimerTick(Console& c, int i);
// The silence step as of tick `asOf`: once slot i's car has been silent for longer than the
// silence interval, the next lap opens.
void OpenNextLap(Console& c, int i, std::int32_t asOf);
void OpenNextLap(Console& c, int i);  // as of now
// Time_NoInputBlk tick.
void BlinkEmptyInputs(Console& c);

}  // namespace velmora
