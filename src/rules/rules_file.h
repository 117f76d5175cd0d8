#pragma once
// The driving-time rules and the texts of the stint warnings in Velmora.ini. Neither is
// written at start-up: a first-run file keeps its seven keys, and the [走行規則] section
// appears only once the crew has set rules.
#include <string>
#include <string_view>

#include "rules/driving_rules.h"

namespace velmora {

inline constexpr std::string_view kDrivingRulesSection = "走行規則";

// The rules of [走行規則]; a missing section or key means no rule. A value that is not valid
// for its field (a hand-edited file) is taken as no rule. Never writes.
DrivingRules LoadDrivingRules(const std::string& path);

// Writes every rule key of the section (an empty value for no rule) in one replacement of the
// file, leaving every other line as it was. False when the file could not be written.
bool SaveDrivingRules(const std::string& path, const DrivingRules& rules);

// The automatic messages sent to the car 5 and 1 minutes before the driver must change,
// kept beside the other automatic messages in [自動メッセージ設定].
inline constexpr std::string_view kFiveMinuteWarningText = "あと5分でドライバー交代です";
inline constexpr std::string_view kOneMinuteWarningText = "あと1分でドライバー交代です";

struct StintWarningTexts {
    std::string fiveMinutes{kFiveMinuteWarningText};
    std::string oneMinute{kOneMinuteWarningText};
    bool operator==(const StintWarningTexts&) const = default;
};

// A missing or empty key gives the default text; nothing is written back.
StintWarningTexts LoadStintWarningTexts(const std::string& path);
bool SaveStintWarningTexts(const std::string& path, const StintWarningTexts& texts);

// The rules and the texts together, in one replacement of the file: saved whole or not at all.
bool SaveRules(const std::string& path, const DrivingRules& rules, const StintWarningTexts& texts);

}  // namespace velmora
