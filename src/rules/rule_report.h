#pragma once
// What the rule engine tells about one car at a given moment. Times are ms since the run
// started (tick 0), lengths are ms, laps are lap numbers (rows of the lap grid).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct StintRecord {
    std::string driver;
    std::int32_t firstLap = 0;  // 0: no lap recorded yet (the driver's first lap is running)
    std::int32_t lastLap = 0;
    std::int32_t laps = 0;  // recorded timed laps
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;     // the open stint: now
    std::int64_t lapsMs = 0;    // sum of its recorded lap times (the panel's stint figure)
    std::int64_t lengthMs = 0;  // lapsMs, plus the lap running now for the open stint
    bool open = false;          // the stint of the driver chosen now
    bool operator==(const StintRecord&) const = default;
};

struct PitStopRecord {
    std::int32_t lap = 0;  // the lap the pass closed
    std::int64_t firstMs = 0;
    std::int64_t lastMs = 0;  // in progress: now
    std::int64_t lengthMs = 0;
    bool inProgress = false;    // the car is standing now
    bool driverChange = false;  // a driver change was made at this stop
    bool operator==(const PitStopRecord&) const = default;
};

struct DriverChangeRecord {
    std::string from;
    std::string to;
    std::int32_t lap = 0;      // the outgoing driver's last lap
    std::int64_t atMs = 0;     // when that lap closed: the car came in
    bool provisional = false;  // the incoming driver is chosen but has no lap recorded yet
    bool operator==(const DriverChangeRecord&) const = default;
};

struct DriverTimeRecord {
    std::string driver;
    std::int32_t laps = 0;
    std::int64_t totalMs = 0;
    std::int64_t windowMaxMs = 0;  // most driving in any rolling window (0 without that rule)
    bool operator==(const DriverTimeRecord&) const = default;
};

enum class BreachKind {
    StintTooLong,
    StintTooShort,
    StopTooShort,
    DriverTotalTooLong,
    WindowTooLong,
    MissedChange,
    MissedStop,
};

// A short Japanese name for lists, exports and messages ("連続走行超過" …).
std::string_view BreachKindText(BreachKind kind);
// A fixed ASCII name for tools reading a feed ("stintTooLong" …).
std::string_view BreachKindKey(BreachKind kind);

struct Breach {
    BreachKind kind = BreachKind::StintTooLong;
    std::int32_t lap = 0;  // the lap being driven (or closed by the stop) when it happened
    std::int64_t atMs = 0;
    std::string driver;        // empty for stops, missed changes and missed stops
    std::int64_t valueMs = 0;  // what was measured: stint, stop, total or window driving
    std::int64_t limitMs = 0;  // the rule it broke (counts for missed changes and stops)
    // It rests on the lap running now, whose driver is only fixed when the lap is recorded:
    // choosing another driver for it can still take it back.
    bool provisional = false;
    bool operator==(const Breach&) const = default;
};

struct LiveFigures {
    std::string driver;                       // of the open stint
    std::int64_t stintMs = 0;                 // its length so far
    std::optional<std::int64_t> stintLeftMs;  // before the maximum stint; negative: over
    // Before the first of the maximum stint, the driver's total and the rolling window that
    // the driver would break by driving on: the time left before the change is due.
    std::optional<std::int64_t> leftMs;
    BreachKind limit = BreachKind::StintTooLong;  // which of those leftMs is for
    // When the car may come in for the change: the stint reaches its minimum, or the final
    // period begins. Nothing without a minimum stint.
    std::optional<std::int64_t> earliestChangeMs;
    std::optional<std::int64_t> remainingMs;  // until the planned end
    std::int32_t changes = 0;
    std::int32_t stops = 0;
    // Still to be made in the time remaining: by the minimum counts, and (changes) as many as
    // the maximum stint needs to reach the planned end. A change is made at a stop.
    std::int32_t changesOwed = 0;
    std::int32_t stopsOwed = 0;
    bool operator==(const LiveFigures&) const = default;
};

struct RuleReport {
    std::vector<StintRecord> stints;  // in time order; the open stint last
    std::vector<PitStopRecord> stops;
    std::vector<DriverChangeRecord> changes;
    std::vector<DriverTimeRecord> drivers;  // in order of their first stint
    std::vector<Breach> breaches;           // in time order
    std::int64_t penaltyLaps = 0;           // breaches × the penalty per breach
    LiveFigures live;
    bool operator==(const RuleReport&) const = default;
};

}  // namespace velmora
