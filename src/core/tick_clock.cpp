#include "core/tick_clock.h"

#include <algorithm>
#include <limits>

namespace velmora {

ClockParams DeriveClockParams(std::string_view precision, int silenceSeconds) {
    ClockParams p;
    if (precision == "1/1000") {
        p.TicksPerSecond = 1000;
        p.FractionFormat = "000";
        p.TickToMs = 1;
    } else {
        p.TicksPerSecond = 100;
        p.FractionFormat = "00";
        p.TickToMs = 10;
    }
    // Computed wide and clamped: settings keep 1..99 seconds, but a wild value must not wrap.
    const std::int64_t ticks = static_cast<std::int64_t>(silenceSeconds) * p.TicksPerSecond;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    p.SilenceTicks = static_cast<std::int32_t>(std::clamp<std::int64_t>(ticks, -kMax, kMax));
    return p;
}

void TickClock::Start(std::int32_t ticksPerSecond) { Resume(ticksPerSecond, 0); }

void TickClock::Resume(std::int32_t ticksPerSecond, std::int64_t elapsedNs) {
    periodNs_ = 1'000'000'000LL / (ticksPerSecond > 0 ? ticksPerSecond : 1000);
    originNs_ = mono_.NowNs() - (elapsedNs > 0 ? elapsedNs : 0);
    frozen_.store(0, std::memory_order_relaxed);
    running_.store(true, std::memory_order_release);
}

void TickClock::Hold(std::int32_t ticks) {
    frozen_.store(ticks, std::memory_order_relaxed);
    running_.store(false, std::memory_order_release);
}

void TickClock::Stop() {
    if (!Running()) return;
    frozen_.store(Now(), std::memory_order_relaxed);
    running_.store(false, std::memory_order_release);
}

std::int32_t TickClock::Now() const { return At(mono_.NowNs()); }

std::int32_t TickClock::At(std::int64_t ns) const {
    if (!running_.load(std::memory_order_acquire)) return frozen_.load(std::memory_order_relaxed);
    const std::int64_t elapsed = std::min(ns, mono_.NowNs()) - originNs_;
    if (elapsed <= 0) return 0;
    const std::int64_t ticks = elapsed / periodNs_;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(ticks > kMax ? kMax : ticks);
}

bool TickClock::NearLimit(std::int32_t marginTicks) const {
    if (marginTicks < 0) marginTicks = 0;
    return Now() > std::numeric_limits<std::int32_t>::max() - marginTicks;
}

}  // namespace velmora
