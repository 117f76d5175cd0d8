#pragma once
// The driving-time rule engine of one car: stints, pit stops, driver changes, driving time per
// driver and every breach of the event's rules, from what the console records of the car.
//
// Definitions. They follow the lap grid, so the engine's stints agree with the panel's stint
// figure ("連続12周 15分", analysis/driving_time.h) wherever both speak of recorded laps.
// - Time is ms since the run started (tick 0). A lap closes at the first datagram of the pass
//   that ends it; the pass runs on to the car's last datagram before it leaves again. A car
//   standing in the pit keeps sending, so its stop is one long pass.
// - A lap ends when it closed and starts its lap time earlier (lap 1 starts at 0). A timed
//   lap without a close time (typed by a correction) ends its lap time after the lap before.
// - A stint is a run of timed laps with the same driver; untimed laps neither count nor end
//   it. It starts when its first lap started, which is when the previous driver's last lap
//   closed (the car came in for the change), and ends when its last lap closed (the car came
//   in to hand over). The stop of a change therefore counts to the incoming driver, as it does
//   in the lap times. Its length is the sum of its lap times: the panel's figure.
// - The open stint belongs to the driver chosen now, who drives the lap in progress: the last
//   stint running on to now when that driver drives on, otherwise a new stint, with no lap
//   yet, from the last close. Choosing the next driver while the car stands in the pit thus
//   ends the previous stint at the moment the car came in.
// - A driver change is made at the pass that closed the outgoing driver's last lap.
// - A pass is a pit stop when it lasts longer than the rules' threshold, or when a driver
//   change was made at it. The car's time in range before lap 1 is no stop. A pass whose last
//   datagram is not known yet is in progress while the car is in range (it lasts until now),
//   and waits for its end otherwise.
//
// Limits, each exact to the millisecond: a stint may last the maximum but not a millisecond
// more, and must last at least the minimum; so must a stop. The minimum stint is judged when
// a driver change ends the stint, and for the stint running at the planned end, at that end.
// It does not apply to a stint that ends in the final period (at or after the planned end less
// the final period). A driver's total and rolling window are judged like the maximum stint:
// one breach per stint that goes over, dated when the limit was reached. Missing changes and
// stops are judged at the planned end, one breach each, counting those made by then.
//
// Laps are added as they are recorded (O(1) each); anything else that changes recorded laps
// (a correction, an edited driver or lap time) calls for Reset with every lap (O(laps)).
// Evaluate costs O(stints + stops + breaches), nothing per lap.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rules/driving_rules.h"
#include "rules/rule_report.h"

namespace velmora {

// One row of the lap grid. The driver text is copied: it need only live through the call.
struct LapInput {
    std::int32_t lap = 0;
    std::string_view driver;
    std::optional<std::int64_t> lapMs;       // empty: an untimed row (not a lap)
    std::optional<std::int64_t> closedAtMs;  // the first datagram of the pass that closed it
    std::optional<std::int64_t> passEndMs;   // the last datagram of that pass, once known
};

struct LiveInput {
    std::int64_t nowMs = 0;   // frozen at the stop of the measurement
    std::string_view driver;  // chosen now, for the lap in progress
    bool inRange = false;     // the car is heard now: its latest pass goes on
    std::optional<std::int64_t> plannedEndMs = std::nullopt;
};

class RuleEngine {
  public:
    explicit RuleEngine(const DrivingRules& rules = {});

    // New rules apply to everything recorded (O(laps)).
    void SetRules(const DrivingRules& rules);
    const DrivingRules& Rules() const { return rules_; }

    // Forgets every lap and takes `laps`, in lap order.
    void Reset(std::span<const LapInput> laps);
    // Adds the lap after the last one. False (and nothing changes) unless its number is above
    // every lap's so far: an earlier lap changed, which calls for Reset.
    bool AddLap(const LapInput& lap);
    // The car left: the last datagram of the pass that closed `lap`. False when that lap has
    // no pass.
    bool SetPassEnd(std::int32_t lap, std::int64_t lastMs);
    std::size_t LapCount() const { return laps_.size(); }

    RuleReport Evaluate(const LiveInput& live) const;
    // The same into `out`, reusing its lists and texts (for a call at every tick).
    void EvaluateInto(const LiveInput& live, RuleReport& out) const;

  private:
    struct Lap {
        std::int32_t number = 0;
        std::int32_t driver = -1;  // index into drivers_; -1 for an untimed row
        bool timed = false;
        bool hasEnd = false;
        bool hasPass = false;
        std::int64_t lapMs = 0;
        std::int64_t endMs = 0;  // without an end of its own: the end of the lap before
        std::int64_t passFirstMs = 0;
        std::optional<std::int64_t> passLastMs;
    };
    struct Run {  // a stint of recorded laps
        std::int32_t driver = 0;
        std::int32_t firstLap = 0;
        std::int32_t lastLap = 0;
        std::int32_t laps = 0;
        std::int64_t startMs = 0;
        std::int64_t endMs = 0;
        std::int64_t lapsMs = 0;
        std::size_t lastIndex = 0;  // of its last lap in laps_
    };
    struct DriverSum {
        std::string name;
        std::int32_t laps = 0;
        std::int64_t totalMs = 0;
    };
    std::int32_t FindDriver(std::string_view name) const;
    bool IsLongPass(const Lap& lap) const;
    void ClassifyPass(std::size_t index);
    // The lap being driven at `t`: the first whose end is later.
    std::int32_t LapAt(std::int64_t t) const;

    DrivingRules rules_;
    std::vector<Lap> laps_;
    std::vector<Run> runs_;
    std::vector<DriverSum> drivers_;       // in order of their first timed lap
    std::vector<std::size_t> longPasses_;  // laps_ indices of passes over the threshold
    std::int64_t lastEndMs_ = 0;
    std::int32_t lastClosedLap_ = 0;
};

}  // namespace velmora
