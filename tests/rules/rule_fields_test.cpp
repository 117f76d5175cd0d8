#include "rules/rule_fields.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/encoding.h"
#include "core/settings.h"
#include "core/temp_folder.h"
#include "rules/rules_file.h"

namespace velmora::test {
namespace {

using F = RuleField;

TEST(RuleFields, EachFieldReadsItsUnitOrSaysWhatIsWrong) {
    struct Case {
        RuleField field;
        const char* text;
        std::optional<std::int64_t> value;
        const char* error = "";
    };
    const Case cases[] = {
        {F::MaxStint, "60", 3'600'000},
        {F::MaxStint, "１．５", 90'000},  // typed with the input method on
        {F::MaxStint, "\u3000 2.", 120'000},
        {F::MaxStint, ".5", 30'000},
        {F::MaxStint, "0.001", 60},
        {F::MaxStint, "", std::nullopt},
        {F::MaxStint, "0", std::nullopt,
         "「最長連続走行」は 0 より大きい数で入れてください（空欄は規則なし）。"},
        {F::MaxStint, "-5", std::nullopt, "0 より大きい数"},
        {F::MaxStint, "－５", std::nullopt, "0 より大きい数"},
        {F::MaxStint, "1時間", std::nullopt,
         "「最長連続走行」は数で入れてください（空欄は規則なし）。"},
        {F::MaxStint, ".", std::nullopt, "数で入れて"},
        {F::MaxStint, "1.2345", std::nullopt, "「最長連続走行」の小数は3桁までにしてください。"},
        {F::MaxStint, "100000", 6'000'000'000},
        {F::MaxStint, "100000.001", std::nullopt,
         "「最長連続走行」は 100000分以下にしてください。"},
        {F::MaxStint, "99999999999999999999", std::nullopt, "100000分以下"},
        {F::MinStop, "90.5", 90'500},
        {F::MinStop, "86401", std::nullopt, "86400秒以下"},
        {F::MinChanges, "0", 0},
        {F::MinChanges, "1.5", std::nullopt,
         "「最少ドライバー交代」は 0 以上の整数で入れてください（空欄は規則なし）。"},
        {F::MinStops, "10001", std::nullopt, "10000回以下"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const RuleFieldValue v = ParseRuleField(c.field, c.text);
        EXPECT_EQ(v.value, c.value);
        if (*c.error == '\0') {
            EXPECT_EQ(v.error, "");
        } else {
            EXPECT_NE(v.error.find(c.error), std::string::npos) << v.error;
        }
    }
}

RuleTexts Texts(std::initializer_list<std::pair<RuleField, const char*>> set) {
    RuleTexts texts;
    for (const auto& [field, text] : set) texts[static_cast<int>(field)] = text;
    return texts;
}

TEST(RuleFields, AllOrNothingWithTheFirstFaultNamed) {
    struct Case {
        RuleTexts texts;
        RuleField field;
        const char* error;
    };
    const Case cases[] = {
        {Texts({{F::MinStint, "15"}, {F::MaxStint, "60"}, {F::PenaltyLaps, "x"}}), F::PenaltyLaps,
         "「違反1件のペナルティ」は 0 以上の整数"},
        {Texts({{F::MinStint, "61"}, {F::MaxStint, "60"}}), F::MinStint,
         "「最短連続走行」は「最長連続走行」以下にしてください。"},
        {Texts({{F::WindowCap, "180"}}), F::Window,
         "「時間枠内の上限」と「時間枠の長さ」は両方入れるか、両方空欄にしてください。"},
        {Texts({{F::Window, "300"}}), F::WindowCap, "両方入れるか"},
        {Texts({{F::WindowCap, "300.001"}, {F::Window, "300"}}), F::WindowCap,
         "「時間枠内の上限」は「時間枠の長さ」以下にしてください。"},
    };
    for (const Case& c : cases) {
        const RuleFieldsResult r = ParseRuleFields(c.texts);
        EXPECT_FALSE(r.rules);
        EXPECT_EQ(r.field, c.field);
        EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
    }

    // Every field, in dialog order: an event with every rule.
    const RuleTexts event = {"15", "60", "15", "90", "20", "13", "3", "240", "180", "300", "1"};
    const RuleFieldsResult r = ParseRuleFields(event);
    ASSERT_TRUE(r.rules) << r.error;
    EXPECT_EQ(r.rules->windowMs, 18'000'000);
    EXPECT_EQ(FormatRuleFields(*r.rules), event);
    EXPECT_EQ(FormatRuleFields(DrivingRules{}), RuleTexts{});
    EXPECT_EQ(FormatRuleField(F::MaxStint, 90'000), "1.5");
}

// The first-run file, as a first run of the console leaves it.
struct IniFixture {
    TempFolder dir;
    std::string path = dir.File("Velmora.ini");
    std::string firstRun;
    IniFixture() {
        LoadMeasureSettings(path);
        firstRun = Slurp(path);
    }
};

TEST(RulesFile, NothingIsWrittenUntilTheCrewSetsRules) {
    IniFixture f;
    EXPECT_EQ(LoadDrivingRules(f.path), DrivingRules{});
    EXPECT_EQ(LoadStintWarningTexts(f.path), StintWarningTexts{});
    LoadMeasureSettings(f.path);
    EXPECT_EQ(Slurp(f.path), f.firstRun);  // still the seven keys
}

TEST(RulesFile, RulesAndTextsComeBackAsSaved) {
    IniFixture f;
    DrivingRules rules;
    rules.maxStintMs = 45 * 60'000;
    rules.minStopMs = 90'500;
    rules.minStops = 3;
    rules.penaltyLaps = 3;
    ASSERT_TRUE(SaveDrivingRules(f.path, rules));
    EXPECT_EQ(LoadDrivingRules(f.path), rules);
    const std::string saved = Cp932ToUtf8(Slurp(f.path));
    EXPECT_EQ(saved.substr(0, Cp932ToUtf8(f.firstRun).size()), Cp932ToUtf8(f.firstRun));
    EXPECT_NE(saved.find("[走行規則]\r\n最短連続走行（分）=\r\n最長連続走行（分）=45\r\n"),
              std::string::npos);
    EXPECT_NE(saved.find("最短ピット停止（秒）=90.5\r\n"), std::string::npos);

    // Fewer rules later: the keys stay, empty.
    ASSERT_TRUE(SaveDrivingRules(f.path, DrivingRules{}));
    EXPECT_EQ(LoadDrivingRules(f.path), DrivingRules{});

    const StintWarningTexts texts{"５分で交代", "次で交代"};
    ASSERT_TRUE(SaveStintWarningTexts(f.path, texts));
    EXPECT_EQ(LoadStintWarningTexts(f.path), texts);
    EXPECT_EQ(LoadMeasureSettings(f.path).AutoMessage0, MeasureSettings{}.AutoMessage0);
}

TEST(RulesFile, AHandEditedBadValueIsNoRule) {
    IniFixture f;
    ASSERT_TRUE(WriteFileAtomically(
        f.path, f.firstRun + Utf8ToCp932("[走行規則]\r\n最長連続走行（分）=一時間\r\n"
                                         "最少ピット停止（回）= 3 \r\n")));
    DrivingRules expected;
    expected.minStops = 3;
    EXPECT_EQ(LoadDrivingRules(f.path), expected);
}

}  // namespace
}  // namespace velmora::test
