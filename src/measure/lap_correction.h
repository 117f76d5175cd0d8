#pragma once
#include "core/console.h"

namespace velmora {

// Btn_LapChg(i).
void CorrectLapCount(Console& c, int i);
// Spd_LapTime(i) cell changed by the crew.
void ParseLapCell(Console& c, int i, int col, int row);
// Spd_LapTime(i) cell left: keep its text for undoing an invalid edit.
void LapGridLeaveCell(Console& c, int i, int col, int row);

}  // namespace velmora
