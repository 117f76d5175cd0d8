#include <gtest/gtest.h>

#include <filesystem>

#include "core/atomic_file.h"
#include "fakes/fakes.h"
#include "pit/settings_dialog.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

struct SettingsDialog : ::testing::Test {
    FakeConsole f;
    fs::path dir;
    Grid& grid() { return f.st().Frm_Mess.grid; }

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("velmora_settings_" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        f.console.paths = Paths::InFolder(dir.string());
    }
    void TearDown() override { fs::remove_all(dir); }
};

TEST_F(SettingsDialog, OpeningFillsTheValuesAndLocksTheConsole) {
    f.console.settings.SilenceSeconds = 15;
    f.console.settings.DefaultCountdownLaps = 8;
    OpenEnvironmentSettings(f.console);
    EXPECT_EQ(grid().Cell(1, 2), "1/1000");
    EXPECT_EQ(grid().Cell(2, 2), "15");
    EXPECT_EQ(grid().Cell(3, 2), "あと３周でピットインです。");
    EXPECT_EQ(grid().Cell(6, 2), "はよピットインせんかい！");
    EXPECT_EQ(grid().Cell(7, 2), "8");
    EXPECT_EQ(grid().ActiveCol(), 2);
    EXPECT_EQ(grid().ActiveRow(), 1);
    EXPECT_TRUE(f.st().Frm_Mess.frame.visible);
    EXPECT_FALSE(f.st().main.Frm_Main.enabled);
    for (const PanelState& p : f.st().panels) EXPECT_FALSE(p.Frm_Runner.enabled);
    EXPECT_EQ(f.st().focusRequest, "Spd_Mess");
}

TEST_F(SettingsDialog, SilenceSecondsOutsideOneToNinetyNineAreRefused) {
    for (const char* typed : {"0", "100", "abc", "", "70000", "-3", "0.4", "99.5"}) {
        OpenEnvironmentSettings(f.console);
        grid().SetCell(2, 2, typed);
        grid().SetCell(3, 2, "changed");
        f.dialogs.shown.clear();
        EXPECT_FALSE(ConfirmEnvironmentSettings(f.console)) << typed;
        ASSERT_EQ(f.dialogs.shown.size(), 1u) << typed;
        EXPECT_EQ(f.dialogs.shown[0].text,
                  "無通信ラップ加算秒数が不正です。１から99までで指定してください。");
        EXPECT_EQ(f.dialogs.shown[0].title, "");
        EXPECT_EQ(f.dialogs.shown[0].buttons, MessageButtons::Ok);
        EXPECT_EQ(f.dialogs.shown[0].icon, MessageIcon::None);
        EXPECT_EQ(grid().ActiveRow(), 2) << typed;
        EXPECT_EQ(grid().ActiveCol(), 2) << typed;
        EXPECT_TRUE(f.st().Frm_Mess.frame.visible) << typed;
        EXPECT_EQ(f.console.settings.SilenceSeconds, 10) << typed;
        EXPECT_EQ(f.console.settings.AutoMessage3, "あと３周でピットインです。") << typed;
    }
    CancelEnvironmentSettings(f.console);
    EXPECT_FALSE(f.st().Frm_Mess.frame.visible);
    EXPECT_TRUE(f.st().main.Frm_Main.enabled);
    EXPECT_EQ(f.console.settings.SilenceSeconds, 10);
    EXPECT_FALSE(fs::exists(f.console.paths.SettingsFilePath));
}

TEST_F(SettingsDialog, AcceptedSilenceSecondsAreRoundedHalfToEven) {
    struct Case {
        const char* typed;
        int taken;
    };
    for (const Case& k : {Case{"1", 1}, Case{"99", 99}, Case{"10.5", 10}, Case{"11.5", 12},
                          Case{"20s", 20}, Case{" 7", 7}}) {
        OpenEnvironmentSettings(f.console);
        grid().SetCell(2, 2, k.typed);
        EXPECT_TRUE(ConfirmEnvironmentSettings(f.console)) << k.typed;
        EXPECT_EQ(f.console.settings.SilenceSeconds, k.taken) << k.typed;
        EXPECT_EQ(f.console.clock.SilenceTicks, k.taken * 1000) << k.typed;
    }
}

TEST_F(SettingsDialog, ConfirmAppliesSavesAndUnlocks) {
    OpenEnvironmentSettings(f.console);
    grid().SetCell(1, 2, "1/100");
    grid().SetCell(2, 2, "12");
    grid().SetCell(3, 2, "a,b");
    grid().SetCell(4, 2, ",two,,");
    grid().SetCell(5, 2, "");
    grid().SetCell(6, 2, "go");
    grid().SetCell(7, 2, "-2.5");
    f.panel(1).Lbl_Time.caption = "1'02\"345";
    ASSERT_TRUE(ConfirmEnvironmentSettings(f.console));

    const MeasureSettings& s = f.console.settings;
    EXPECT_EQ(s.Precision, "1/100");
    EXPECT_EQ(s.SilenceSeconds, 12);
    EXPECT_EQ(s.AutoMessage3, "a b");
    EXPECT_EQ(s.AutoMessage2, " two  ");
    EXPECT_EQ(s.AutoMessage1, "");
    EXPECT_EQ(s.AutoMessage0, "go");
    EXPECT_EQ(s.DefaultCountdownLaps, -2);
    EXPECT_EQ(f.console.clock.TicksPerSecond, 100);
    EXPECT_EQ(f.console.clock.SilenceTicks, 1200);
    for (const PanelState& p : f.st().panels) {
        EXPECT_EQ(p.Lbl_Time.caption, "0'00\"00");
        EXPECT_TRUE(p.Frm_Runner.enabled);
    }
    EXPECT_TRUE(f.st().main.Frm_Main.enabled);
    EXPECT_FALSE(f.st().Frm_Mess.frame.visible);

    const MeasureSettings back = LoadMeasureSettings(f.console.paths.SettingsFilePath);
    EXPECT_EQ(back.Precision, "1/100");
    EXPECT_EQ(back.SilenceSeconds, 12);
    EXPECT_EQ(back.AutoMessage3, "a b");
    EXPECT_EQ(back.DefaultCountdownLaps, -2);
}

TEST_F(SettingsDialog, CancelDropsTheEditsAndLeavesTheClocks) {
    OpenEnvironmentSettings(f.console);
    grid().SetCell(1, 2, "1/100");
    grid().SetCell(3, 2, "edited");
    f.panel(0).Lbl_Time.caption = "1'02\"345";
    CancelEnvironmentSettings(f.console);
    EXPECT_EQ(f.console.settings.Precision, "1/1000");
    EXPECT_EQ(f.panel(0).Lbl_Time.caption, "1'02\"345");
    OpenEnvironmentSettings(f.console);
    EXPECT_EQ(grid().Cell(1, 2), "1/1000");
    EXPECT_EQ(grid().Cell(3, 2), "あと３周でピットインです。");
}

TEST(SettingsGrid, ActiveCellStaysInTheValueColumn) {
    EXPECT_TRUE(MessGridLeaveCell(1));
    EXPECT_FALSE(MessGridLeaveCell(2));
    EXPECT_TRUE(MessGridLeaveCell(0));
}

}  // namespace
}  // namespace velmora::test
