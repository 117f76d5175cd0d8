#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "analysis/lap_export.h"
#include "analysis/rule_table.h"
#include "core/tick_clock.h"
#include "fakes/fakes.h"
#include "lap_rows.h"
#include "results/results_file.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::FillLaps;

const ClockParams kMs = DeriveClockParams("1/1000", 10);
const ClockParams kCs = DeriveClockParams("1/100", 10);
const std::string kLapHeader =
    "\xEF\xBB\xBF車輌,車輌名,周回,タイム,タイム(ms),ドライバ,備考,送信メッセージ,受信メッセージ,"
    "記録日時"
    "\r\n";
const std::string kTotalsHeader = "\r\n車輌,車輌名,ドライバ,周回数,走行時間,走行時間(ms)\r\n";
const std::string kStintsHeader =
    "\r\n車輌,車輌名,区分,ドライバ,周,開始,開始(ms),時間,時間(ms),備考\r\n";

void SetUpSlot(ConsoleState& st, int slot, const std::string& car) {
    PanelState& p = st.panels[slot];
    p.Lbl_IP.caption = "127.0.0.1";
    p.Frm_Runner.caption = slot == 0 ? "１号車" : slot == 1 ? "２号車" : "３号車";
    if (!car.empty()) {
        p.Cmb_Car.AddItem(car + "\t40\t12.5");
        p.Cmb_Car.Select(0);
    }
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(BuildLapExportText, LapsThenDriverTotalsForEverySetUpCar) {
    ConsoleState st;
    SetUpSlot(st, 0, "スイフト");
    SetUpSlot(st, 2, "Car, \"R\"");
    // Slot 1 is not set up: nothing of it is written.
    FillLaps(st.panels[1].Spd_LapTime, {{"50000", "X"}});
    // Drivers alternating; a correction added rows 3 and 4 (row 4 then got a typed time);
    // remarks and messages with commas, quotes, line ends and CP932-only characters.
    FillLaps(st.panels[0].Spd_LapTime,
             {{"62001", "山田", "①Ⅰ～", "ＢＯＸ, 給油, OK", "9", "2026/12/07 14:05:09"},
              {"61000", "佐藤", "\"速い\"", " [ pit, now ] , ", "14", "2026/12/07 14:06:10"},
              {"", "", "skipped: no time"},
              {"64000", "", "センサー\r\n不調", "", "", ""},
              {"", ""}});
    st.panels[0].Spd_LapTime.SetCell(3, 1, " ");  // only blanks: no time text
    FillLaps(st.panels[2].Spd_LapTime, {{"70000", "B", "", ", ", "0", "2026/12/08 00:00:01"}});
    // Section 3 is the stint table as the engine left it: a change at a stop too short.
    RuleReport rules;
    rules.stints = {{"山田", 1, 1, 1, 0, 62001, 62001, 62001, false},
                    {"=佐藤", 2, 2, 1, 62001, 123001, 61000, 61000, true}};
    rules.stops = {{1, 62001, 92001, 30000, false, true}};
    rules.changes = {{"山田", "=佐藤", 1, 62001, false}};
    rules.breaches = {{BreachKind::StopTooShort, 1, 92001, "", 30000, 60000, false}};
    FillStintTable(st.panels[0].Spd_Stints, rules);

    const std::string want =
        kLapHeader +
        "１号車,スイフト,1,\"1'02\"\"001\",62001,山田,①Ⅰ～,ＢＯＸ,\"給油, OK\",2026/12/07 "
        "14:05:09\r\n"
        "１号車,スイフト,2,\"1'01\"\"000\",61000,佐藤,\"\"\"速い\"\"\",\" [ pit, now ] \",,"
        "2026/12/07 14:06:10\r\n"
        "１号車,スイフト,4,\"1'04\"\"000\",64000,,\"センサー\r\n不調\",,,\r\n"
        "３号車,\"Car, \"\"R\"\"\",1,\"1'10\"\"000\",70000,B,,,,2026/12/08 00:00:01\r\n" +
        kTotalsHeader +
        "１号車,スイフト,山田,1,0:01:02.001,62001\r\n"
        "１号車,スイフト,佐藤,1,0:01:01.000,61000\r\n"
        "１号車,スイフト,,1,0:01:04.000,64000\r\n"
        "３号車,\"Car, \"\"R\"\"\",B,1,0:01:10.000,70000\r\n" +
        kStintsHeader +
        "１号車,スイフト,走行,山田,1,0:00:00.000,0,0:01:02.001,62001,\r\n"
        "１号車,スイフト,停止,山田→=佐藤,1,0:01:02.001,62001,0:00:30.000,30000,交代\r\n"
        "１号車,スイフト,走行,'=佐藤,2,0:01:02.001,62001,0:01:01.000,61000,走行中\r\n"
        "１号車,スイフト,違反,,1,0:01:32.001,92001,0:00:30.000,30000,"
        "ピット停止時間不足 規定0:01:00\r\n";
    EXPECT_EQ(BuildLapExportText(st, kMs), want);
}

TEST(BuildLapExportText, MillisecondsFollowThePrecisionAndLapsPast999Count) {
    struct Case {
        const char* what;
        const ClockParams* clock;
        std::vector<test::LapRow> rows;
        std::string laps, totals;
    };
    const Case cases[] = {
        {"1/100: ticks of 10 ms",
         &kCs,
         {{"8345", "A"}},
         "１号車,,1,\"0'08\"\"345\",83450,A,,,,\r\n",
         "１号車,,A,1,0:01:23.45,83450\r\n"},
        {"a typed fraction of a tick rounds half to even",
         &kMs,
         {{"61000.5", "A"}, {"61001.5", "A"}},
         "１号車,,1,,61000,A,,,,\r\n１号車,,2,,61002,A,,,,\r\n",
         "１号車,,A,2,0:02:02.002,122002\r\n"},
        {"no set-up car laps: the headers alone", &kMs, {}, "", ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        ConsoleState st;
        SetUpSlot(st, 0, "");
        FillLaps(st.panels[0].Spd_LapTime, k.rows);
        EXPECT_EQ(BuildLapExportText(st, *k.clock),
                  kLapHeader + k.laps + kTotalsHeader + k.totals + kStintsHeader);
    }

    ConsoleState st;
    SetUpSlot(st, 0, "スイフト");
    FillLaps(st.panels[0].Spd_LapTime, test::ManyLaps(1001, 500, {"A", "B"}));
    st.panels[0].Spd_LapTime.SetCell(1001, 1, "1'00\"000");
    st.panels[0].Spd_LapTime.SetCell(1001, 4, "60000.5");  // typed with a fraction
    const std::string text = BuildLapExportText(st, kMs);
    EXPECT_NE(text.find("\r\n１号車,スイフト,1000,\"1'00\"\"000\",60000,B,,,,\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\r\n１号車,スイフト,1001,\"1'00\"\"000\",60000,A"), std::string::npos)
        << "drivers: A for laps 1-500, B for 501-1000, then A again";
}

TEST(BuildLapExportText, TextThatASpreadsheetWouldRunStaysTextNumbersAndTimesAsTheyAre) {
    ConsoleState st;
    SetUpSlot(st, 0, "=HYPERLINK(\"http://x\")");
    // A driver, a remark, a message sent and one received (from the car's datagram), each
    // starting the way a formula does; a lap typed as a negative time.
    FillLaps(st.panels[0].Spd_LapTime,
             {{"61000", "+driver", "-1+2", "@SUM(A1), =2+3", "8", "2026/12/07 14:05:09"},
              {"-500", "+driver", "\r=1", ", \t=cmd|' /C calc'!A0", "0", ""}});
    st.panels[0].Spd_LapTime.SetCell(2, 1, "-0'00\"500");
    const std::string car = "１号車,\"'=HYPERLINK(\"\"http://x\"\")\",";
    const std::string want = kLapHeader + car +
                             "1,\"1'01\"\"000\",61000,'+driver,'-1+2,'@SUM(A1),'=2+3,"
                             "2026/12/07 14:05:09\r\n" +
                             car +
                             "2,\"-0'00\"\"500\",-500,'+driver,\"'\r=1\",,'\t=cmd|' /C "
                             "calc'!A0,\r\n" +
                             kTotalsHeader + car + "'+driver,2,0:01:00.500,60500\r\n" +
                             kStintsHeader;
    EXPECT_EQ(BuildLapExportText(st, kMs), want);
    // The results file, whose layout is fixed, keeps every text as it is.
    const std::string results = BuildResultsText(st);
    EXPECT_NE(results.find("\r\n車輌名:=HYPERLINK(\"http://x\")\r\n"), std::string::npos);
    EXPECT_NE(results.find("\r\n1,1'01\"000,+driver,-1+2,@SUM(A1), =2+3\r\n"), std::string::npos)
        << results;
}

TEST(ExportLaps, WritesTheChosenFileAndReportsAFailureLikeTheResultsFile) {
    test::FakeConsole f;
    SetUpSlot(f.st(), 0, "スイフト");
    FillLaps(f.panel(0).Spd_LapTime, {{"61000", "山田"}});
    const fs::path dir =
        fs::temp_directory_path() / ("velmora_export_" + std::to_string(::getpid()));
    fs::create_directories(dir);

    // Cancelled: nothing written, nothing said.
    ExportLaps(f.console);
    EXPECT_EQ(f.dialogs.lastSaveTitle, "CSV出力");
    EXPECT_EQ(f.dialogs.lastSaveFilter, "CSVファイル (*.csv)|*.csv|全てのファイル (*.*)|*.*");
    EXPECT_TRUE(fs::is_empty(dir));

    const fs::path file = dir / "laps.csv";
    f.dialogs.savePaths.push_back(file.string());
    ExportLaps(f.console);
    EXPECT_TRUE(f.dialogs.shown.empty());
    EXPECT_EQ(ReadBytes(file), BuildLapExportText(f.st(), f.console.clock));

    // A folder that does not exist: the same message as a results file that cannot be written.
    const std::string missing = (dir / "nowhere" / "laps.csv").string();
    f.dialogs.savePaths.push_back(missing);
    ExportLaps(f.console);
    ASSERT_EQ(f.dialogs.shown.size(), 1u);
    test::FakeConsole results;
    results.dialogs.savePaths.push_back(missing);
    WriteResults(results.console);
    ASSERT_EQ(results.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.dialogs.shown[0].text, results.dialogs.shown[0].text);
    EXPECT_EQ(f.dialogs.shown[0].text.rfind("走行結果を書き込めませんでした。\n" + missing, 0), 0u);
    EXPECT_EQ(f.dialogs.shown[0].icon, MessageIcon::Critical);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace velmora
