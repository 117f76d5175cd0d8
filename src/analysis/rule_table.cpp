#include "analysis/rule_table.h"

#include <algorithm>
#include <array>
#include <optional>
#include <variant>
#include <vector>

#include "core/console_state.h"
#include "rules/stint_warning.h"

namespace velmora {

namespace {

std::string TwoDigits(std::int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); }

// Whole minutes, rounded up: "交代可まで3分" shows until the moment itself.
std::string MinutesUp(std::int64_t ms) { return std::to_string((ms + 59'999) / 60'000); }

// A stop's length as the crew times it: "1:12".
std::string StopText(std::int64_t ms) {
    const std::int64_t s = std::max<std::int64_t>(0, ms) / 1000;
    return std::to_string(s / 60) + ":" + TwoDigits(s % 60);
}

bool CountKind(BreachKind k) {
    return k == BreachKind::MissedChange || k == BreachKind::MissedStop;
}

using Row = std::array<std::string, kStintTableColumns>;

std::string Laps(const StintRecord& s) {
    if (s.laps == 0) return {};
    if (s.firstLap == s.lastLap) return std::to_string(s.firstLap);
    return std::to_string(s.firstLap) + "～" + std::to_string(s.lastLap);
}

}  // namespace

std::string RunTimeText(std::int64_t ms, bool fraction) {
    const std::int64_t a = ms < 0 ? -ms : ms;
    const std::int64_t s = a / 1000;
    std::string text = (ms < 0 ? "-" : "") + std::to_string(s / 3600) + ":" +
                       TwoDigits(s / 60 % 60) + ":" + TwoDigits(s % 60);
    if (fraction) {
        const std::string f = std::to_string(a % 1000);
        text += "." + std::string(3 - f.size(), '0') + f;
    }
    return text;
}

RulePanel PanelOf(const RuleReport& report, const DrivingRules& rules, std::int64_t nowMs) {
    RulePanel out;
    const LiveFigures& live = report.live;
    if (live.leftMs) {
        out.changeDue = ChangeDueText(*live.leftMs);
        switch (WarningLevel(live.leftMs)) {
            case StintWarning::None:
                break;
            case StintWarning::FiveMinutes:
                out.back = ChangeSoonColour;
                break;
            case StintWarning::OneMinute:
                out.back = ChangeNowColour;
                break;
            case StintWarning::Over:
                out.back = ChangeOverColour;
                out.fore = White;
                break;
        }
    }
    std::vector<std::string> parts;
    // A stop too short is shown from when the car leaves until it comes by again.
    std::int32_t lastLap = 0;
    for (const StintRecord& s : report.stints) lastLap = std::max(lastLap, s.lastLap);
    if (!report.stops.empty() && !report.stops.back().inProgress &&
        report.stops.back().lap >= lastLap) {
        const PitStopRecord& last = report.stops.back();
        for (const Breach& b : report.breaches)
            if (b.kind == BreachKind::StopTooShort && b.lap == last.lap) {
                parts.push_back("停止不足" + StopText(last.lengthMs));
                out.noteBack = ShortStopColour;
                break;
            }
    }
    // The most pressing first. The panel's line is short: no blanks inside a part, one between
    // parts, and the label shrinks its font when all of them apply.
    if (!report.breaches.empty()) {
        std::string b = "違反" + std::to_string(report.breaches.size()) + "件";
        if (report.penaltyLaps > 0) b += "(" + std::to_string(report.penaltyLaps) + "周)";
        parts.push_back(std::move(b));
    }
    if (rules.minStintMs && live.earliestChangeMs && *live.earliestChangeMs > nowMs)
        parts.push_back("交代可まで" + MinutesUp(*live.earliestChangeMs - nowMs) + "分");
    std::string owed;
    if (live.changesOwed > 0) owed = "交代" + std::to_string(live.changesOwed);
    if (live.stopsOwed > 0)
        owed += (owed.empty() ? "" : "・") + std::string("停止") + std::to_string(live.stopsOwed);
    if (!owed.empty()) parts.push_back("要" + owed);
    for (const std::string& p : parts) out.note += (out.note.empty() ? "" : " ") + p;
    return out;
}

namespace {

Row StintRow(const StintRecord& s) {
    return {"走行",
            s.driver,
            Laps(s),
            RunTimeText(s.startMs),
            RunTimeText(s.lapsMs),
            s.open ? "走行中" : "",
            std::to_string(s.startMs),
            std::to_string(s.lapsMs),
            "",
            "",
            ""};
}

Row StopRow(const PitStopRecord& stop, const DriverChangeRecord& change, bool tooShort) {
    const char* note = stop.inProgress      ? "停止中"
                       : !stop.driverChange ? ""
                       : change.provisional ? "交代(暫定)"
                                            : "交代";
    return {"停止",
            stop.driverChange ? change.from + "→" + change.to : std::string(),
            std::to_string(stop.lap),
            RunTimeText(stop.firstMs),
            stop.inProgress ? "" : RunTimeText(stop.lengthMs),
            note,
            std::to_string(stop.firstMs),
            stop.inProgress ? "" : std::to_string(stop.lengthMs),
            tooShort ? "short" : "",
            stop.driverChange && change.provisional ? "1" : "",
            ""};
}

Row BreachRow(const Breach& b, std::int64_t penaltyLaps) {
    const bool count = CountKind(b.kind);
    std::string note = std::string(BreachKindText(b.kind)) + " 規定" +
                       (count ? std::to_string(b.limitMs) + "回" : RunTimeText(b.limitMs));
    if (b.provisional) note += " 暫定";
    return {"違反",
            b.driver,
            b.lap > 0 ? std::to_string(b.lap) : "",
            RunTimeText(b.atMs),
            count ? std::to_string(b.valueMs) + "回" : RunTimeText(b.valueMs),
            std::move(note),
            std::to_string(b.atMs),
            count ? "" : std::to_string(b.valueMs),
            std::string(BreachKindKey(b.kind)),
            b.provisional ? "1" : "",
            penaltyLaps > 0 ? std::to_string(penaltyLaps) : ""};
}

template <class R>
bool Holds(const std::optional<StintTable::Shown>& shown, const R& record) {
    const R* held = shown ? std::get_if<R>(&*shown) : nullptr;
    return held != nullptr && *held == record;
}

}  // namespace

void StintTable::Fill(Grid& table, const RuleReport& report) {
    order_.clear();
    for (std::size_t k = 0; k < report.stints.size(); ++k) {
        const StintRecord& s = report.stints[k];
        // A stint not started yet (the driver chosen before the first lap of the run) is empty.
        if (s.open && s.laps == 0 && s.lengthMs == 0 && report.stints.size() == 1) continue;
        order_.push_back({s.startMs, 1, k});
    }
    // The change made at each stop: both lists are in lap order.
    changeOf_.assign(report.stops.size(), nullptr);
    std::size_t c = 0;
    for (std::size_t k = 0; k < report.stops.size(); ++k) {
        const PitStopRecord& stop = report.stops[k];
        while (c < report.changes.size() && report.changes[c].lap < stop.lap) ++c;
        if (stop.driverChange && c < report.changes.size() && report.changes[c].lap == stop.lap)
            changeOf_[k] = &report.changes[c];
        order_.push_back({stop.firstMs, 0, k});
    }
    for (std::size_t k = 0; k < report.breaches.size(); ++k)
        order_.push_back({report.breaches[k].atMs, 2, k});
    std::stable_sort(order_.begin(), order_.end(), [](const Entry& a, const Entry& b) {
        return a.atMs != b.atMs ? a.atMs < b.atMs : a.order < b.order;
    });

    shortStops_.clear();
    for (const Breach& b : report.breaches)
        if (b.kind == BreachKind::StopTooShort) shortStops_.push_back(b.lap);
    std::sort(shortStops_.begin(), shortStops_.end());

    // What this table last wrote stands unless someone else wrote to the grid since, or the
    // penalty per breach changed under the same breaches.
    const std::int64_t penalty =
        report.breaches.empty()
            ? penalty_
            : report.penaltyLaps / static_cast<std::int64_t>(report.breaches.size());
    if (table.Revision() != revision_ || penalty != penalty_) shown_.clear();
    penalty_ = penalty;
    const int rows = static_cast<int>(order_.size());
    if (table.RowCount() != rows) table.SetRowCount(rows);
    shown_.resize(order_.size());
    const DriverChangeRecord none;
    for (int row = 1; row <= rows; ++row) {
        const Entry& e = order_[static_cast<std::size_t>(row - 1)];
        std::optional<Shown>& shown = shown_[static_cast<std::size_t>(row - 1)];
        Row cells;
        if (e.order == 1) {
            const StintRecord& s = report.stints[e.index];
            if (Holds(shown, s)) continue;
            shown = s;
            cells = StintRow(s);
        } else if (e.order == 0) {
            const PitStopRecord& record = report.stops[e.index];
            const bool tooShort =
                std::binary_search(shortStops_.begin(), shortStops_.end(), record.lap);
            const StopShown stop{record, changeOf_[e.index] ? *changeOf_[e.index] : none, tooShort};
            if (Holds(shown, stop)) continue;
            shown = stop;
            cells = StopRow(stop.stop, stop.change, stop.tooShort);
        } else {
            const Breach& b = report.breaches[e.index];
            if (Holds(shown, b)) continue;
            shown = b;
            cells = BreachRow(b, penalty_);
        }
        for (int col = 1; col <= kStintTableColumns; ++col)
            if (table.Cell(row, col) != cells[static_cast<std::size_t>(col - 1)])
                table.SetCell(row, col, std::move(cells[static_cast<std::size_t>(col - 1)]));
    }
    // The latest entry is the one in view.
    if (table.ActiveRow() != rows) table.SetActiveCell(1, rows);
    revision_ = table.Revision();
}

void FillStintTable(Grid& table, const RuleReport& report) { StintTable().Fill(table, report); }

}  // namespace velmora
