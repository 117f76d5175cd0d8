#include "rules/rule_engine.h"

#include <algorithm>

#include "rules/rule_judge.h"

namespace velmora {

RuleEngine::RuleEngine(const DrivingRules& rules) : rules_(rules) {}

void RuleEngine::SetRules(const DrivingRules& rules) {
    rules_ = rules;
    longPasses_.clear();
    for (std::size_t k = 0; k < laps_.size(); ++k)
        if (IsLongPass(laps_[k])) longPasses_.push_back(k);
}

void RuleEngine::Reset(std::span<const LapInput> laps) {
    laps_.clear();
    runs_.clear();
    drivers_.clear();
    longPasses_.clear();
    lastEndMs_ = 0;
    lastClosedLap_ = 0;
    laps_.reserve(laps.size());
    for (const LapInput& lap : laps) AddLap(lap);
}

std::int32_t RuleEngine::FindDriver(std::string_view name) const {
    for (std::size_t d = 0; d < drivers_.size(); ++d)
        if (drivers_[d].name == name) return static_cast<std::int32_t>(d);
    return -1;
}

bool RuleEngine::IsLongPass(const Lap& lap) const {
    return lap.hasPass && lap.passLastMs &&
           *lap.passLastMs - lap.passFirstMs > rules_.StopThresholdMs();
}

void RuleEngine::ClassifyPass(std::size_t index) {
    const auto at = std::lower_bound(longPasses_.begin(), longPasses_.end(), index);
    const bool listed = at != longPasses_.end() && *at == index;
    if (IsLongPass(laps_[index]) && !listed) longPasses_.insert(at, index);
    if (!IsLongPass(laps_[index]) && listed) longPasses_.erase(at);
}

bool RuleEngine::AddLap(const LapInput& in) {
    if (!laps_.empty() && in.lap <= laps_.back().number) return false;
    Lap lap;
    lap.number = in.lap;
    lap.timed = in.lapMs.has_value();
    lap.lapMs = in.lapMs.value_or(0);
    lap.hasEnd = in.closedAtMs || lap.timed;
    lap.endMs = in.closedAtMs ? *in.closedAtMs : lastEndMs_ + (lap.timed ? lap.lapMs : 0);
    lap.hasPass = in.closedAtMs.has_value();
    lap.passFirstMs = in.closedAtMs.value_or(0);
    if (lap.hasPass) lap.passLastMs = in.passEndMs;
    if (lap.timed) {
        lap.driver = FindDriver(in.driver);
        if (lap.driver < 0) {
            lap.driver = static_cast<std::int32_t>(drivers_.size());
            drivers_.push_back(DriverSum{std::string(in.driver), 0, 0});
        }
        DriverSum& sum = drivers_[static_cast<std::size_t>(lap.driver)];
        ++sum.laps;
        sum.totalMs += lap.lapMs;
        if (runs_.empty() || runs_.back().driver != lap.driver) {
            runs_.push_back(
                Run{lap.driver, lap.number, lap.number, 0, lap.endMs - lap.lapMs, lap.endMs, 0, 0});
        }
        Run& run = runs_.back();
        run.lastLap = lap.number;
        ++run.laps;
        run.endMs = lap.endMs;
        run.lapsMs += lap.lapMs;
        run.lastIndex = laps_.size();
    }
    if (lap.hasEnd) {
        lastEndMs_ = lap.endMs;
        lastClosedLap_ = lap.number;
    }
    laps_.push_back(lap);
    if (IsLongPass(lap)) longPasses_.push_back(laps_.size() - 1);
    return true;
}

bool RuleEngine::SetPassEnd(std::int32_t lap, std::int64_t lastMs) {
    const auto it = std::lower_bound(laps_.begin(), laps_.end(), lap,
                                     [](const Lap& l, std::int32_t n) { return l.number < n; });
    if (it == laps_.end() || it->number != lap || !it->hasPass) return false;
    it->passLastMs = lastMs;
    ClassifyPass(static_cast<std::size_t>(it - laps_.begin()));
    return true;
}

std::int32_t RuleEngine::LapAt(std::int64_t t) const {
    const auto it = std::partition_point(laps_.begin(), laps_.end(),
                                         [t](const Lap& l) { return l.endMs <= t; });
    return it == laps_.end() ? lastClosedLap_ + 1 : it->number;
}

RuleReport RuleEngine::Evaluate(const LiveInput& live) const {
    RuleReport report;
    EvaluateInto(live, report);
    return report;
}

void RuleEngine::EvaluateInto(const LiveInput& live, RuleReport& out) const {
    const std::int64_t now = std::max(live.nowMs, lastEndMs_);
    const std::int64_t running = now - lastEndMs_;
    const std::int32_t liveDriver = FindDriver(live.driver);
    const bool drivesOn = !runs_.empty() && runs_.back().driver == liveDriver;

    // Stints: the recorded ones, then the open one.
    out.stints.resize(runs_.size() + (drivesOn ? 0 : 1));
    for (std::size_t k = 0; k < runs_.size(); ++k) {
        const Run& r = runs_[k];
        StintRecord& s = out.stints[k];
        s.driver = drivers_[static_cast<std::size_t>(r.driver)].name;
        s.firstLap = r.firstLap;
        s.lastLap = r.lastLap;
        s.laps = r.laps;
        s.startMs = r.startMs;
        s.endMs = r.endMs;
        s.lapsMs = s.lengthMs = r.lapsMs;
        s.open = false;
    }
    StintRecord& open = out.stints.back();
    if (drivesOn) {
        open.endMs = now;
        open.lengthMs += running;
    } else {
        open.driver = live.driver;
        open.firstLap = open.lastLap = open.laps = 0;
        open.startMs = lastEndMs_;
        open.endMs = now;
        open.lapsMs = 0;
        open.lengthMs = running;
    }
    open.open = true;

    // Changes, each at the pass closing the outgoing driver's last lap.
    out.changes.resize(out.stints.size() - 1);
    for (std::size_t k = 0; k + 1 < out.stints.size(); ++k) {
        DriverChangeRecord& c = out.changes[k];
        c.from = out.stints[k].driver;
        c.to = out.stints[k + 1].driver;
        c.lap = out.stints[k].lastLap;
        c.atMs = out.stints[k].endMs;
        c.provisional = out.stints[k + 1].laps == 0;
    }

    // Stops: the long passes and the change passes, merged in lap order.
    out.stops.clear();
    const std::int64_t threshold = rules_.StopThresholdMs();
    std::size_t nextLong = 0, nextChange = 0;
    const std::size_t changeCount = out.changes.size();
    while (nextLong < longPasses_.size() || nextChange < changeCount) {
        const std::size_t changeAt =
            nextChange < changeCount ? runs_[nextChange].lastIndex : laps_.size();
        const std::size_t longAt =
            nextLong < longPasses_.size() ? longPasses_[nextLong] : laps_.size();
        const std::size_t index = std::min(changeAt, longAt);
        const bool isChange = index == changeAt;
        if (index == longAt) ++nextLong;
        if (isChange) ++nextChange;
        const Lap& lap = laps_[index];
        if (!lap.hasPass) continue;
        PitStopRecord stop;
        stop.lap = lap.number;
        stop.firstMs = lap.passFirstMs;
        stop.driverChange = isChange;
        if (lap.passLastMs) {
            stop.lastMs = *lap.passLastMs;
        } else if (live.inRange && lap.number == lastClosedLap_) {
            stop.lastMs = now;
            stop.inProgress = true;
        } else {
            continue;  // the car left; its last datagram is still to come
        }
        stop.lengthMs = stop.lastMs - stop.firstMs;
        out.stops.push_back(stop);
    }
    // The car standing now at a pass that is no change (yet) is a stop once long enough.
    auto latest = std::find_if(laps_.rbegin(), laps_.rend(), [](const Lap& l) { return l.hasEnd; });
    if (live.inRange && latest != laps_.rend() && latest->hasPass && !latest->passLastMs) {
        const bool listed = !out.stops.empty() && out.stops.back().lap == latest->number;
        if (!listed && now - latest->passFirstMs > threshold)
            out.stops.push_back(PitStopRecord{latest->number, latest->passFirstMs, now,
                                              now - latest->passFirstMs, true, false});
    }

    // Driving time per driver, the open stint's running lap included.
    out.drivers.resize(drivers_.size() + (liveDriver < 0 ? 1 : 0));
    for (std::size_t d = 0; d < drivers_.size(); ++d) {
        DriverTimeRecord& t = out.drivers[d];
        t.driver = drivers_[d].name;
        t.laps = drivers_[d].laps;
        t.totalMs = drivers_[d].totalMs;
        t.windowMaxMs = 0;
    }
    DriverTimeRecord& liveTotal =
        out.drivers[liveDriver < 0 ? drivers_.size() : static_cast<std::size_t>(liveDriver)];
    if (liveDriver < 0) liveTotal = DriverTimeRecord{std::string(live.driver), 0, 0, 0};
    liveTotal.totalMs += running;

    JudgeRules(rules_, JudgeContext{now, live.plannedEndMs, lastEndMs_}, out);
    for (Breach& b : out.breaches)
        if (b.lap == 0) b.lap = LapAt(b.atMs);
}

}  // namespace velmora
