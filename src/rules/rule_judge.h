#pragma once
// The rules applied to a car's stints, stops and changes: its breaches and live figures.
#include <cstdint>
#include <optional>

#include "rules/driving_rules.h"
#include "rules/rule_report.h"

namespace velmora {

struct JudgeContext {
    std::int64_t nowMs = 0;
    std::optional<std::int64_t> plannedEndMs;
    std::int64_t lastCloseMs = 0;  // the lap in progress started here
};

// Fills report.breaches (in time order), penaltyLaps and live from its stints (the open one
// last), stops, changes and drivers. A breach whose lap is the one being driven at its time
// gets lap 0, for the caller to fill in.
void JudgeRules(const DrivingRules& rules, const JudgeContext& context, RuleReport& report);

}  // namespace velmora
