#pragma once
// Which passes are pit stops: with --pit-every K, the pass that closes every K-th lap lasts
// --pit-ms instead of --in-range-ms. The car keeps sending while it stands, so the console sees
// one long pass. The first pass (before lap 1) and the last (closing the final lap) are never
// stops: the car starts and finishes, it does not stand in between.
#include "options.h"

namespace velmora::carsim {

// Pass 1 is the car's first time in range; pass p > 1 closes lap p − 1.
inline bool IsPitStop(const Options& o, int pass) {
    const int closes = pass - 1;
    return o.pitEvery > 0 && closes > 0 && closes < o.laps && closes % o.pitEvery == 0;
}

inline int PassLengthMs(const Options& o, int pass) {
    return IsPitStop(o, pass) ? o.pitMs : o.inRangeMs;
}

}  // namespace velmora::carsim
