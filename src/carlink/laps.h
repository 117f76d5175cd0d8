#pragma once
#include "core/console.h"

namespace velmora {

void RecordLap(Console& c, int i);
void RecomputeLapStats(Console& c, int i);
void RefreshRanking(Console& c);

}  // namespace velmora
