#include "rules/rule_settings.h"

#include <gtest/gtest.h>

#include "core/encoding.h"
#include "core/settings.h"
#include "core/temp_folder.h"

namespace velmora::test {
namespace {

using F = RuleField;

TEST(RuleSettings, TheDialogTakesEveryFieldOrNothingAndTextsWithoutCommas) {
    RuleTexts texts;
    texts[static_cast<std::size_t>(F::MaxStint)] = "2";
    texts[static_cast<std::size_t>(F::MinStop)] = "abc";
    RuleDialogResult r = ReadRuleDialog(texts, "", "");
    EXPECT_FALSE(r.settings);
    EXPECT_EQ(r.error, "「最短ピット停止」は数で入れてください（空欄は規則なし）。");
    EXPECT_EQ(r.field, F::MinStop);

    texts[static_cast<std::size_t>(F::MinStop)] = "90";
    r = ReadRuleDialog(texts, "BOX, now", "");
    ASSERT_TRUE(r.settings);
    EXPECT_EQ(FormatRuleFields(r.settings->rules), texts);
    // Commas would split the car's reply; an empty text is the default message.
    EXPECT_EQ(r.settings->warnings.fiveMinutes, "BOX  now");
    EXPECT_EQ(r.settings->warnings.oneMinute, kOneMinuteWarningText);
}

TEST(RuleSettings, SavedWholeInOneWriteReadBackAndCarriedInTheState) {
    TempFolder dir;
    const std::string path = dir.File("Velmora.ini");
    LoadMeasureSettings(path);
    RuleSettings s;
    s.rules.maxStintMs = 2 * 60'000;
    s.warnings = {"５分前", "１分前"};
    ASSERT_TRUE(SaveRuleSettings(path, s));
    EXPECT_EQ(LoadRuleSettings(path), s);
    EXPECT_NE(Cp932ToUtf8(Slurp(path)).find("交代１分前の自動メッセージ=１分前\r\n"),
              std::string::npos);

    ConsoleState st;
    EXPECT_EQ(RuleSettingsOf(st), RuleSettings{});  // no texts: no rules
    SetRuleSettings(st, s);
    EXPECT_EQ(st.DrivingRuleTexts[static_cast<std::size_t>(F::MaxStint)], "2");
    EXPECT_EQ(RuleSettingsOf(st), s);
    // Texts that do not read (a damaged journal) are no rules rather than some of them.
    st.DrivingRuleTexts[static_cast<std::size_t>(F::MinStint)] = "x";
    EXPECT_EQ(RuleSettingsOf(st).rules, DrivingRules{});
}

}  // namespace
}  // namespace velmora::test
