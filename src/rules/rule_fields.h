#pragma once
// The fields of the "走行規則" dialog: one text per rule. All texts are read into DrivingRules
// at once, so the rules are either taken whole or not at all, with the first fault's message.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rules/driving_rules.h"

namespace velmora {

enum class RuleField {
    MinStint,
    MaxStint,
    FinalPeriod,
    MinStop,
    StopThreshold,
    MinChanges,
    MinStops,
    MaxDriverTotal,
    WindowCap,
    Window,
    PenaltyLaps,
};
inline constexpr std::size_t kRuleFieldCount = 11;

// Minutes and seconds take up to three decimals ("1.5" minutes is 90 s) and must be above 0;
// changes, stops and laps are whole numbers from 0.
enum class RuleUnit { Minutes, Seconds, Times, Laps };

struct RuleFieldInfo {
    RuleField field;
    std::string_view label;  // the dialog's caption, also named in messages
    RuleUnit unit;
    std::string_view unitText;  // "分", "秒", "回", "周"
    std::string_view key;       // key in Velmora.ini's [走行規則]
    std::optional<std::int64_t> DrivingRules::*value;
};

// Every field, in dialog order (the order of RuleField).
const std::array<RuleFieldInfo, kRuleFieldCount>& RuleFieldTable();
const RuleFieldInfo& FieldInfo(RuleField field);

struct RuleFieldValue {
    std::optional<std::int64_t> value;  // ms for times, else the number; empty: no rule
    std::string error;                  // the crew's message when the text is not valid
};

// One field's text. Blanks around it are ignored and full-width digits and points are read
// like their ASCII forms (typed with the input method on); an empty text means no rule.
RuleFieldValue ParseRuleField(RuleField field, std::string_view text);
// The text the dialog shows for a value: "60", "1.5", "" for no rule.
std::string FormatRuleField(RuleField field, std::optional<std::int64_t> value);

using RuleTexts = std::array<std::string, kRuleFieldCount>;

struct RuleFieldsResult {
    std::optional<DrivingRules> rules;      // set only when every field is valid
    std::string error;                      // otherwise what to tell the crew
    RuleField field = RuleField::MinStint;  // and the field to correct
};

// Reads every field, then checks them together (minimum stint not above the maximum, the
// window's cap and length both given, the cap not above the length).
RuleFieldsResult ParseRuleFields(const RuleTexts& texts);
RuleTexts FormatRuleFields(const DrivingRules& rules);

}  // namespace velmora
