#include "rules/rule_judge.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <vector>

#include "rules/rolling_window.h"

namespace velmora {

namespace {

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }

class Judge {
  public:
    Judge(const DrivingRules& rules, const JudgeContext& c, RuleReport& r)
        : rules_(rules), c_(c), r_(r) {}

    void Run() {
        breaches_ = 0;
        for (std::size_t k = 0; k < r_.stints.size(); ++k) {
            StintMaximum(r_.stints[k]);
            StintMinimum(k);
        }
        Stops();
        for (DriverTimeRecord& d : r_.drivers) DriverLimits(d);
        MissedAtTheEnd();
        r_.breaches.resize(breaches_);
        std::sort(r_.breaches.begin(), r_.breaches.end(), [](const Breach& a, const Breach& b) {
            return a.atMs != b.atMs ? a.atMs < b.atMs : a.kind < b.kind;
        });
        r_.penaltyLaps =
            static_cast<std::int64_t>(r_.breaches.size()) * rules_.penaltyLaps.value_or(0);
        Live();
    }

  private:
    bool Ended() const { return c_.plannedEndMs && c_.nowMs >= *c_.plannedEndMs; }
    bool ChangePending() const { return !r_.changes.empty() && r_.changes.back().provisional; }
    // Over a limit during the lap running now: its driver can still be chosen otherwise.
    bool InRunningLap(const StintRecord& s, std::int64_t at) const {
        return s.open && at >= c_.lastCloseMs;
    }

    // Overwrites the entries of the last report before adding any, so their texts are reused.
    void Add(BreachKind kind, std::int32_t lap, std::int64_t at, std::string_view driver,
             std::int64_t value, std::int64_t limit, bool provisional) {
        if (breaches_ == r_.breaches.size()) r_.breaches.emplace_back();
        Breach& b = r_.breaches[breaches_++];
        b.kind = kind;
        b.lap = lap;
        b.atMs = at;
        b.driver = driver;
        b.valueMs = value;
        b.limitMs = limit;
        b.provisional = provisional;
    }

    void StintMaximum(const StintRecord& s) {
        if (!rules_.maxStintMs || s.lengthMs <= *rules_.maxStintMs) return;
        const std::int64_t at = s.endMs - (s.lengthMs - *rules_.maxStintMs);
        Add(BreachKind::StintTooLong, 0, at, s.driver, s.lengthMs, *rules_.maxStintMs,
            InRunningLap(s, at));
    }

    // Judged when a change ends the stint, or at the planned end for the stint running then.
    void StintMinimum(std::size_t k) {
        const StintRecord& s = r_.stints[k];
        if (!rules_.minStintMs || (s.open && !Ended())) return;
        const std::optional<std::int64_t>& plannedEnd = c_.plannedEndMs;
        if (plannedEnd && s.startMs >= *plannedEnd) return;  // driven after the finish
        const std::int64_t end = s.open ? *plannedEnd : s.endMs;
        const std::int64_t length = s.open ? s.lengthMs - (s.endMs - end) : s.lengthMs;
        if (rules_.finalPeriodMs && plannedEnd && end >= *plannedEnd - *rules_.finalPeriodMs)
            return;
        if (length >= *rules_.minStintMs) return;
        const bool byPendingChange = k + 2 == r_.stints.size() && ChangePending();
        Add(BreachKind::StintTooShort, s.open ? 0 : s.lastLap, end, s.driver, length,
            *rules_.minStintMs, byPendingChange || end > c_.lastCloseMs);
    }

    void Stops() {
        if (!rules_.minStopMs) return;
        for (const PitStopRecord& stop : r_.stops) {
            if (stop.inProgress || stop.lengthMs >= *rules_.minStopMs) continue;
            // A short pass is a stop only for the change made at it, which may be undone.
            const bool pending = ChangePending() && stop.driverChange &&
                                 stop.lap == r_.changes.back().lap &&
                                 stop.lengthMs <= rules_.StopThresholdMs();
            Add(BreachKind::StopTooShort, stop.lap, stop.lastMs, {}, stop.lengthMs,
                *rules_.minStopMs, pending);
        }
    }

    void DriverLimits(DriverTimeRecord& d) {
        const bool window = rules_.windowCapMs && rules_.windowMs;
        if (!rules_.maxDriverTotalMs && !window) return;
        spans_.clear();
        stints_.clear();
        std::int64_t before = 0;
        for (const StintRecord& s : r_.stints) {
            if (s.driver != d.driver) continue;
            // Typed lap times can make stints overlap; the window counts each moment once.
            const std::int64_t start =
                spans_.empty() ? s.startMs : std::max(s.startMs, spans_.back().endMs);
            spans_.push_back(DriveSpan{start, std::max(start, s.endMs)});
            stints_.push_back(&s);
            if (rules_.maxDriverTotalMs && before + s.lengthMs > *rules_.maxDriverTotalMs) {
                const std::int64_t over = before + s.lengthMs - *rules_.maxDriverTotalMs;
                const std::int64_t at = std::max(s.startMs, s.endMs - over);
                Add(BreachKind::DriverTotalTooLong, 0, at, s.driver, before + s.lengthMs,
                    *rules_.maxDriverTotalMs, InRunningLap(s, at));
            }
            before += s.lengthMs;
        }
        if (!window) return;
        const std::int64_t w = *rules_.windowMs, cap = *rules_.windowCapMs;
        d.windowMaxMs = MaxDrivingInWindow(spans_, w, c_.nowMs);
        for (std::size_t k = 0; k < spans_.size(); ++k) {
            const std::optional<std::int64_t> at = WindowCapReached(spans_, k, w, cap);
            if (!at) continue;
            const std::span<const DriveSpan> upTo = std::span(spans_).first(k + 1);
            Add(BreachKind::WindowTooLong, 0, *at, d.driver,
                MaxDrivingInWindow(upTo, w, spans_[k].endMs), cap, InRunningLap(*stints_[k], *at));
        }
        if (!stints_.empty() && stints_.back()->open)
            windowLeft_ = WindowDrivingLeft(spans_, w, cap);
    }

    void MissedAtTheEnd() {
        if (!Ended()) return;
        const std::int64_t end = *c_.plannedEndMs;
        const auto changes =
            std::count_if(r_.changes.begin(), r_.changes.end(),
                          [end](const DriverChangeRecord& c) { return c.atMs <= end; });
        const auto stops =
            std::count_if(r_.stops.begin(), r_.stops.end(),
                          [end](const PitStopRecord& s) { return s.firstMs <= end; });
        for (std::int64_t k = changes; k < rules_.minChanges.value_or(0); ++k)
            Add(BreachKind::MissedChange, 0, end, {}, changes, *rules_.minChanges, false);
        for (std::int64_t k = stops; k < rules_.minStops.value_or(0); ++k)
            Add(BreachKind::MissedStop, 0, end, {}, stops, *rules_.minStops, false);
    }

    void Live() {
        LiveFigures& l = r_.live;
        const StintRecord& open = r_.stints.back();
        l.driver = open.driver;
        l.stintMs = open.lengthMs;
        l.stintLeftMs.reset();
        if (rules_.maxStintMs) l.stintLeftMs = *rules_.maxStintMs - open.lengthMs;
        l.leftMs = l.stintLeftMs;
        l.limit = BreachKind::StintTooLong;
        auto tighter = [&l](std::optional<std::int64_t> left, BreachKind kind) {
            if (left && (!l.leftMs || *left < *l.leftMs)) {
                l.leftMs = left;
                l.limit = kind;
            }
        };
        if (rules_.maxDriverTotalMs) {
            for (const DriverTimeRecord& d : r_.drivers)
                if (d.driver == open.driver)
                    tighter(*rules_.maxDriverTotalMs - d.totalMs, BreachKind::DriverTotalTooLong);
        }
        tighter(windowLeft_, BreachKind::WindowTooLong);

        l.earliestChangeMs.reset();
        const std::optional<std::int64_t>& plannedEnd = c_.plannedEndMs;
        if (rules_.minStintMs) {
            l.earliestChangeMs = open.endMs - open.lengthMs + *rules_.minStintMs;
            if (rules_.finalPeriodMs && plannedEnd)
                l.earliestChangeMs =
                    std::min(*l.earliestChangeMs, *plannedEnd - *rules_.finalPeriodMs);
        }
        l.remainingMs.reset();
        if (plannedEnd) l.remainingMs = std::max<std::int64_t>(0, *plannedEnd - c_.nowMs);

        l.changes = static_cast<std::int32_t>(r_.changes.size());
        l.stops = static_cast<std::int32_t>(r_.stops.size());
        std::int64_t changesOwed = rules_.minChanges.value_or(0) - l.changes;
        if (rules_.maxStintMs && l.remainingMs && *l.remainingMs > 0)
            changesOwed = std::max(changesOwed,
                                   CeilDiv(open.lengthMs + *l.remainingMs, *rules_.maxStintMs) - 1);
        changesOwed = std::max<std::int64_t>(0, changesOwed);
        const std::int64_t stopsOwed = std::max(changesOwed, rules_.minStops.value_or(0) - l.stops);
        l.changesOwed = static_cast<std::int32_t>(changesOwed);
        l.stopsOwed = static_cast<std::int32_t>(stopsOwed);
    }

    const DrivingRules& rules_;
    const JudgeContext& c_;
    RuleReport& r_;
    std::vector<DriveSpan> spans_;
    std::vector<const StintRecord*> stints_;
    std::optional<std::int64_t> windowLeft_;
    std::size_t breaches_ = 0;  // entries of r_.breaches filled so far
};

}  // namespace

void JudgeRules(const DrivingRules& rules, const JudgeContext& context, RuleReport& report) {
    Judge(rules, context, report).Run();
}

}  // namespace velmora
