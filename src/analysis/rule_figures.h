#pragma once
// The driving-time rules applied live (docs/driving-rules.md). On the engine's thread, after
// every event, each car's rule engine takes what changed in its lap grid, and what it says is
// derived into the ConsoleState like the driving figures: the panel's time left and rule line,
// the pop-up's stint table and the driver-change warning the car's replies carry. The window,
// the journal and the team view all read them from the same snapshots, and a restored race
// derives them again from its lap grids.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/rule_table.h"
#include "core/console.h"
#include "rules/rule_engine.h"
#include "rules/rule_settings.h"

namespace velmora {

// Lap grid row `row` as the rule engine reads it: the driver (column 2, a view into the cell),
// the lap time (column 4 in ms; none for an untimed row), the tick the lap closed (column 8)
// and the tick of that pass's last datagram (column 9).
LapInput RuleLapInput(const Grid& laps, int row, const ClockParams& clock);
// The rows the engine takes: up to the last one timed or closed by a datagram. The lap in
// progress is not a lap yet.
int RuleLapRows(const Grid& laps);

class RuleFigures {
  public:
    // Brings every panel's rule figures up to the console. A new lap and a pass end are added
    // to the engine one by one; only a change to rows it already took (a correction, an edited
    // cell) makes it start over. The engine is asked again when anything it reads changed, or
    // when the next moment has come: the time left passing a whole minute (the warnings fall
    // on such moments), otherwise a second.
    void Refresh(Console& c);

    // As of the last Refresh.
    const RuleReport& Report(int slot) const {
        return cars_[static_cast<std::size_t>(slot)].report;
    }
    const RuleSettings& Settings() const { return settings_; }

  private:
    struct Car {
        RuleEngine engine;
        Grid fed{kLapGridColumns};  // the lap grid as the engine last took it
        int fedRows = 0;
        RuleReport report;
        StintTable table;
        std::string driver;
        bool away = false;
        bool measured = false;
        bool evaluated = false;
        std::int64_t nextMs = 0;
    };
    // Gives the engine what changed in the lap grid since it last took it; true if anything.
    bool Feed(Car& car, const Grid& laps, const ClockParams& clock, bool restart);
    // The warning the car's replies carry for its open stint: each message once per stint.
    void Warn(Console& c, int slot, const Car& car) const;

    std::vector<std::string> ruleTexts_;
    std::string warning5_, warning1_;
    bool read_ = false;
    RuleSettings settings_;
    std::int32_t tickToMs_ = 0;
    std::optional<std::int64_t> plannedEndMs_;
    std::vector<LapInput> inputs_;
    std::vector<std::pair<std::int32_t, std::int64_t>> passEnds_;
    std::array<Car, kPanelCount> cars_;
};

}  // namespace velmora
