#pragma once
// The kernel stamps a datagram's arrival on the real-time clock; the console times laps on the
// monotonic one. The two are mapped through their offset, read between two real-time readings.
// A thread preempted between the readings would read an offset wrong by half the time it was
// away (milliseconds on a machine whose cores are busy), and every datagram read with it would
// be stamped that much off: so the offset comes from the narrowest of a few readings.
#include <cstdint>

namespace velmora {

struct ClockOffset {
    std::int64_t offsetNs = 0;  // monotonic = real + offsetNs
    std::int64_t monoNowNs = 0;
    std::int64_t windowNs = 0;  // how far apart the two real-time readings were
};

// A window this narrow had no preemption in it: the readings themselves take well under a
// microsecond each.
inline constexpr std::int64_t kTightClockWindowNs = 20'000;
inline constexpr int kClockOffsetTries = 4;

// `real()` and `mono()` read the two clocks in nanoseconds.
template <typename Real, typename Mono>
ClockOffset ReadClockOffset(Real&& real, Mono&& mono) {
    ClockOffset best;
    for (int k = 0; k < kClockOffsetTries; ++k) {
        const std::int64_t before = real();
        const std::int64_t monoNow = mono();
        const std::int64_t after = real();
        const std::int64_t window = after - before;
        // A window that runs backwards is a step of the real-time clock: never chosen over one
        // that does not.
        if (k == 0 || (window >= 0 && (best.windowNs < 0 || window < best.windowNs)))
            best = {monoNow - (before + window / 2), monoNow, window};
        if (best.windowNs >= 0 && best.windowNs <= kTightClockWindowNs) break;
    }
    return best;
}

}  // namespace velmora
