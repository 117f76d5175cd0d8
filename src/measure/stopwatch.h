#pragma once
#include "core/console.h"

namespace velmora {

// Btn_OtherLap click and Time_OtherLap tick.
void OtherLapClick(Console& c);
void StartOtherLapTimer(Console& c);
void OtherLapTick(Console& c);

}  // namespace velmora
