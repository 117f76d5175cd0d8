#include "teamview/team_view_model.h"

#include <cmath>
#include <string_view>

#include "analysis/driving_time.h"
#include "analysis/lap_chart.h"
#include "analysis/message_record.h"
#include "carlink/laps.h"
#include "core/text_rules.h"
#include "core/time_format.h"

namespace velmora {

namespace {

TeamCarState StateKindOf(std::string_view state) {
    if (state.starts_with("受信中")) return TeamCarState::Heard;
    if (state.starts_with("無通信")) return TeamCarState::Silent;
    if (state.starts_with("未受信")) return TeamCarState::Waiting;
    if (state.starts_with("計測中止") || state.starts_with("計測外")) return TeamCarState::Stopped;
    return TeamCarState::Idle;
}

TeamLap LapOf(const Grid& g, int row, double ticks, std::int32_t tickToMs) {
    const MessageRecord rec =
        SplitMessageRecord(g.Cell(row, 5), g.Cell(row, kLapMessageSplitColumn));
    return TeamLap{row,
                   g.Cell(row, 1),
                   static_cast<std::int64_t>(std::llround(ticks)) * tickToMs,
                   g.Cell(row, 2),
                   std::string(Trim(rec.sent)),
                   std::string(Trim(rec.received))};
}

int Number(const std::string& text) {
    double v = 0;
    return ParseNumber(text, v) ? static_cast<int>(v) : 0;
}

std::int64_t Ms(const std::string& text) {
    double v = 0;
    return ParseNumber(text, v) ? static_cast<std::int64_t>(v) : 0;
}

// "12～15" or "12".
std::pair<int, int> LapRange(const std::string& text) {
    static constexpr std::string_view kTo = "～";
    const std::size_t to = text.find(kTo);
    if (to == std::string::npos) return {Number(text), Number(text)};
    return {Number(text.substr(0, to)), Number(text.substr(to + kTo.size()))};
}

}  // namespace

const char* TeamCarStateName(TeamCarState s) {
    switch (s) {
        case TeamCarState::Heard:
            return "heard";
        case TeamCarState::Silent:
            return "silent";
        case TeamCarState::Waiting:
            return "waiting";
        case TeamCarState::Stopped:
            return "stopped";
        case TeamCarState::Idle:
            break;
    }
    return "idle";
}

const TeamViewBuilder::LapPart& TeamViewBuilder::LapsOf(int slot, const PanelState& p,
                                                        const ClockParams& clock) {
    LapPart& part = laps_[static_cast<std::size_t>(slot)];
    const Grid& g = p.Spd_LapTime;
    const std::int32_t tickToMs = clock.TickToMs > 0 ? clock.TickToMs : 1;
    if (part.revision == g.Revision() && part.rows == g.RowCount() && part.tickToMs == tickToMs &&
        part.driver == p.Cmb_Driver.text)
        return part;

    part = LapPart{};
    part.revision = g.Revision();
    part.rows = g.RowCount();
    part.tickToMs = tickToMs;
    part.driver = p.Cmb_Driver.text;
    std::vector<ChartPoint> points;
    for (int row = 1; row <= g.RowCount(); ++row) {
        const std::optional<double> ticks = LapRowTicks(g, row);
        if (!ticks) continue;
        ++part.laps;
        points.push_back(ChartPoint{row, *ticks, 0});
        if (!part.best || *ticks * tickToMs < static_cast<double>(part.best->ms))
            part.best = LapOf(g, row, *ticks, tickToMs);
    }
    // Newest first: the last timed rows and the last messages sent.
    for (int row = g.RowCount(); row >= 1; --row) {
        const bool wantLap = static_cast<int>(part.recent.size()) < kRecentLaps;
        const bool wantSent = static_cast<int>(part.sent.size()) < kSentMessages;
        if (!wantLap && !wantSent) break;
        const std::optional<double> ticks = LapRowTicks(g, row);
        if (!ticks) continue;
        TeamLap lap = LapOf(g, row, *ticks, tickToMs);
        if (wantSent && !lap.sent.empty()) part.sent.push_back(TeamSentMessage{row, lap.sent});
        if (wantLap) part.recent.push_back(std::move(lap));
    }
    if (!part.recent.empty()) part.last = part.recent.front();

    const double perMs = 1.0 * tickToMs;
    for (const ChartPoint& pt : ThinPoints(points, 0, g.RowCount() + 1, kChartPoints)) {
        if (part.best && pt.lap == part.best->lap)
            part.chartBest = static_cast<int>(part.chart.size());
        part.chart.push_back(
            TeamChartPoint{pt.lap, static_cast<std::int64_t>(std::llround(pt.ticks * perMs))});
    }
    const Stint stint = CurrentStint(g, part.driver);
    part.stintLaps = stint.laps;
    part.stintTicks = stint.ticks;
    return part;
}

const TeamViewBuilder::RulePart& TeamViewBuilder::RulesOf(int slot, const Grid& t) {
    RulePart& part = rules_[static_cast<std::size_t>(slot)];
    if (part.revision == t.Revision() && part.rows == t.RowCount()) return part;
    part = RulePart{};
    part.revision = t.Revision();
    part.rows = t.RowCount();
    TeamRuleRecord& r = part.record;
    // Newest first: the table is in time order.
    for (int row = t.RowCount(); row >= 1; --row) {
        const std::string& kind = t.Cell(row, 1);
        const std::string& startMs = t.Cell(row, kStintStartMsColumn);
        const std::string& lengthMs = t.Cell(row, kStintLengthMsColumn);
        if (kind == "走行") {
            if (++r.stintCount > kRuleRows) continue;
            const auto [first, last] = LapRange(t.Cell(row, 3));
            r.stints.push_back(TeamStint{t.Cell(row, 2), first, last, t.Cell(row, 4),
                                         t.Cell(row, 5), Ms(startMs), Ms(lengthMs),
                                         !t.Cell(row, 6).empty()});
        } else if (kind == "停止") {
            if (++r.stopCount > kRuleRows) continue;
            r.stops.push_back(TeamStop{
                Number(t.Cell(row, 3)), t.Cell(row, 2), t.Cell(row, 4), t.Cell(row, 5), Ms(startMs),
                lengthMs.empty() ? std::nullopt : std::optional<std::int64_t>(Ms(lengthMs)),
                t.Cell(row, kStintCodeColumn) == "short"});
        } else if (kind == "違反") {
            const int penalty = Number(t.Cell(row, kStintPenaltyColumn));
            r.penaltyLaps += penalty;  // of every breach, listed or not
            if (++r.breachCount > kRuleRows) continue;
            r.breaches.push_back(TeamBreach{t.Cell(row, kStintCodeColumn), t.Cell(row, 6),
                                            t.Cell(row, 2), Number(t.Cell(row, 3)), t.Cell(row, 4),
                                            Ms(startMs),
                                            t.Cell(row, kStintProvisionalColumn) == "1", penalty});
        }
    }
    return part;
}

TeamViewModel TeamViewBuilder::Build(const ConsoleState& st, const ClockParams& clock) {
    const MainFrameState& mf = st.main;
    TeamViewModel m;
    m.event = mf.Txt_Event.text;
    m.date = mf.Txt_Date.text;
    m.course = mf.Cmb_Course.text;
    m.measuring = st.Measuring();
    m.clock = mf.Lbl_SysTime.caption;
    m.start = mf.Lbl_StTime.caption;
    if (st.EndTimeSet) {
        m.remaining = mf.Lbl_ZanTime.caption;
        m.endTime = FormatStatusTime(st.MeasureEndTime);
    }
    m.allCars = st.AllCarsMessage;
    for (std::size_t row = 0; row < mf.ranking.size(); ++row) {
        const RankingRow& r = mf.ranking[row];
        if (!r.Lbl_Sort_No.visible || r.Lbl_Sort_LAP.caption.empty()) continue;
        // The sort key of a row ends in its slot's digit.
        const std::string& key = st.RankKeys[row];
        const int slot = !key.empty() && key.back() >= '0' && key.back() < '0' + kPanelCount
                             ? key.back() - '0'
                             : -1;
        m.ranking.push_back(TeamRankRow{
            slot, slot >= 0 ? st.panels[static_cast<std::size_t>(slot)].Frm_Runner.caption : "",
            r.Lbl_Jyuni.caption, r.Lbl_Sort_No.caption, r.Lbl_Sort_LAP.caption,
            r.Lbl_BestLAP.caption, r.Lbl_BestTime.caption});
    }
    const double perMinute = 60.0 * (clock.TicksPerSecond > 0 ? clock.TicksPerSecond : 1000);
    for (int i = 0; i < kPanelCount; ++i) {
        const PanelState& p = st.panels[static_cast<std::size_t>(i)];
        if (p.Lbl_IP.caption.empty()) continue;
        const LapPart& part = LapsOf(i, p, clock);
        TeamCar car;
        car.slot = i;
        car.caption = p.Frm_Runner.caption;
        car.carName = p.Cmb_Car.Column(0);
        car.lapText = p.Lbl_LapCnt.caption;
        car.laps = part.laps;
        car.last = part.last;
        car.best = part.best;
        car.state = p.Lbl_CarStatus.caption;
        car.stateKind = StateKindOf(car.state);
        car.driver = part.driver;
        car.stintLaps = part.stintLaps;
        car.stintMinutes = std::isfinite(part.stintTicks) && part.stintTicks > 0
                               ? static_cast<int>(part.stintTicks / perMinute)
                               : 0;
        car.stint = StintCaption(Stint{part.stintLaps, part.stintTicks}, clock);
        if (p.Lbl_ChangeDue.visible) car.changeDue = p.Lbl_ChangeDue.caption;
        if (p.Lbl_RuleNote.visible) car.ruleNote = p.Lbl_RuleNote.caption;
        car.recent = part.recent;
        car.outgoing = p.Txt_OutMess.text;
        car.sent = part.sent;
        car.chart = part.chart;
        car.chartBest = part.chartBest;
        car.rules = RulesOf(i, p.Spd_Stints).record;
        m.cars.push_back(std::move(car));
    }
    return m;
}

bool SameHistory(const TeamViewModel& a, const TeamViewModel& b) {
    if (a.cars.size() != b.cars.size()) return false;
    for (std::size_t k = 0; k < a.cars.size(); ++k) {
        const TeamCar& x = a.cars[k];
        const TeamCar& y = b.cars[k];
        if (x.slot != y.slot || x.recent != y.recent || x.sent != y.sent || x.chart != y.chart ||
            x.chartBest != y.chartBest || x.rules != y.rules)
            return false;
    }
    return true;
}

std::string TeamViewFingerprint(const ConsoleState& st, const ClockParams& clock) {
    const MainFrameState& mf = st.main;
    std::string f;
    f.reserve(512);
    auto add = [&f](std::string_view s) {
        f += s;
        f += '\x1f';
    };
    add(mf.Txt_Event.text);
    add(mf.Txt_Date.text);
    add(mf.Cmb_Course.text);
    add(st.Measuring() ? "1" : "0");
    add(mf.Lbl_SysTime.caption);
    add(mf.Lbl_StTime.caption);
    add(st.EndTimeSet ? mf.Lbl_ZanTime.caption : "");
    add(st.EndTimeSet ? FormatStatusTime(st.MeasureEndTime) : "");
    add(st.AllCarsMessage);
    add(std::to_string(clock.TickToMs));
    for (std::size_t row = 0; row < mf.ranking.size(); ++row) {
        const RankingRow& r = mf.ranking[row];
        add(st.RankKeys[row]);
        add(r.Lbl_Sort_No.visible ? "1" : "0");
        for (const Label* l :
             {&r.Lbl_Jyuni, &r.Lbl_Sort_No, &r.Lbl_Sort_LAP, &r.Lbl_BestLAP, &r.Lbl_BestTime})
            add(l->caption);
    }
    for (const PanelState& p : st.panels) {
        for (const std::string* s :
             {&p.Lbl_IP.caption, &p.Frm_Runner.caption, &p.Lbl_LapCnt.caption,
              &p.Lbl_CarStatus.caption, &p.Cmb_Driver.text, &p.Txt_OutMess.text,
              &p.Lbl_ChangeDue.caption, &p.Lbl_RuleNote.caption})
            add(*s);
        add(p.Lbl_ChangeDue.visible ? "1" : "0");
        add(p.Cmb_Car.Column(0));
        add(std::to_string(p.Spd_LapTime.Revision()) + "/" +
            std::to_string(p.Spd_LapTime.RowCount()));
        add(std::to_string(p.Spd_Stints.Revision()) + "/" +
            std::to_string(p.Spd_Stints.RowCount()));
    }
    return f;
}

}  // namespace velmora
