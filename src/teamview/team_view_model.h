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

    std::array<LapPart, kPanelCount> laps_{};
};

// True when the cars' lap history (last laps, messages sent, chart) is the same in both:
// only then may a page that has `a` be sent `b` without it.
bool SameHistory(const TeamViewModel& a, const TeamViewModel& b);

// Everything the model is built from that can change, short enough to compare at every
// render: equal fingerprints give equal models. Lap grids count by their revision.
std::string TeamViewFingerprint(const ConsoleState& st, const ClockParams& clock);

}  // namespace velmora
