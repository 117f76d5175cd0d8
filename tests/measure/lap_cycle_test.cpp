#include <gtest/gtest.h>

#include "measure/lap_display.h"
#include "run_rig.h"

namespace velmora::test {
namespace {

TEST(LapCycle, SilenceOpensALapOnlyPastTheEdgeAndTheReturnTimesIt) {
    RunRig f({0});
    f.Start();
    f.AtTick(50000);
    f.panel(0).Txt_OutMess.text = "BOX";
    ASSERT_TRUE(f.Car(0, "000"));

    f.AtTick(60000);  // exactly SilenceTicks after the last message: not yet
    f.Tick(0);
    EXPECT_EQ(f.runner(0).LapCount, 0);
    EXPECT_EQ(f.panel(0).Lbl_Time.caption, "1'00\"000");

    f.AtTick(60001);
    f.Tick(0);
    const Grid& g = f.panel(0).Spd_LapTime;
    EXPECT_EQ(f.runner(0).LapCount, 1);
    EXPECT_EQ(g.RowCount(), 1);
    EXPECT_EQ(g.ActiveRow(), 1);
    EXPECT_TRUE(f.runner(0).AwayFlag);
    EXPECT_EQ(f.panel(0).Txt_OutMess.text, "");
    EXPECT_EQ(f.panel(0).Lbl_LapCnt.caption, "1周目");

    f.AtTick(90000);  // still away: no second lap
    f.Tick(0);
    EXPECT_EQ(f.runner(0).LapCount, 1);

    f.AtTick(95432);
    f.Car(0, "000");
    EXPECT_EQ(g.Cell(1, 4), "95432");
    EXPECT_EQ(f.panel(0).Lbl_LapCnt.caption, "2周目");
    EXPECT_FALSE(f.runner(0).AwayFlag);
    EXPECT_EQ(Cp932ToUtf8(f.net.sent.back().bytes).substr(0, 4), "N001");
    EXPECT_EQ(f.net.sent.size(), 2u);
}

TEST(LapCycle, LapCorrectionFlagForcesTheNextRecording) {
    RunRig f({0});
    f.Start();
    f.AtTick(10001);
    f.Tick(0);
    f.runner(0).LinkFlag = "C";
    f.AtTick(20000);
    f.Car(0, "001");  // already echoes the count, but the count was corrected
    EXPECT_EQ(f.panel(0).Spd_LapTime.Cell(1, 4), "20000");
    EXPECT_EQ(Cp932ToUtf8(f.net.sent.back().bytes)[0], 'C');
    f.Car(0, "001");
    EXPECT_EQ(Cp932ToUtf8(f.net.sent.back().bytes)[0], 'N');
}

TEST(LapCycle, CountdownIsLoweredOnlyWhenArmed) {
    const std::tuple<bool, const char*, const char*> cases[] = {
        {true, "5", "4"}, {true, "3.5", "2.5"}, {true, "0", "-1"}, {false, "5", "5"}};
    for (const auto& [armed, before, after] : cases) {
        RunRig f({0});
        f.Start();
        f.panel(0).Chk_ChgCnter.checked = armed;
        f.panel(0).Txt_ZanRunCnt.text = before;
        f.AtTick(10001);
        f.Tick(0);
        EXPECT_EQ(f.panel(0).Txt_ZanRunCnt.text, after) << before;
    }
}

TEST(LapCycle, LapClockShowsTwoDigitsAtHundredths) {
    RunRig f({0});
    f.console.settings.Precision = "1/100";
    f.console.DeriveClock();
    f.Start();
    f.AtTick(199);
    f.Tick(0);
    EXPECT_EQ(f.panel(0).Lbl_Time.caption, "0'01\"99");
}

TEST(LapCycle, NearingTheTickLimitEndsTheRunWithAMessage) {
    RunRig f({0});
    f.Start();
    f.mono.AdvanceMs(2'147'483'647LL - 30'000);
    f.Tick(0);
    EXPECT_FALSE(f.st().Measuring());
    ASSERT_EQ(f.dialogs.shown.size(), 1u);  // no stop question
    EXPECT_EQ(f.dialogs.shown[0].text, "計測時間が上限に達したため、計測を終了しました。");
    EXPECT_FALSE(f.timers.IsRunning({TimerId::Lap, 0}));
}

TEST(BlinkEmptyInputs, TogglesOnlyEmptyListsOfSetUpPanels) {
    RunRig f({1});
    f.panel(1).Cmb_Car.text = "Car A";
    BlinkEmptyInputs(f.console);
    EXPECT_EQ(f.st().main.Cmb_Course.back, BlinkColour);
    EXPECT_EQ(f.panel(1).Cmb_Driver.back, BlinkColour);
    EXPECT_EQ(f.panel(1).Cmb_Car.back, White);
    EXPECT_EQ(f.panel(0).Cmb_Driver.back, White);
    BlinkEmptyInputs(f.console);
    EXPECT_EQ(f.st().main.Cmb_Course.back, White);
    EXPECT_EQ(f.panel(1).Cmb_Driver.back, White);
}

}  // namespace
}  // namespace velmora::test
