#include "rules/rule_settings.h"

#include <algorithm>

#include "core/text_rules.h"

namespace velmora {

namespace {

std::string WithoutCommas(const std::string& text) { return ReplaceAll(text, ",", " "); }

StintWarningTexts Resolved(StintWarningTexts t) {
    const StintWarningTexts defaults;
    if (t.fiveMinutes.empty()) t.fiveMinutes = defaults.fiveMinutes;
    if (t.oneMinute.empty()) t.oneMinute = defaults.oneMinute;
    t.fiveMinutes = WithoutCommas(t.fiveMinutes);
    t.oneMinute = WithoutCommas(t.oneMinute);
    return t;
}

}  // namespace

RuleSettings RuleSettingsOf(const ConsoleState& st) {
    RuleSettings s;
    if (st.DrivingRuleTexts.size() == kRuleFieldCount) {
        RuleTexts texts;
        std::copy(st.DrivingRuleTexts.begin(), st.DrivingRuleTexts.end(), texts.begin());
        if (const RuleFieldsResult r = ParseRuleFields(texts); r.rules) s.rules = *r.rules;
    }
    s.warnings = Resolved({st.ChangeWarning5, st.ChangeWarning1});
    return s;
}

void SetRuleSettings(ConsoleState& st, const RuleSettings& s) {
    const RuleTexts texts = FormatRuleFields(s.rules);
    st.DrivingRuleTexts.assign(texts.begin(), texts.end());
    const StintWarningTexts w = Resolved(s.warnings);
    st.ChangeWarning5 = w.fiveMinutes;
    st.ChangeWarning1 = w.oneMinute;
}

RuleSettings LoadRuleSettings(const std::string& settingsPath) {
    return {LoadDrivingRules(settingsPath), Resolved(LoadStintWarningTexts(settingsPath))};
}

bool SaveRuleSettings(const std::string& settingsPath, const RuleSettings& s) {
    return SaveRules(settingsPath, s.rules, s.warnings);
}

RuleDialogResult ReadRuleDialog(const RuleTexts& texts, const std::string& fiveMinutes,
                                const std::string& oneMinute) {
    RuleDialogResult out;
    RuleFieldsResult r = ParseRuleFields(texts);
    if (!r.rules) {
        out.error = std::move(r.error);
        out.field = r.field;
        return out;
    }
    out.settings = RuleSettings{
        *r.rules, Resolved({std::string(Trim(fiveMinutes)), std::string(Trim(oneMinute))})};
    return out;
}

}  // namespace velmora
