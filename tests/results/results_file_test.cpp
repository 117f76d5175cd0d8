#include "results/results_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/encoding.h"
#include "fakes/fakes.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

const std::string kRule = "----------------------------------------\r\n";

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Results : ::testing::Test {
    FakeConsole f;
    fs::path dir;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("velmora_results_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        MainFrameState& m = f.st().main;
        m.Txt_Event.text = "耐久";
        m.Txt_Date.text = "2026/12/7";
        m.Cmb_Tenki.text = "晴";
        m.Txt_Kion.text = "12";
    }
    void TearDown() override { fs::remove_all(dir); }

    void Assign(int slot, const char* address, const char* car) {
        PanelState& p = f.panel(slot);
        p.Lbl_IP.caption = address;
        if (car) {
            p.Cmb_Car.AddItem(std::string(car) + "\t40\t5");
            p.Cmb_Car.Select(0);
        }
    }
    void Lap(int slot, int row, const char* time, const char* driver, const char* remark,
             const char* record) {
        Grid& g = f.panel(slot).Spd_LapTime;
        if (g.RowCount() < row) g.SetRowCount(row);
        g.SetCell(row, 1, time);
        g.SetCell(row, 2, driver);
        g.SetCell(row, 3, remark);
        g.SetCell(row, 4, "62345");
        g.SetCell(row, 5, record);
    }
    void Driver(int slot, const char* name, const char* best, const char* ave) {
        Grid& g = f.panel(slot).Spd_DriverInfo;
        const int row = g.RowCount() + 1;
        g.SetRowCount(row);
        g.SetCell(row, 1, name);
        g.SetCell(row, 2, best);
        g.SetCell(row, 3, ave);
    }
};

const char* kHeading = "イベント名:耐久\r\n日付:2026/12/7\r\n天気:晴\r\n気温:12\r\n\r\n";

TEST_F(Results, OnlyAssignedSlotsWriteABlock) {
    Assign(0, "127.0.0.2", "スイフト");
    Assign(2, "127.0.0.4", nullptr);
    Lap(0, 1, "1'02\"345", "佐藤", "", "ＢＯＸ, tyre");
    Lap(0, 2, "  ", "佐藤", "", "");  // only blanks: left out
    Lap(0, 3, "1'01\"000", "加藤", "修正", ", ");
    Lap(0, 4, "", "加藤", "", "");  // the open lap
    Driver(0, "佐藤", "1'02\"345", "1'02\"345");
    Driver(0, "", "", "");
    Lap(1, 1, "9'99\"999", "x", "", "");  // slot 2 is not assigned
    Lap(2, 1, "2'00\"000", "", "", "");

    const std::string expected =
        std::string(kHeading) + kRule + "１号車\r\n" + "車輌名:スイフト\r\n" + kRule +
        "1,1'02\"345,佐藤,,ＢＯＸ, tyre\r\n" + "3,1'01\"000,加藤,修正,, \r\n" + kRule +
        "個人集計\r\n" + kRule + "佐藤,1'02\"345,1'02\"345\r\n" + ",,\r\n" + kRule + "３号車\r\n" +
        "車輌名:\r\n" + kRule + "1,2'00\"000,,,\r\n" + kRule + "個人集計\r\n" + kRule;
    EXPECT_EQ(BuildResultsText(f.st()), expected);
}

TEST_F(Results, TwelveRowsWithTheLastOpenGiveElevenLapLines) {
    Assign(1, "127.0.0.3", "Kei");
    for (int r = 1; r <= 11; ++r) Lap(1, r, "1'00\"000", "d", "", "");
    Lap(1, 12, "", "d", "", "");
    const std::string text = BuildResultsText(f.st());
    EXPECT_NE(text.find("\r\n11,1'00\"000,d,,\r\n"), std::string::npos);
    EXPECT_EQ(text.find("\r\n12,"), std::string::npos);
}

TEST_F(Results, NoSlotAndNoEventWriteTheHeadingAlone) {
    f.st().main.Txt_Event.text.clear();
    EXPECT_EQ(BuildResultsText(f.st()),
              "イベント名:\r\n日付:2026/12/7\r\n天気:晴\r\n気温:12\r\n\r\n");
}

TEST_F(Results, WritesCp932ReplacingTheOldFile) {
    const std::string path = (dir / "result.txt").string();
    { std::ofstream(path) << "an older and much longer report than the new one will be\n"; }
    Assign(0, "127.0.0.2", "スイフト");
    f.dialogs.savePaths.push_back(path);
    WriteResults(f.console);
    EXPECT_EQ(f.dialogs.lastSaveTitle, "ファイル書込");
    EXPECT_EQ(f.dialogs.lastSaveFilter, "テキストデータ (*.txt)|*.txt|全てのファイル (*.*)|*.*");
    EXPECT_TRUE(f.dialogs.shown.empty());
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes, Utf8ToCp932(BuildResultsText(f.st())));
    EXPECT_EQ(bytes.substr(0, 10), "\x83\x43\x83\x78\x83\x93\x83\x67\x96\xbc");  // イベント名
    EXPECT_EQ(Cp932ToUtf8(bytes), BuildResultsText(f.st()));
}

TEST_F(Results, CancellingWritesNothing) {
    WriteResults(f.console);
    EXPECT_TRUE(f.dialogs.shown.empty());
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(Results, FailuresAreReportedAndChangeNothing) {
    const std::string readOnly = (dir / "locked.txt").string();
    { std::ofstream(readOnly) << "keep"; }
    fs::permissions(readOnly,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    struct Case {
        std::string path;
    };
    for (const Case& k :
         {Case{(dir / "missing" / "r.txt").string()}, Case{dir.string()}, Case{readOnly}}) {
        f.dialogs.shown.clear();
        f.dialogs.savePaths.push_back(k.path);
        WriteResults(f.console);
        ASSERT_EQ(f.dialogs.shown.size(), 1u) << k.path;
        const auto& box = f.dialogs.shown[0];
        EXPECT_EQ(box.text.rfind("走行結果を書き込めませんでした。\n" + k.path + "\n", 0), 0u)
            << box.text;
        EXPECT_EQ(box.buttons, MessageButtons::Ok);
        EXPECT_EQ(box.icon, MessageIcon::Critical);
    }
    EXPECT_EQ(ReadBytes(readOnly), "keep");
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

}  // namespace
}  // namespace velmora::test
