#include <gtest/gtest.h>

#include "fakes/fakes.h"
#include "pit/messages.h"

namespace velmora::test {
namespace {

struct OutgoingCase {
    const char* name;
    bool armed;
    const char* countdown;
    const char* typed;
    const char* allCars;
    const char* expected;
    const char* changeWarning = "";  // the driving-time rules' warning standing now
};

class OutgoingMessage : public ::testing::TestWithParam<OutgoingCase> {};

TEST_P(OutgoingMessage, ComposedFromTypedTextCountdownAndAllCars) {
    const OutgoingCase& k = GetParam();
    FakeConsole f;
    f.panel(1).Chk_ChgCnter.checked = k.armed;
    f.panel(1).Txt_ZanRunCnt.text = k.countdown;
    f.panel(1).Txt_OutMess.text = k.typed;
    f.st().main.Txt_AllOutMess.text = k.allCars;
    f.runner(1).ChangeWarningText = k.changeWarning;
    UpdateAllCarsMessage(f.console);
    ComposeOutgoingMessage(f.console, 1);
    EXPECT_EQ(f.runner(1).OutgoingMessage, k.expected) << k.name;
}

// The countdown is compared as text: "03" and "05" sort after "0" and match no count.
INSTANTIATE_TEST_SUITE_P(
    Cases, OutgoingMessage,
    ::testing::Values(
        OutgoingCase{"nothing", false, "0", "", "", ""},
        OutgoingCase{"unticked ignores countdown", false, "3", "", "", ""},
        OutgoingCase{"ten laps left", true, "10", "", "", " "},
        OutgoingCase{"three laps, typed BOX", true, "3", "BOX", "",
                     "ＢＯＸ [ あと３周でピットインです。 ] "},
        OutgoingCase{"two laps", true, "2", "", "", " [ あと２周でピットインです。 ] "},
        OutgoingCase{"one lap", true, "1", "", "", " [ 次の周でピットインしてください。 ] "},
        OutgoingCase{"zero", true, "0", "", "", " [ はよピットインせんかい！ ] "},
        OutgoingCase{"negative", true, "-2", "", "", " [ はよピットインせんかい！ ] "},
        OutgoingCase{"empty countdown", true, "", "", "", " [ はよピットインせんかい！ ] "},
        OutgoingCase{"half lap below zero", true, "-0.5", "", "", " [ はよピットインせんかい！ ] "},
        OutgoingCase{"leading zero is not three", true, "03", "", "", " "},
        OutgoingCase{"05 is a single blank", true, "05", "", "", " "},
        OutgoingCase{"3.5 is a single blank", true, "3.5", "", "", " "},
        OutgoingCase{"rain to all cars", true, "10", "", "rain", " （全車へ：ｒａｉｎ）"},
        OutgoingCase{"commas become full width", false, "0", "a,b", "c,d",
                     "ａ，ｂ（全車へ：ｃ，ｄ）"},
        OutgoingCase{"the driver-change warning after the countdown's", true, "2", "BOX", "go",
                     "ＢＯＸ [ あと２周でピットインです。 ]  [ あと5分でドライバー交代です ] "
                     "（全車へ：ｇｏ）",
                     "あと5分でドライバー交代です"}));

TEST(AllCarsMessage, FollowsTheBoxAndEmptiesWithIt) {
    FakeConsole f;
    f.st().main.Txt_AllOutMess.text = "go";
    UpdateAllCarsMessage(f.console);
    EXPECT_EQ(f.st().AllCarsMessage, "（全車へ：ｇｏ）");
    f.st().main.Txt_AllOutMess.text.clear();
    UpdateAllCarsMessage(f.console);
    EXPECT_EQ(f.st().AllCarsMessage, "");
}

TEST(AllCarsMessage, AutomaticTextsKeepTheirOwnWidth) {
    FakeConsole f;
    f.console.settings.AutoMessage3 = "pit 3";
    f.panel(0).Chk_ChgCnter.checked = true;
    f.panel(0).Txt_ZanRunCnt.text = "3";
    ComposeOutgoingMessage(f.console, 0);
    EXPECT_EQ(f.runner(0).AutoMessageText, " [ pit 3 ] ");
    EXPECT_EQ(f.runner(0).OutgoingMessage, " [ pit 3 ] ");
}

TEST(IncomingMessage, BlinksWhileShownAndStopsWhenEmpty) {
    FakeConsole f;
    const TimerKey key{TimerId::MessBlk, 2};
    ShowIncomingMessage(f.console, 2, "tyre");
    EXPECT_EQ(f.panel(2).Lbl_InMess.caption, "tyre");
    ASSERT_TRUE(f.timers.IsRunning(key));
    EXPECT_EQ(f.timers.Interval(key), 500);

    f.panel(2).Lbl_InMess.back = RegisteredColour;
    for (Colour expected : {Pink, RegisteredColour, Pink}) {
        f.timers.Fire(key);
        EXPECT_EQ(f.panel(2).Lbl_InMess.back, expected);
    }

    ShowIncomingMessage(f.console, 2, "");
    EXPECT_FALSE(f.timers.IsRunning(key));
    EXPECT_EQ(f.panel(2).Lbl_InMess.back, White);
    EXPECT_FALSE(f.timers.IsRunning(TimerKey{TimerId::MessBlk, 1}));
}

}  // namespace
}  // namespace velmora::test
