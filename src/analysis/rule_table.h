#pragma once
// How a car's rule report reads on its panel and in the driver pop-up's stint table
// (docs/driving-rules.md). Pure formatting: the figures come from the rule engine.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/colours.h"
#include "core/controls.h"
#include "rules/driving_rules.h"
#include "rules/rule_report.h"

namespace velmora {

// The warning colours of the time left. The text says the same ("交代まで 5分", "交代時間超過
// 2分"), so the colour is never the only sign.
inline constexpr Colour ChangeSoonColour = Yellow;   // from 5:00 left
inline constexpr Colour ChangeNowColour = 0x0080FF;  // orange: from 1:00 left
inline constexpr Colour ChangeOverColour = Red;      // over the limit
inline constexpr Colour ShortStopColour = Pink;      // the last stop was too short

struct RulePanel {
    std::string changeDue;  // "交代まで 12分"; empty without a limit on the time driven
    Colour back = White;
    Colour fore = Black;
    // "停止不足1:12 違反1件(1周) 交代可まで3分 要交代2・停止3", the parts that apply; a
    // stop too short from when the car leaves it until the car comes by again.
    std::string note;
    Colour noteBack = White;
};

RulePanel PanelOf(const RuleReport& report, const DrivingRules& rules, std::int64_t nowMs);

// Rows of the stint table (core/console_state.h, kStintTableColumns): every stint, stop and
// breach of `report` in time order. Only cells that differ are written, so the table's
// revision moves only when something in it changed; the last row is the active one, so the
// latest entry is in view. The open stint shows its recorded laps (the panel shows the time
// running now), a stop in progress no length yet.
//
// A StintTable fills one grid again and again (the engine's rule figures, at every lap): a row
// whose record is the same as at the last fill is not formatted again, so a long race costs
// its sort, not its texts. Anyone else writing to the grid makes it format every row anew.
class StintTable {
  public:
    void Fill(Grid& table, const RuleReport& report);

    struct StopShown {
        PitStopRecord stop;
        DriverChangeRecord change;  // made at it; empty for a stop without one
        bool tooShort = false;      // a breach says it was too short
        bool operator==(const StopShown&) const = default;
    };
    using Shown = std::variant<StintRecord, StopShown, Breach>;

  private:
    struct Entry {
        std::int64_t atMs;
        int order;  // at the same moment: a stop, then the stint it leads into, then breaches
        std::size_t index;
    };
    std::vector<Entry> order_;
    std::vector<const DriverChangeRecord*> changeOf_;
    std::vector<std::int32_t> shortStops_;     // laps of the stops a breach calls too short
    std::vector<std::optional<Shown>> shown_;  // per row, what it was formatted from
    std::int64_t penalty_ = 0;                 // the penalty laps per breach they were with
    std::uint64_t revision_ = ~std::uint64_t{0};
};

// One fill without memory.
void FillStintTable(Grid& table, const RuleReport& report);

// Time since the start of the run, or a length: "1:02:03", with fraction "1:02:03.456".
std::string RunTimeText(std::int64_t ms, bool fraction = false);

}  // namespace velmora
