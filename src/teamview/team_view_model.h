#pragma once
// What the team view shows, taken from the console state as plain values: the ranking, and per
// set-up car its laps, best lap, state, driver and stint, last laps, messages sent and a thinned
// lap series for the page's small chart. It holds no pointer into the state, so it can be built
// from a live console or from a copy of one and handed to another thread.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/console_state.h"
#include "core/tick_clock.h"

namespace velmora {

struct TeamLap {
    int lap = 0;
    std::string time;  // as the lap grid shows it, 1'23"456
    std::int64_t ms = 0;
    std::string driver;
    std::string sent;      // the message that went out with the reply closing the lap
    std::string received;  // the crew's text the car sent with it
    friend bool operator==(const TeamLap&, const TeamLap&) = default;
};

struct TeamSentMessage {
    int lap = 0;
    std::string text;
    friend bool operator==(const TeamSentMessage&, const TeamSentMessage&) = default;
};

struct TeamChartPoint {
    int lap = 0;
    std::int64_t ms = 0;
    friend bool operator==(const TeamChartPoint&, const TeamChartPoint&) = default;
};

// The driving-time rules' record of a car, from the driver pop-up's stint table
// (core/console_state.h): times since the start of the run as the table shows them
// ("1:02:03") and in ms.
struct TeamStint {
    std::string driver;
    int firstLap = 0, lastLap = 0;  // 0: no lap recorded yet
    std::string start, length;
    std::int64_t startMs = 0, lengthMs = 0;  // its recorded laps; the open one runs on
    bool open = false;                       // the stint being driven
    friend bool operator==(const TeamStint&, const TeamStint&) = default;
};

struct TeamStop {
    int lap = 0;         // the lap the stop closed
    std::string change;  // "A→B" when the driver changed at it
    std::string start, length;
    std::int64_t startMs = 0;
    std::optional<std::int64_t> lengthMs;  // none while the car stands
    bool tooShort = false;
    friend bool operator==(const TeamStop&, const TeamStop&) = default;
};

struct TeamBreach {
    std::string kind;  // BreachKindKey: "stintTooLong" …
    std::string text;  // the table's note: "連続走行超過 規定1:00:00"
    std::string driver;
    int lap = 0;  // 0 for a missed change or stop
    std::string at;
    std::int64_t atMs = 0;
    bool provisional = false;
    int penaltyLaps = 0;
    friend bool operator==(const TeamBreach&, const TeamBreach&) = default;
};

// Newest first, at most TeamViewBuilder::kRuleRows of each, with how many there are in all.
struct TeamRuleRecord {
    std::vector<TeamStint> stints;
    std::vector<TeamStop> stops;
    std::vector<TeamBreach> breaches;
    int stintCount = 0, stopCount = 0, breachCount = 0;
    int penaltyLaps = 0;  // of every breach
    friend bool operator==(const TeamRuleRecord&, const TeamRuleRecord&) = default;
};

// How the page marks a state besides its words: heard, silent, waiting (not heard since
// Start), stopped (計測中止 or 計測外), idle (no run).
enum class TeamCarState { Heard, Silent, Waiting, Stopped, Idle };
const char* TeamCarStateName(TeamCarState s);

struct TeamCar {
    int slot = 0;
    std::string caption;  // "１号車"
    std::string carName;
    std::string lapText;  // the lap being driven, "12周目"
    int laps = 0;         // timed laps
    std::optional<TeamLap> last;
    std::optional<TeamLap> best;  // the fastest timed lap, the earlier one on a tie
    std::string state;  // the panel's state line: 受信中, 無通信 12秒, 計測中止 …
    TeamCarState stateKind = TeamCarState::Idle;
    std::string driver;  // at the wheel now
    int stintLaps = 0;
    int stintMinutes = 0;
    std::string stint;                  // "連続12周 15分"
    std::string changeDue;              // the driving-time rules' change line, empty when off
    std::string ruleNote;               // a rule breached or about to be, empty when none
    std::vector<TeamLap> recent;        // newest first, at most kRecentLaps
    std::string outgoing;               // typed for the car and not yet cleared
    std::vector<TeamSentMessage> sent;  // newest first, at most kSentMessages
    std::vector<TeamChartPoint> chart;  // in lap order, thinned to kChartPoints
    int chartBest = -1;                 // index into chart of the best lap, -1 = none
    TeamRuleRecord rules;
    friend bool operator==(const TeamCar&, const TeamCar&) = default;
};

struct TeamRankRow {
    int slot = -1;        // the car's slot, -1 when the ranking does not say
    std::string caption;  // "１号車"
    std::string rank, car, lap, bestLap, bestTime;
    friend bool operator==(const TeamRankRow&, const TeamRankRow&) = default;
};

struct TeamViewModel {
    std::string event, date, course;
    bool measuring = false;
    std::string clock;      // the console's clock, "pm 03:25:07"
    std::string start;      // "Start時間 09:30", empty before the first run
    std::string remaining;  // "残り 1:05:09" while a run length is set, else empty
    std::string endTime;    // "14:30:00" while a run length is set, else empty
    std::string allCars;    // the message to all cars
    std::vector<TeamRankRow> ranking;
    std::vector<TeamCar> cars;  // set-up slots in slot order
    friend bool operator==(const TeamViewModel&, const TeamViewModel&) = default;
};

// Builds the model, keeping what it read from each lap grid until that grid changes: a lap
// grid of thousands of rows is read once per lap, not once per update.
class TeamViewBuilder {
  public:
    static constexpr int kRecentLaps = 10;
    static constexpr int kSentMessages = 10;
    static constexpr int kChartPoints = 120;
    // A 24-hour race has hundreds of stints: the page shows the latest, the counts tell the rest.
    static constexpr int kRuleRows = 20;

    TeamViewModel Build(const ConsoleState& st, const ClockParams& clock);

  private:
    struct LapPart {
        std::uint64_t revision = 0;
        int rows = -1;
        std::int32_t tickToMs = 0;
        std::string driver;
        int laps = 0;
        std::optional<TeamLap> last, best;
        std::vector<TeamLap> recent;
        std::vector<TeamSentMessage> sent;
        std::vector<TeamChartPoint> chart;
        int chartBest = -1;
        double stintTicks = 0;
        int stintLaps = 0;
    };
    const LapPart& LapsOf(int slot, const PanelState& p, const ClockParams& clock);

    struct RulePart {
        std::uint64_t revision = 0;
        int rows = -1;
        TeamRuleRecord record;
    };
    const RulePart& RulesOf(int slot, const Grid& table);

    std::array<LapPart, kPanelCount> laps_{};
    std::array<RulePart, kPanelCount> rules_{};
};

// True when the cars' history (last laps, messages sent, chart, stints, stops and breaches) is
// the same in both:
// only then may a page that has `a` be sent `b` without it.
bool SameHistory(const TeamViewModel& a, const TeamViewModel& b);

// Everything the model is built from that can change, short enough to compare at every
// render: equal fingerprints give equal models. Lap grids count by their revision.
std::string TeamViewFingerprint(const ConsoleState& st, const ClockParams& clock);

}  // namespace velmora
