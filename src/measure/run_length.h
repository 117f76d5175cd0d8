#pragma once
#include "core/console.h"

namespace velmora {

// Reads Txt_RunH and Txt_RunN and sets EndTimeSet and MeasureEndTime, counting from
// MeasureStartTime. Both fields 0 (or empty) means no run length.
void ApplyRunLength(Console& c);

}  // namespace velmora
