#include "analysis/rule_figures.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "analysis/rule_table.h"
#include "carlink/laps.h"
#include "core/text_rules.h"
#include "rules/stint_warning.h"

namespace velmora {

namespace {

constexpr std::int64_t kMinuteMs = 60'000;
// Without a nearer moment the figures are asked again this often (a stop long enough to count,
// the final period, the planned end).
constexpr std::int64_t kLongestWaitMs = 1'000;

std::optional<std::int64_t> CellMs(const std::string& cell, std::int32_t tickToMs) {
    double v = 0;
    if (!ParseNumber(cell, v)) return std::nullopt;
    const double ms = RoundHalfEven(v * tickToMs);
    // Beyond any run (a hand-typed giant): not a time the rules can weigh.
    if (!std::isfinite(ms) || std::fabs(ms) > 1e15) return std::nullopt;
    return static_cast<std::int64_t>(ms);
}

// How long until a minute count of `leftMs`, rounded up as the panel shows it, changes.
std::int64_t UntilNextMinute(std::int64_t leftMs) {
    if (leftMs > 0) return leftMs - ((leftMs + kMinuteMs - 1) / kMinuteMs - 1) * kMinuteMs;
    const std::int64_t over = -leftMs;
    return (over + kMinuteMs - 1) / kMinuteMs * kMinuteMs - over + 1;
}

std::int64_t NextMoment(const RuleReport& r, std::int64_t nowMs) {
    std::int64_t next = nowMs + kLongestWaitMs;
    if (r.live.leftMs) next = std::min(next, nowMs + UntilNextMinute(*r.live.leftMs));
    if (r.live.earliestChangeMs && *r.live.earliestChangeMs > nowMs)
        next = std::min(next, nowMs + UntilNextMinute(*r.live.earliestChangeMs - nowMs));
    return next;
}

template <class C>
void Set(C& field, const C& value) {
    if (field != value) field = value;
}

void Show(PanelState& p, const RulePanel& panel) {
    Set(p.Lbl_ChangeDue.caption, panel.changeDue);
    Set(p.Lbl_ChangeDue.back, panel.back);
    Set(p.Lbl_ChangeDue.fore, panel.fore);
    Set(p.Lbl_RuleNote.caption, panel.note);
    Set(p.Lbl_RuleNote.back, panel.noteBack);
}

}  // namespace

LapInput RuleLapInput(const Grid& laps, int row, const ClockParams& clock) {
    LapInput in;
    in.lap = row;
    in.driver = laps.Cell(row, 2);
    in.lapMs = CellMs(laps.Cell(row, 4), clock.TickToMs);
    in.closedAtMs = CellMs(laps.Cell(row, kLapClosedTickColumn), clock.TickToMs);
    in.passEndMs = CellMs(laps.Cell(row, kLapPassEndTickColumn), clock.TickToMs);
    return in;
}

int RuleLapRows(const Grid& laps) {
    int row = laps.RowCount();
    while (row > 0 && !LapRowTicks(laps, row) && laps.Cell(row, kLapClosedTickColumn).empty())
        --row;
    return row;
}

bool RuleFigures::Feed(Car& car, const Grid& laps, const ClockParams& clock, bool restart) {
    const int rows = RuleLapRows(laps);
    const int firstChanged = laps.FirstRowNotShared(car.fed);
    if (!restart && rows == car.fedRows && firstChanged > laps.RowCount() &&
        laps.RowCount() == car.fed.RowCount())
        return false;
    // Rows the engine took before may only have got the end of their pass; anything else in
    // them is a correction, and the engine starts over.
    bool reset = restart || rows < car.fedRows;
    passEnds_.clear();
    for (int row = firstChanged; row <= std::min(car.fedRows, rows) && !reset; ++row) {
        for (int col : {2, 4, kLapClosedTickColumn})
            if (laps.Cell(row, col) != car.fed.Cell(row, col)) reset = true;
        const std::string& end = laps.Cell(row, kLapPassEndTickColumn);
        if (reset || end == car.fed.Cell(row, kLapPassEndTickColumn)) continue;
        if (const std::optional<std::int64_t> ms = CellMs(end, clock.TickToMs))
            passEnds_.emplace_back(row, *ms);
        else
            reset = true;
    }
    const bool changed = reset || !passEnds_.empty() || rows != car.fedRows;
    for (const auto& [row, ms] : passEnds_)
        if (!reset && !car.engine.SetPassEnd(row, ms)) reset = true;
    for (int row = car.fedRows + 1; row <= rows && !reset; ++row)
        if (!car.engine.AddLap(RuleLapInput(laps, row, clock))) reset = true;
    if (reset) {
        inputs_.clear();
        for (int row = 1; row <= rows; ++row) inputs_.push_back(RuleLapInput(laps, row, clock));
        car.engine.Reset(inputs_);
    }
    car.fed = laps;
    car.fedRows = rows;
    return changed;
}

void RuleFigures::Warn(Console& c, int slot, const Car& car) const {
    RunnerState& r = c.st.runners[static_cast<std::size_t>(slot)];
    const StintRecord& open = car.report.stints.back();
    // A stint is known by its run, its driver and its start: a new run or a driver chosen for
    // the next stint starts the warnings afresh.
    const std::string stint = std::to_string(c.st.TickZeroRealMs) + "\t" + open.driver + "\t" +
                              std::to_string(open.startMs);
    if (r.ChangeWarningStint != stint) {
        r.ChangeWarningStint = stint;
        r.ChangeWarningSent = static_cast<std::int32_t>(StintWarning::None);
        r.ChangeWarningText.clear();
    }
    const StintWarning level = WarningLevel(car.report.live.leftMs);
    if (const std::optional<StintWarning> send =
            WarningToSend(level, static_cast<StintWarning>(r.ChangeWarningSent))) {
        r.ChangeWarningSent = static_cast<std::int32_t>(*send);
        r.ChangeWarningText = WarningMessage(*send, settings_.warnings);
    } else if (level == StintWarning::None && !r.ChangeWarningText.empty()) {
        // The limit moved away (rules changed): the message no longer holds.
        r.ChangeWarningText.clear();
    }
}

void RuleFigures::Refresh(Console& c) {
    ConsoleState& st = c.st;
    const bool rulesChanged = !read_ || st.DrivingRuleTexts != ruleTexts_ ||
                              st.ChangeWarning5 != warning5_ || st.ChangeWarning1 != warning1_;
    if (rulesChanged) {
        read_ = true;
        ruleTexts_ = st.DrivingRuleTexts;
        warning5_ = st.ChangeWarning5;
        warning1_ = st.ChangeWarning1;
        RuleSettings s = RuleSettingsOf(st);
        if (!(s.rules == settings_.rules))
            for (Car& car : cars_) car.engine.SetRules(s.rules);
        settings_ = std::move(s);
    }
    const bool restart = tickToMs_ != c.clock.TickToMs;
    tickToMs_ = c.clock.TickToMs;
    // The planned end of the run, as ms from its tick 0; a stopped run keeps the last one.
    const bool measuring = st.Measuring();
    std::optional<std::int64_t> plannedEnd = plannedEndMs_;
    if (measuring)
        plannedEnd =
            st.EndTimeSet
                ? std::optional<std::int64_t>(
                      std::chrono::milliseconds(st.MeasureEndTime - st.MeasureStartTime).count())
                : std::nullopt;
    const bool endChanged = plannedEnd != plannedEndMs_;
    plannedEndMs_ = plannedEnd;
    const std::int64_t nowMs = static_cast<std::int64_t>(c.TickCounter()) * c.clock.TickToMs;

    for (int i = 0; i < kPanelCount; ++i) {
        PanelState& p = st.panels[static_cast<std::size_t>(i)];
        Car& car = cars_[static_cast<std::size_t>(i)];
        const bool fed = Feed(car, p.Spd_LapTime, c.clock, restart);
        if (p.Lbl_IP.caption.empty()) {
            // No car in this slot: nothing to show.
            Show(p, RulePanel{});
            if (p.Spd_Stints.RowCount() != 0) p.Spd_Stints.SetRowCount(0);
            car.evaluated = false;
            continue;
        }
        const bool measured = measuring && p.Frm_Runner.enabled;
        const bool away = st.runners[static_cast<std::size_t>(i)].AwayFlag;
        const bool changed = fed || rulesChanged || endChanged || restart || !car.evaluated ||
                             measured != car.measured || away != car.away ||
                             p.Cmb_Driver.text != car.driver;
        if (!changed && !(measured && nowMs >= car.nextMs)) continue;
        car.measured = measured;
        car.away = away;
        car.driver = p.Cmb_Driver.text;
        car.evaluated = true;
        car.engine.EvaluateInto(LiveInput{nowMs, p.Cmb_Driver.text, measured && !away, plannedEnd},
                                car.report);
        car.nextMs = NextMoment(car.report, nowMs);
        Show(p, PanelOf(car.report, settings_.rules, nowMs));
        car.table.Fill(p.Spd_Stints, car.report);
        if (measured) Warn(c, i, car);
    }
}

}  // namespace velmora
