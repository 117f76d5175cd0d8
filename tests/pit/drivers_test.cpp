#include <gtest/gtest.h>

#include "fakes/fakes.h"
#include "pit/drivers.h"
#include "pit/messages.h"

namespace velmora::test {
namespace {

void Pick(FakeConsole& f, int slot, int item) {
    f.panel(slot).Cmb_Driver.Select(item);
    ChooseDriver(f.console, slot);
}

void Tick(FakeConsole& f, int slot, bool on) {
    f.panel(slot).Chk_ChgCnter.checked = on;
    ArmCountdown(f.console, slot);
}

TEST(Countdown, ArmingTakesTheDefaultAndDisarmingResets) {
    FakeConsole f;
    PanelState& p = f.panel(0);
    Tick(f, 0, true);
    EXPECT_EQ(p.Txt_ZanRunCnt.text, "10");
    EXPECT_TRUE(p.Txt_ZanRunCnt.enabled);
    EXPECT_EQ(p.Lbl_AutoMess1.fore, Black);
    EXPECT_EQ(p.Lbl_AutoMess2.fore, Black);

    Tick(f, 0, false);
    EXPECT_EQ(p.Txt_ZanRunCnt.text, "0");
    EXPECT_FALSE(p.Txt_ZanRunCnt.enabled);
    EXPECT_EQ(p.Lbl_AutoMess1.fore, Grey);
    EXPECT_EQ(p.Lbl_AutoMess2.fore, Grey);

    f.console.settings.DefaultCountdownLaps = -4;
    Tick(f, 0, true);
    EXPECT_EQ(p.Txt_ZanRunCnt.text, "-4");
}

TEST(Countdown, TypedValueDrivesTheNextMessage) {
    FakeConsole f;
    Tick(f, 0, true);
    f.panel(0).Txt_ZanRunCnt.text = "3";
    ZanRunCntLostFocus(f.console, 0);
    ComposeOutgoingMessage(f.console, 0);
    EXPECT_EQ(f.runner(0).AutoMessageText, " [ あと３周でピットインです。 ] ");
}

TEST(Countdown, LostFocusKeepsAnyNumberAndResetsTheRest) {
    struct Case {
        const char* typed;
        const char* kept;
    };
    for (const Case& k : {Case{"7", "7"}, Case{"03", "03"}, Case{"3.5", "3.5"}, Case{"-1", "-1"},
                          Case{"", "0"}, Case{"abc", "0"}, Case{"2 laps", "0"}}) {
        FakeConsole f;
        Tick(f, 1, true);
        f.panel(1).Txt_ZanRunCnt.text = k.typed;
        ZanRunCntLostFocus(f.console, 1);
        const bool refused = std::string(k.kept) != k.typed;
        EXPECT_EQ(f.panel(1).Txt_ZanRunCnt.text, k.kept) << k.typed;
        EXPECT_EQ(f.dialogs.beeps, refused ? 1 : 0) << k.typed;
        EXPECT_EQ(f.st().focusRequest, refused ? "Txt_ZanRunCnt_1" : "") << k.typed;
    }
}

TEST(ChooseDriver, DisarmsAndReusesTheDriversRow) {
    FakeConsole f;
    for (const char* n : {"Aoki", "Baba"}) f.panel(0).Cmb_Driver.AddItem(n);
    Pick(f, 0, 0);
    Pick(f, 0, 1);
    EXPECT_EQ(f.runner(0).DriverInfoRow, 2);
    Tick(f, 0, true);

    Pick(f, 0, 0);
    EXPECT_EQ(f.runner(0).DriverInfoRow, 1);
    EXPECT_EQ(f.panel(0).Spd_DriverInfo.RowCount(), 2);
    EXPECT_EQ(f.panel(0).Spd_DriverInfo.Cell(1, 1), "Aoki");
    EXPECT_FALSE(f.panel(0).Chk_ChgCnter.checked);
    EXPECT_EQ(f.panel(0).Txt_ZanRunCnt.text, "0");
    EXPECT_FALSE(f.panel(0).Txt_ZanRunCnt.enabled);
    EXPECT_EQ(f.panel(0).Lbl_AutoMess1.fore, Grey);
}

TEST(ChooseDriver, DuplicateRowsTakeTheLastAndSlotsKeepTheirOwnTables) {
    FakeConsole f;
    Grid& t = f.panel(0).Spd_DriverInfo;
    t.SetRowCount(3);
    t.SetCell(1, 1, "Aoki");
    t.SetCell(2, 1, "Baba");
    t.SetCell(3, 1, "Aoki");
    f.panel(0).Cmb_Driver.AddItem("Aoki");
    f.panel(2).Cmb_Driver.AddItem("Aoki");
    Pick(f, 0, 0);
    Pick(f, 2, 0);
    EXPECT_EQ(f.runner(0).DriverInfoRow, 3);
    EXPECT_EQ(t.RowCount(), 3);
    EXPECT_EQ(f.runner(2).DriverInfoRow, 1);
    EXPECT_EQ(f.panel(2).Spd_DriverInfo.Cell(1, 1), "Aoki");
}

TEST(DriverPopup, OpensClosesAndTimesOut) {
    FakeConsole f;
    const TimerKey key{TimerId::DriverInfo, 1};
    PanelState& p = f.panel(1);

    DriverInfoClick(f.console, 1);
    EXPECT_TRUE(p.Btn_DriverInfo.pressed);
    EXPECT_TRUE(p.Frm_DriverLap.visible);
    EXPECT_EQ(f.timers.Interval(key), 30000);

    DriverInfoClick(f.console, 1);
    EXPECT_FALSE(p.Btn_DriverInfo.pressed);
    EXPECT_FALSE(p.Frm_DriverLap.visible);
    EXPECT_FALSE(f.timers.IsRunning(key));

    DriverInfoClick(f.console, 1);
    ASSERT_TRUE(f.timers.Fire(key));
    EXPECT_FALSE(p.Btn_DriverInfo.pressed);
    EXPECT_FALSE(p.Frm_DriverLap.visible);
    EXPECT_FALSE(f.timers.IsRunning(key));
}

TEST(DriverPopup, ListLosingFocusTurnsWhite) {
    FakeConsole f;
    f.panel(2).Cmb_Driver.back = BlinkColour;
    DriverListLostFocus(f.console, 2);
    EXPECT_EQ(f.panel(2).Cmb_Driver.back, White);
}

}  // namespace
}  // namespace velmora::test
