#pragma once
#include "core/console.h"

namespace velmora {

// Btn_LapChg(i).
void CorrectLapCount(Console& c, int i);
// Spd_LapTime(i) cell changed by the crew.
void ParseLapCell(Console& c, int i, int col, int row);
// An edit of Spd_LapTime(i) cell (row, col) begins: keep that cell's own text for undoing
// an invalid edit (never the text of the cell visited before).
void LapGridBeginEdit(Console& c, int i, int col, int row);

}  // namespace velmora
