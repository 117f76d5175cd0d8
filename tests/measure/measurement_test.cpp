#include <gtest/gtest.h>

#include <limits>

#include "carlink/presence.h"
#include "core/window_state.h"
#include "run_rig.h"

namespace velmora::test {
namespace {

TEST(StartMeasurement, WithoutSetUpSlotsIsAbandoned) {
    RunRig f({});
    StartPresenceResponder(f.console);
    f.st().main.Txt_RunH.text = "1";
    f.Start();
    ASSERT_EQ(f.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.dialogs.shown[0].text, "計測する車輌の登録がされていません。");
    EXPECT_EQ(f.dialogs.shown[0].title, "");
    EXPECT_EQ(f.dialogs.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(f.st().main.Btn_Start.caption, "Start");
    EXPECT_FALSE(f.console.ticks.Running());
    EXPECT_TRUE(f.net.IsBound(SocketId::Presence));
    EXPECT_FALSE(f.st().EndTimeSet);
    for (int i = 0; i < kPanelCount; ++i) EXPECT_TRUE(f.panel(i).Frm_Runner.enabled);
}

TEST(StartMeasurement, SlotsZeroAndTwoTakePart) {
    RunRig f({0, 2});
    StartPresenceResponder(f.console);
    f.panel(0).Spd_LapTime.SetRowCount(4);  // the previous run's laps
    f.panel(0).Lbl_BestLapTime.caption = "old";
    f.runner(1).LapCount = 7;
    f.Start();
    const ConsoleState& st = f.st();
    EXPECT_TRUE(f.dialogs.shown.empty());
    EXPECT_EQ(st.main.Btn_Start.caption, "Stop");
    EXPECT_EQ(st.LastMeasuredSlot, 1);
    EXPECT_EQ(f.net.boundPorts,
              (std::map<SocketId, std::uint16_t>{{CarSocket(0), 7011}, {CarSocket(2), 7031}}));
    EXPECT_EQ(f.timers.Interval({TimerId::Lap, 0}), 99);
    EXPECT_FALSE(f.timers.IsRunning({TimerId::Lap, 1}));
    EXPECT_FALSE(f.panel(1).Frm_Runner.enabled);
    EXPECT_FALSE(f.panel(1).Btn_RunStop.enabled);
    EXPECT_TRUE(f.panel(2).Btn_RunStop.enabled);
    EXPECT_EQ(f.runner(1).LapCount, 0);
    EXPECT_EQ(f.panel(0).Spd_LapTime.RowCount(), 0);
    EXPECT_EQ(f.panel(0).Lbl_BestLapTime.caption, "");
    EXPECT_EQ(f.panel(2).Lbl_LapCnt.caption, "1周目");
    EXPECT_TRUE(st.main.ranking[1].Lbl_Sort_No.visible);
    EXPECT_FALSE(st.main.ranking[2].Lbl_Jyuni.visible);
    EXPECT_EQ(st.main.Lbl_StTime.caption, "Start時間 14:05");
    EXPECT_FALSE(st.main.Btn_End.enabled);
    EXPECT_FALSE(st.main.Btn_Mess.enabled);
    EXPECT_TRUE(st.main.Btn_Write.enabled);  // results can be saved during a run
    EXPECT_TRUE(st.main.Btn_OtherLap.enabled);
    EXPECT_FALSE(f.timers.IsRunning({TimerId::NoInputBlk}));
    EXPECT_FALSE(f.panel(0).Btn_ClsCar.enabled);
    EXPECT_FALSE(f.net.IsBound(SocketId::Presence));
}

TEST(StartMeasurement, ASlotWhosePortCannotBeBoundIsLeftOut) {
    RunRig f({0, 1});
    f.net.failBind[7021] = "address in use";
    f.Start();
    ASSERT_EQ(f.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.dialogs.shown[0].text,
              "２号車の通信ポート 7021 を開けません。(address in use)\n２号車は計測しません。");
    EXPECT_TRUE(f.st().Measuring());
    EXPECT_EQ(f.st().LastMeasuredSlot, 0);
    EXPECT_FALSE(f.panel(1).Frm_Runner.enabled);
    EXPECT_FALSE(f.timers.IsRunning({TimerId::Lap, 1}));
    EXPECT_FALSE(f.st().main.ranking[1].Lbl_Jyuni.visible);

    RunRig g({1});
    g.net.failBind[7021] = "address in use";
    g.Start();
    ASSERT_EQ(g.dialogs.shown.size(), 1u);  // the bind message, not "no car"
    EXPECT_NE(g.dialogs.shown[0].text.find("7021"), std::string::npos);
    EXPECT_FALSE(g.st().Measuring());
    EXPECT_TRUE(g.panel(1).Frm_Runner.enabled);
}

TEST(StopMeasurement, AsksAndThenStopsEverything) {
    RunRig f({0});
    f.Start();
    f.panel(0).Txt_OutMess.text = "BOX";
    f.panel(0).Lbl_InMess.caption = "hello";
    StopMeasurement(f.console);  // the default answer is No
    EXPECT_TRUE(f.st().Measuring());
    EXPECT_EQ(f.dialogs.shown.back().text, "ストップしますか？");
    EXPECT_EQ(f.dialogs.shown.back().title, "Stop確認");
    EXPECT_EQ(f.dialogs.shown.back().icon, MessageIcon::Critical);

    f.AtTick(5000);
    f.StopYes();
    EXPECT_EQ(f.st().main.Btn_Start.caption, "Start");
    EXPECT_EQ(f.console.TickCounter(), 5000);
    EXPECT_FALSE(f.net.IsBound(CarSocket(0)));
    EXPECT_TRUE(f.net.IsBound(SocketId::Presence));
    EXPECT_FALSE(f.timers.IsRunning({TimerId::Lap, 0}));
    EXPECT_TRUE(f.timers.IsRunning({TimerId::NoInputBlk}));
    EXPECT_EQ(f.panel(0).Lbl_Time.caption, "0'00\"000");
    EXPECT_EQ(f.panel(0).Txt_OutMess.text, "");
    EXPECT_EQ(f.panel(0).Lbl_InMess.caption, "");
    for (int i = 0; i < kPanelCount; ++i) EXPECT_TRUE(f.panel(i).Btn_RunStop.enabled);
    EXPECT_FALSE(f.st().main.Btn_OtherLap.enabled);
    EXPECT_TRUE(f.st().main.Btn_Write.enabled);
}

TEST(StartMeasurement, LocksSetUpAndClearingOfEverySlotUntilTheStop) {
    RunRig f({0, 2});
    SetSlotControls(f.panel(0), true);
    SetSlotControls(f.panel(2), true);
    f.Start();
    for (int i = 0; i < kPanelCount; ++i) {
        const PanelState& p = f.panel(i);
        SCOPED_TRACE(i);
        EXPECT_FALSE(p.Btn_ClientNoSet.enabled);
        EXPECT_FALSE(p.Btn_ClientNoSet2.enabled);
        EXPECT_FALSE(p.Btn_ClsCar.enabled);
    }
    // Under the lap strip of a set-up panel, the idle panel's button is not there at all.
    EXPECT_FALSE(f.panel(0).Btn_ClientNoSet.visible);
    EXPECT_TRUE(f.panel(1).Btn_ClientNoSet.visible);
    f.StopYes();
    for (int i = 0; i < kPanelCount; ++i) {
        EXPECT_TRUE(f.panel(i).Btn_ClientNoSet.enabled);
        EXPECT_TRUE(f.panel(i).Btn_ClsCar.enabled);
    }
}

TEST(StopCar, TheLastCarStopsTheRunWithoutTheGeneralQuestion) {
    RunRig f({0, 2});
    f.Start();
    StopCar(f.console, 0);  // No
    EXPECT_TRUE(f.net.IsBound(CarSocket(0)));
    EXPECT_EQ(f.dialogs.shown.back().text, "１号車の計測を中止しますか？");

    f.dialogs.answers = {MessageAnswer::Yes, MessageAnswer::Yes};
    StopCar(f.console, 0);
    EXPECT_TRUE(f.st().Measuring());
    EXPECT_FALSE(f.net.IsBound(CarSocket(0)));
    EXPECT_FALSE(f.timers.IsRunning({TimerId::Lap, 0}));
    EXPECT_FALSE(f.panel(0).Btn_RunStop.enabled);
    StopCar(f.console, 2);
    EXPECT_FALSE(f.st().Measuring());
    EXPECT_EQ(f.dialogs.shown.size(), 3u);  // no "ストップしますか？"
    EXPECT_FALSE(f.st().SkipStopConfirm);
}

TEST(StopCar, OutsideAMeasurementNeverStartsOne) {
    RunRig f({0});
    f.Start();
    f.StopYes();  // every stop button is enabled again after a stop
    ASSERT_TRUE(f.panel(1).Btn_RunStop.enabled);
    f.dialogs.shown.clear();
    f.dialogs.answers = {MessageAnswer::Yes, MessageAnswer::Yes};
    StopCar(f.console, 0);
    StopCar(f.console, 1);
    EXPECT_TRUE(f.dialogs.shown.empty());
    EXPECT_EQ(f.st().main.Btn_Start.caption, "Start");
    EXPECT_FALSE(f.console.ticks.Running());
}

TEST(RunLength, StartReadsTheFields) {
    struct Case {
        const char *hours, *minutes;
        bool set;
        int endHour, endMinute;
    };
    const Case cases[] = {{"0", "0", false, 0, 0},    {"", "", false, 0, 0},
                          {"1", "30", true, 11, 0},   {"0", "90", true, 11, 0},
                          {"1.5", "0", true, 11, 30}, {"2.5", "0", true, 11, 30},
                          {"-1", "0", true, 8, 30},   {"0.4", "0", true, 9, 30}};
    for (const Case& k : cases) {
        RunRig f({0});
        f.wall.Set({2026, 12, 7, 9, 30, 0});
        f.st().main.Txt_RunH.text = k.hours;
        f.st().main.Txt_RunN.text = k.minutes;
        f.Start();
        EXPECT_EQ(f.st().EndTimeSet, k.set) << k.hours << "/" << k.minutes;
        if (k.set) {
            const CivilTime end = ToCivil(f.st().MeasureEndTime);
            EXPECT_EQ(end.hour * 60 + end.minute, k.endHour * 60 + k.endMinute) << k.hours;
        }
    }
}

TEST(RunLength, ClockShowsTheRemainingTime) {
    RunRig f({0});
    f.wall.Set({2026, 12, 7, 9, 30, 0});
    f.st().main.Txt_RunH.text = "1";
    f.st().main.Txt_RunN.text = "30";
    f.Start();
    f.wall.Set({2026, 12, 7, 9, 30, 1});
    SystemClockTick(f.console);
    EXPECT_EQ(f.st().main.Lbl_SysTime.caption, "am 09:30:01");
    EXPECT_EQ(f.st().main.Lbl_ZanTime.caption, "残り 1:29:59");
    EXPECT_EQ(f.st().main.Lbl_ZanTime.fore, Red);
    EXPECT_EQ(f.st().RemainingTicks, 5'399'000);
    f.wall.Set({2026, 12, 7, 11, 0, 5});
    SystemClockTick(f.console);
    EXPECT_EQ(f.st().main.Lbl_ZanTime.caption, "残り 0:00:05");
    EXPECT_EQ(f.st().main.Lbl_ZanTime.fore, White);
    EXPECT_EQ(f.st().RemainingTicks, -5000);

    f.StopYes();
    SystemClockTick(f.console);  // no run length any more: the label keeps its text
    EXPECT_EQ(f.st().main.Lbl_ZanTime.caption, "残り 0:00:05");
}

TEST(RunLength, FieldsAreCheckedWhenTheyLoseTheFocus) {
    RunRig f({0});
    f.wall.Set({2026, 12, 7, 9, 30, 0});
    MainFrameState& m = f.st().main;
    m.Txt_RunH.text = "1";
    m.Txt_RunN.text = "30";
    f.Start();

    f.wall.Set({2026, 12, 7, 10, 0, 0});
    RunLengthGotFocus(f.console, false);
    m.Txt_RunN.text = "45";
    RunLengthLostFocus(f.console, false);
    EXPECT_EQ(ToCivil(f.st().MeasureEndTime).hour, 11);
    EXPECT_EQ(ToCivil(f.st().MeasureEndTime).minute, 15);  // from the start, not from now

    // Not a number, beyond 16 bits, or beyond the 32-bit tick range: beep, "0", focus back.
    for (const char* bad : {"abc", "", "40000", "600"}) {
        RunLengthGotFocus(f.console, true);
        m.Txt_RunH.text = bad;
        f.st().focusRequest.clear();
        const int beeps = f.dialogs.beeps;
        RunLengthLostFocus(f.console, true);
        EXPECT_EQ(f.dialogs.beeps, beeps + 1) << bad;
        EXPECT_EQ(m.Txt_RunH.text, "0");
        EXPECT_EQ(f.st().focusRequest, "Txt_RunH");
    }
    EXPECT_EQ(ToCivil(f.st().MeasureEndTime).hour, 11);

    // Idle: a change waits for the next start.
    f.StopYes();
    RunLengthGotFocus(f.console, true);
    m.Txt_RunH.text = "3";
    RunLengthLostFocus(f.console, true);
    EXPECT_FALSE(f.st().EndTimeSet);
}

TEST(RunLength, OversizedFieldsAtStartAreBoundedNotOverflowed) {
    RunRig f({0});
    f.st().main.Txt_RunH.text = "99999999";
    f.Start();
    ASSERT_TRUE(f.st().EndTimeSet);
    EXPECT_EQ(f.st().MeasureEndTime - f.st().MeasureStartTime, std::chrono::hours(32767));
    SystemClockTick(f.console);
    EXPECT_EQ(f.st().RemainingTicks, std::numeric_limits<std::int32_t>::max());
}

}  // namespace
}  // namespace velmora::test
