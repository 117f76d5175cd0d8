#pragma once
// One event's driving-time rules. Every rule is optional: an empty value means the event has
// no such rule. Times are whole milliseconds, so limits compare exactly with lap times.
#include <cstdint>
#include <optional>

namespace velmora {

// A pass longer than this is a pit stop unless the event sets another length.
inline constexpr std::int64_t kDefaultStopThresholdMs = 20'000;

struct DrivingRules {
    std::optional<std::int64_t> minStintMs;
    std::optional<std::int64_t> maxStintMs;
    // The minimum stint no longer applies to a stint that ends this close to the planned end
    // of the run (the maximum still does).
    std::optional<std::int64_t> finalPeriodMs;
    std::optional<std::int64_t> minStopMs;
    // A pass strictly longer than this is a pit stop; empty: kDefaultStopThresholdMs.
    std::optional<std::int64_t> stopThresholdMs;
    std::optional<std::int64_t> minChanges;
    std::optional<std::int64_t> minStops;
    std::optional<std::int64_t> maxDriverTotalMs;
    // At most windowCapMs of driving within any windowMs (3 h in 5 h). Both or neither.
    std::optional<std::int64_t> windowCapMs;
    std::optional<std::int64_t> windowMs;
    std::optional<std::int64_t> penaltyLaps;  // per breach, for the team's own estimate

    std::int64_t StopThresholdMs() const {
        return stopThresholdMs.value_or(kDefaultStopThresholdMs);
    }
    bool operator==(const DrivingRules&) const = default;
};

}  // namespace velmora
