#include <gtest/gtest.h>

#include "measure/lap_correction.h"
#include "measure/stopwatch.h"
#include "run_rig.h"

namespace velmora::test {
namespace {

TEST(CorrectLapCount, CutsExtendsOrLeavesTheGrid) {
    struct Case {
        const char* answer;
        MessageAnswer confirm;
        int laps;    // expected LapCount afterwards
        bool asked;  // the deletion question came up
        const char* flag;
    };
    const Case cases[] = {
        {"5", MessageAnswer::Yes, 5, true, "C"},
        {"5", MessageAnswer::No, 8, true, "N"},
        {"10", MessageAnswer::No, 10, false, "C"},
        {"8", MessageAnswer::Yes, 8, false, "N"},
        {"", MessageAnswer::Yes, 8, false, "N"},
        {"-3", MessageAnswer::Yes, 8, false, "N"},
        {"6.5", MessageAnswer::Yes, 6, true, "C"},
        {"2000000000", MessageAnswer::Yes, 8, false, "N"},
    };
    for (const Case& k : cases) {
        RunRig f({0});
        f.runner(0).LapCount = 8;
        f.panel(0).Spd_LapTime.SetRowCount(8);
        f.panel(0).Spd_LapTime.SetCell(5, 1, "row5");
        f.dialogs.inputs = {k.answer};
        f.dialogs.answers = {k.confirm};
        CorrectLapCount(f.console, 0);
        ASSERT_EQ(f.dialogs.asked.size(), 1u);
        EXPECT_EQ(f.dialogs.asked[0].prompt, "今何周目ですか？");
        EXPECT_EQ(f.dialogs.asked[0].title, "Ｌａｐ修正");
        EXPECT_EQ(f.dialogs.asked[0].defaultText, "8");
        EXPECT_EQ(f.runner(0).LapCount, k.laps) << k.answer;
        EXPECT_EQ(f.panel(0).Spd_LapTime.RowCount(), k.laps) << k.answer;
        EXPECT_EQ(f.dialogs.shown.size(), k.asked ? 1u : 0u) << k.answer;
        EXPECT_EQ(f.runner(0).LinkFlag, k.flag) << k.answer;
        if (std::string(k.flag) == "C") {
            EXPECT_TRUE(f.runner(0).AwayFlag);
            EXPECT_EQ(f.panel(0).Lbl_LapCnt.caption, std::to_string(k.laps) + "周目");
            EXPECT_EQ(f.panel(0).Spd_LapTime.ActiveRow(), k.laps);
            EXPECT_EQ(f.panel(0).Spd_LapTime.Cell(5, 1), "row5");
        }
    }
    RunRig f({0});
    f.runner(0).LapCount = 8;
    f.dialogs.inputs = {"5"};
    CorrectLapCount(f.console, 0);
    EXPECT_EQ(f.dialogs.shown[0].text,
              "測定された５周値以降のＬＡＰ内容が削除されます。よろしいですか？");
    EXPECT_EQ(f.dialogs.shown[0].title, "Ｌａｐ値確認");
    EXPECT_EQ(f.dialogs.shown[0].icon, MessageIcon::Critical);
}

TEST(ParseLapCell, SplitsMinutesSecondsAndTickFraction) {
    struct Case {
        const char* precision;
        const char* typed;
        const char* ticks;  // nullptr: refused
    };
    const Case cases[] = {
        {"1/1000", "1'23\"456", "83456"}, {"1/1000", "1'23\"4", "83004"},
        {"1/100", "1'23\"45", "8345"},    {"1/1000", "1'2'23\"456", "143456"},
        {"1/1000", "0'1.5\"0", "1500"},   {"1/1000", "1'23\"", nullptr},
        {"1/1000", "83\"456", nullptr},   {"1/1000", "1:23.456", nullptr},
        {"1/1000", "a'23\"456", nullptr},
    };
    for (const Case& k : cases) {
        RunRig f({0});
        f.console.settings.Precision = k.precision;
        f.console.DeriveClock();
        Grid& g = f.panel(0).Spd_LapTime;
        g.SetRowCount(2);
        g.SetCell(2, 1, "1'30\"000");
        g.SetCell(2, 4, "90000");
        LapGridBeginEdit(f.console, 0, 1, 2);
        g.SetCell(2, 1, k.typed);
        ParseLapCell(f.console, 0, 1, 2);
        if (k.ticks) {
            EXPECT_EQ(g.Cell(2, 4), k.ticks) << k.typed;
            EXPECT_EQ(g.Cell(2, 1), k.typed);
            EXPECT_TRUE(f.dialogs.shown.empty());
        } else {
            ASSERT_EQ(f.dialogs.shown.size(), 1u) << k.typed;
            EXPECT_EQ(f.dialogs.shown[0].text, "入力が不正です。");
            EXPECT_EQ(g.Cell(2, 1), "1'30\"000");
            EXPECT_EQ(g.Cell(2, 4), "90000");
        }
    }
}

TEST(ParseLapCell, OtherColumnsAndMissingRowsAreNotChecked) {
    RunRig f({0});
    f.panel(0).Spd_LapTime.SetRowCount(1);
    f.panel(0).Spd_LapTime.SetCell(1, 3, "rain");
    ParseLapCell(f.console, 0, 3, 1);
    ParseLapCell(f.console, 0, 1, 5);
    EXPECT_TRUE(f.dialogs.shown.empty());
}

TEST(Stopwatch, TimesOnTheMeasurementClockAndGoesNegativeAfterARestart) {
    RunRig f({0});
    f.Start();
    f.AtTick(5000);
    OtherLapClick(f.console);
    EXPECT_EQ(f.st().main.Btn_OtherLap.caption, "Stop");
    f.AtTick(5000 + 83456);
    OtherLapClick(f.console);
    EXPECT_EQ(f.st().main.Lbl_OtherLap.caption, "1'23\"456");
    EXPECT_FALSE(f.timers.IsRunning({TimerId::OtherLap}));

    f.AtTick(5000);
    OtherLapClick(f.console);  // left running across a restart
    f.StopYes();
    EXPECT_TRUE(f.timers.IsRunning({TimerId::OtherLap}));
    f.Start();
    f.AtTick(3766);
    f.timers.Fire({TimerId::OtherLap});
    EXPECT_EQ(f.st().main.Lbl_OtherLap.caption, "0'-01\"-234");
}

}  // namespace
}  // namespace velmora::test
