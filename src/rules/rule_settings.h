#pragma once
// The driving-time rules and the warning texts as the console keeps them: the texts of the
// "走行規則" dialog's fields in ConsoleState (so every snapshot, the journal and a restored race
// carry the rules in force), read from and written to Velmora.ini, and checked all at once.
#include <string>

#include "core/console_state.h"
#include "rules/driving_rules.h"
#include "rules/rule_fields.h"
#include "rules/rules_file.h"

namespace velmora {

struct RuleSettings {
    DrivingRules rules;
    StintWarningTexts warnings;
    bool operator==(const RuleSettings&) const = default;
};

// The rules and texts the state holds. Texts that do not read as rules (none at all, or a
// hand-edited journal) are no rules; empty warning texts are the default ones.
RuleSettings RuleSettingsOf(const ConsoleState& st);
// Puts the rules and texts into the state as the dialog shows them.
void SetRuleSettings(ConsoleState& st, const RuleSettings& s);

// Velmora.ini's [走行規則] and the two warning texts; nothing is written.
RuleSettings LoadRuleSettings(const std::string& settingsPath);
// Every rule key and both texts in one replacement of the file, so they are saved whole or
// not at all. False when the file could not be written.
bool SaveRuleSettings(const std::string& settingsPath, const RuleSettings& s);

// What the dialog's OK does with its texts before anything is saved: the rules, read all at
// once (ParseRuleFields), and the warning texts without commas (they separate the fields of
// the car link's reply). On a fault nothing is taken: `error` says why, `field` where.
struct RuleDialogResult {
    std::optional<RuleSettings> settings;
    std::string error;
    RuleField field = RuleField::MinStint;
};
RuleDialogResult ReadRuleDialog(const RuleTexts& texts, const std::string& fiveMinutes,
                                const std::string& oneMinute);

}  // namespace velmora
