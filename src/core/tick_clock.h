#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "core/services.h"

namespace velmora {

// Derived clock parameters: only the exact precision text "1/1000" selects the 1 ms tick.
struct ClockParams {
    std::int32_t TicksPerSecond = 1000;
    std::string FractionFormat = "000";  // sub-second digits of lap-time text
    std::int32_t TickToMs = 1;
    std::int32_t SilenceTicks = 10000;
};

ClockParams DeriveClockParams(std::string_view precision, int silenceSeconds);

// TickCounter: ticks since the current measurement was started, a signed 32-bit count.
// The count is derived on every read from the monotonic clock (elapsed time / period), so it
// cannot drift or lose ticks however busy the user-interface thread is, and costs nothing
// between reads. Start and Stop are called on the user-interface thread only; the frozen
// value after Stop is kept in an atomic so a reader on another thread sees it whole.
class TickClock {
  public:
    explicit TickClock(MonotonicClock& mono) : mono_(mono) {}

    // Resets the count to 0 and lets it advance once per period (1 ms or 10 ms).
    void Start(std::int32_t ticksPerSecond);
    // Lets the count advance as if Start had been called `elapsedNs` ago: a measurement
    // carried on after a restart of the program keeps its tick 0.
    void Resume(std::int32_t ticksPerSecond, std::int64_t elapsedNs);
    // Freezes the count at its current value. Safe to call when not running.
    void Stop();
    // Not running, the count held at `ticks` (a stopped measurement brought back).
    void Hold(std::int32_t ticks);
    bool Running() const { return running_.load(std::memory_order_relaxed); }
    // The monotonic instant of tick 0 of the running count.
    std::int64_t OriginNs() const { return originNs_; }

    // The current TickCounter reading. Saturates at INT32_MAX instead of wrapping.
    std::int32_t Now() const;
    // The reading the counter had (or will have) at monotonic instant `ns`: a datagram's lap
    // is timed by when it arrived. Never above Now(); the frozen count while stopped.
    std::int32_t At(std::int64_t ns) const;
    // True once fewer than `marginTicks` ticks are left before the 32-bit limit.
    bool NearLimit(std::int32_t marginTicks) const;

  private:
    MonotonicClock& mono_;
    std::atomic<bool> running_{false};
    std::atomic<std::int32_t> frozen_{0};
    std::int64_t originNs_ = 0;
    std::int64_t periodNs_ = 1'000'000;
};

}  // namespace velmora
