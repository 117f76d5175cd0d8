#include "rules/rules_file.h"

#include <exception>

#include "core/profile_file.h"
#include "rules/rule_fields.h"

namespace velmora {

namespace {

constexpr std::string_view kMessageSection = "自動メッセージ設定";
constexpr std::string_view kFiveMinuteKey = "交代５分前の自動メッセージ";
constexpr std::string_view kOneMinuteKey = "交代１分前の自動メッセージ";

void WriteRules(ProfileFile& file, const DrivingRules& rules) {
    for (const RuleFieldInfo& f : RuleFieldTable())
        file.Write(kDrivingRulesSection, f.key, FormatRuleField(f.field, rules.*f.value));
}

void WriteTexts(ProfileFile& file, const StintWarningTexts& texts) {
    file.Write(kMessageSection, kFiveMinuteKey, texts.fiveMinutes);
    file.Write(kMessageSection, kOneMinuteKey, texts.oneMinute);
}

}  // namespace

DrivingRules LoadDrivingRules(const std::string& path) {
    DrivingRules rules;
    try {
        const ProfileFile file(path);
        for (const RuleFieldInfo& f : RuleFieldTable())
            rules.*f.value =
                ParseRuleField(f.field, file.Read(kDrivingRulesSection, f.key).text).value;
    } catch (const std::exception&) {
        rules = DrivingRules{};
    }
    return rules;
}

bool SaveDrivingRules(const std::string& path, const DrivingRules& rules) {
    try {
        ProfileFile file(path);
        WriteRules(file, rules);
        return file.Save();
    } catch (const std::exception&) {
        return false;
    }
}

StintWarningTexts LoadStintWarningTexts(const std::string& path) {
    StintWarningTexts texts;
    try {
        const ProfileFile file(path);
        if (ProfileValue v = file.Read(kMessageSection, kFiveMinuteKey); v.count != 0)
            texts.fiveMinutes = std::move(v.text);
        if (ProfileValue v = file.Read(kMessageSection, kOneMinuteKey); v.count != 0)
            texts.oneMinute = std::move(v.text);
    } catch (const std::exception&) {
        texts = StintWarningTexts{};
    }
    return texts;
}

bool SaveStintWarningTexts(const std::string& path, const StintWarningTexts& texts) {
    try {
        ProfileFile file(path);
        WriteTexts(file, texts);
        return file.Save();
    } catch (const std::exception&) {
        return false;
    }
}

bool SaveRules(const std::string& path, const DrivingRules& rules, const StintWarningTexts& texts) {
    try {
        ProfileFile file(path);
        WriteRules(file, rules);
        WriteTexts(file, texts);
        return file.Save();
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace velmora
