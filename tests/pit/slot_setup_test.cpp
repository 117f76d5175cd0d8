#include <gtest/gtest.h>

#include "fakes/fakes.h"
#include "pit/drivers.h"
#include "pit/slot_setup.h"

namespace velmora::test {
namespace {

void Answer(FakeConsole& f, int slot, const char* address) {
    f.dialogs.inputs.push_back(address);
    SetUpCarSlot(f.console, slot);
}

void ExpectActive(const PanelState& p, bool on) {
    EXPECT_EQ(p.Frm_Runner.back, on ? RegisteredColour : IdleColour);
    for (bool enabled : {p.Cmb_Car.enabled, p.Cmb_Driver.enabled, p.Txt_OutMess.enabled,
                         p.Spd_LapTime.enabled, p.Btn_LapChg.enabled})
        EXPECT_EQ(enabled, on);
    for (bool visible : {p.Frm_LapInfo.visible, p.Frm_DriverInfo.visible, p.Spd_LapTime.visible})
        EXPECT_EQ(visible, on);
}

void GiveFuel(FakeConsole& f, int slot) {
    f.runner(slot).FuelLoaded = 30;
    f.panel(slot).Lbl_AllGas.caption = "30";
    f.panel(slot).Lbl_ZanGas.caption = "残26";
    f.panel(slot).Meter_Gas.value = 65;
}

TEST(SlotSetUp, AsksForTheAddressOfTheCarsPc) {
    FakeConsole f;
    Answer(f, 0, "127.0.0.5");
    ASSERT_EQ(f.dialogs.asked.size(), 1u);
    EXPECT_EQ(f.dialogs.asked[0].prompt, "　１号車搭載パソコンのＩＰ番号は？");
    EXPECT_EQ(f.dialogs.asked[0].title, "ＩＰ設定");
    EXPECT_EQ(f.dialogs.asked[0].defaultText, "");
    Answer(f, 0, "127.0.0.6");
    EXPECT_EQ(f.dialogs.asked[1].defaultText, "127.0.0.5");
    Answer(f, 2, "127.0.0.7");
    EXPECT_EQ(f.dialogs.asked[2].prompt, "　３号車搭載パソコンのＩＰ番号は？");
}

TEST(SlotSetUp, ActivatesTheIdlePanelAndResetsFuel) {
    FakeConsole f;
    GiveFuel(f, 1);
    Answer(f, 1, "127.0.0.2");
    EXPECT_EQ(f.panel(1).Lbl_IP.caption, "127.0.0.2");
    EXPECT_EQ(f.panel(1).Lbl_Gousya.caption, "２号車");
    ExpectActive(f.panel(1), true);
    EXPECT_FLOAT_EQ(f.runner(1).FuelLoaded, 0.0f);
    EXPECT_EQ(f.panel(1).Lbl_AllGas.caption, "");
    EXPECT_EQ(f.panel(1).Lbl_ZanGas.caption, "");
    EXPECT_EQ(f.panel(1).Meter_Gas.value, 0);
    ExpectActive(f.panel(0), false);
}

TEST(SlotSetUp, CancelOrEmptyClearsAddressAndFuelButKeepsThePanel) {
    for (const char* answer : {"", "   "}) {
        FakeConsole f;
        Answer(f, 0, "127.0.0.2");
        GiveFuel(f, 0);
        Answer(f, 0, answer);
        EXPECT_EQ(f.panel(0).Lbl_IP.caption, "");
        EXPECT_FLOAT_EQ(f.runner(0).FuelLoaded, 0.0f);
        EXPECT_EQ(f.panel(0).Lbl_AllGas.caption, "");
        EXPECT_EQ(f.panel(0).Meter_Gas.value, 65);  // the gauge is left as it was
        ExpectActive(f.panel(0), true);

        FakeConsole idle;
        Answer(idle, 0, answer);
        ExpectActive(idle.panel(0), false);
    }
}

TEST(SlotSetUp, SameAddressAgainOnlyResetsFuel) {
    FakeConsole f;
    Answer(f, 0, "127.0.0.2");
    GiveFuel(f, 0);
    f.panel(0).Btn_LapChg.enabled = false;  // e.g. during a run
    Answer(f, 0, "127.0.0.2");
    EXPECT_FLOAT_EQ(f.runner(0).FuelLoaded, 0.0f);
    EXPECT_EQ(f.panel(0).Meter_Gas.value, 65);
    EXPECT_FALSE(f.panel(0).Btn_LapChg.enabled);

    // On a panel that was cleared, the same address activates it again.
    f.dialogs.answers.push_back(MessageAnswer::Yes);
    ClearCarSlot(f.console, 0);
    f.panel(0).Lbl_IP.caption = "127.0.0.2";
    Answer(f, 0, "127.0.0.2");
    ExpectActive(f.panel(0), true);
}

TEST(SlotSetUp, BlanksAroundTheAddressAreDropped) {
    FakeConsole f;
    Answer(f, 0, " 127.0.0.9\t ");
    EXPECT_EQ(f.panel(0).Lbl_IP.caption, "127.0.0.9");
    Answer(f, 1, "pit car");
    EXPECT_EQ(f.panel(1).Lbl_IP.caption, "pit car");  // not validated
}

TEST(SlotSetUp, SecondButtonClosesThePopupFirst) {
    FakeConsole f;
    DriverInfoClick(f.console, 0);
    f.dialogs.inputs.push_back("127.0.0.3");
    Btn_ClientNoSet2_Click(f.console, 0);
    EXPECT_FALSE(f.panel(0).Frm_DriverLap.visible);
    EXPECT_FALSE(f.timers.IsRunning(TimerKey{TimerId::DriverInfo, 0}));
    EXPECT_EQ(f.panel(0).Lbl_IP.caption, "127.0.0.3");
}

TEST(SlotClear, AsksAndClearsOnAnythingButNo) {
    struct Case {
        std::optional<MessageAnswer> answer;  // none: Enter on the default button
        bool cleared;
    };
    for (const Case& k : {Case{std::nullopt, false}, Case{MessageAnswer::No, false},
                          Case{MessageAnswer::Yes, true}, Case{MessageAnswer::Ok, true}}) {
        FakeConsole f;
        Answer(f, 1, "127.0.0.2");
        GiveFuel(f, 1);
        f.panel(1).Txt_OutMess.text = "box";
        if (k.answer) f.dialogs.answers.push_back(*k.answer);
        ClearCarSlot(f.console, 1);

        ASSERT_EQ(f.dialogs.shown.size(), 1u);
        const auto& box = f.dialogs.shown[0];
        EXPECT_EQ(box.text, "２号車の設定内容を消去します。\rよろしいですか？");
        EXPECT_EQ(box.title, "消去確認");
        EXPECT_EQ(box.buttons, MessageButtons::YesNo);
        EXPECT_EQ(box.icon, MessageIcon::Critical);

        EXPECT_EQ(f.panel(1).Lbl_IP.caption, k.cleared ? "" : "127.0.0.2");
        ExpectActive(f.panel(1), !k.cleared);
        // Fuel figures and the typed message survive a clear.
        EXPECT_FLOAT_EQ(f.runner(1).FuelLoaded, 30.0f);
        EXPECT_EQ(f.panel(1).Lbl_AllGas.caption, "30");
        EXPECT_EQ(f.panel(1).Txt_OutMess.text, "box");
    }
}

TEST(SlotSetUp, NothingIsAskedOrChangedDuringARun) {
    FakeConsole f;
    Answer(f, 0, "127.0.0.1");
    f.st().main.Btn_Start.caption = "Stop";  // measuring
    f.dialogs.inputs.push_back("");          // a Cancel would empty the address
    f.dialogs.answers.push_back(MessageAnswer::Yes);
    SetUpCarSlot(f.console, 0);
    SetUpCarSlot(f.console, 1);
    ClearCarSlot(f.console, 0);
    EXPECT_EQ(f.dialogs.asked.size(), 1u);
    EXPECT_TRUE(f.dialogs.shown.empty());
    EXPECT_EQ(f.panel(0).Lbl_IP.caption, "127.0.0.1");
    ExpectActive(f.panel(0), true);
    ExpectActive(f.panel(1), false);
}

TEST(SlotSetUp, TheIdleButtonIsShownOnlyOnAnIdlePanelAndTheStateLineFollows) {
    FakeConsole f;
    EXPECT_TRUE(f.panel(0).Btn_ClientNoSet.visible);
    EXPECT_EQ(f.panel(0).Lbl_CarStatus.caption, "未設定");
    Answer(f, 0, "127.0.0.1");
    EXPECT_FALSE(f.panel(0).Btn_ClientNoSet.visible);
    EXPECT_EQ(f.panel(0).Lbl_CarStatus.caption, "待機中");
    Answer(f, 0, "");
    EXPECT_EQ(f.panel(0).Lbl_CarStatus.caption, "未設定");
    f.dialogs.answers.push_back(MessageAnswer::Yes);
    ClearCarSlot(f.console, 0);
    EXPECT_TRUE(f.panel(0).Btn_ClientNoSet.visible);
}

}  // namespace
}  // namespace velmora::test
