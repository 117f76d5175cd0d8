#include "core/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/encoding.h"
#include "core/profile_file.h"
#include "core/tick_clock.h"
#include "temp_folder.h"

namespace velmora::test {
namespace {

// The file a first run writes, as CP932 bytes made outside this code base.
std::string FirstRunFixture() {
    const char* data = std::getenv("VELMORA_TEST_DATA");
    if (data == nullptr) {
        ADD_FAILURE() << "VELMORA_TEST_DATA is not set";
        return {};
    }
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(std::string(data) + "/core/velmora_first_run.ini", bytes));
    return bytes;
}

// The first-run file with one line's value replaced (UTF-8 in, CP932 out).
std::string FileWith(std::string_view key, std::string_view value) {
    std::string text = Cp932ToUtf8(FirstRunFixture());
    const std::size_t at = text.find(std::string(key) + "=");
    const std::size_t from = at + key.size() + 1;
    text.replace(from, text.find("\r\n", from) - from, value);
    return Utf8ToCp932(text);
}

struct SettingsFixture {
    TempFolder dir;
    std::string path = dir.File("Velmora.ini");
    void Put(std::string_view bytes) const { ASSERT_TRUE(WriteFileAtomically(path, bytes)); }
    std::string Bytes() const { return Slurp(path); }
};

void ExpectDefaults(const MeasureSettings& s) {
    const MeasureSettings d;
    EXPECT_EQ(s.Precision, "1/1000");
    EXPECT_EQ(s.SilenceSeconds, 10);
    EXPECT_EQ(s.AutoMessage3, "あと３周でピットインです。");
    EXPECT_EQ(s.AutoMessage2, "あと２周でピットインです。");
    EXPECT_EQ(s.AutoMessage1, "次の周でピットインしてください。");
    EXPECT_EQ(s.AutoMessage0, "はよピットインせんかい！");
    EXPECT_EQ(s.DefaultCountdownLaps, 10);
    EXPECT_EQ(d.AutoMessage0, s.AutoMessage0);
}

TEST(Settings, AFirstRunCreatesTheCompleteFile) {
    SettingsFixture f;
    ExpectDefaults(LoadMeasureSettings(f.path));
    const std::string fixture = FirstRunFixture();
    ASSERT_EQ(fixture.size(), 339u);
    EXPECT_EQ(f.Bytes(), fixture);
    EXPECT_EQ(f.dir.Entries(), std::vector<std::string>{"Velmora.ini"});

    // The next start finds every key and changes nothing.
    ExpectDefaults(LoadMeasureSettings(f.path));
    EXPECT_EQ(f.Bytes(), fixture);
}

TEST(Settings, MissingOrEmptyKeysTakeTheirDefaultsAndAreWrittenBack) {
    SettingsFixture f;
    f.Put(FileWith("残り２周の自動メッセージ", ""));
    const MeasureSettings s = LoadMeasureSettings(f.path);
    EXPECT_EQ(s.AutoMessage2, "あと２周でピットインです。");
    EXPECT_EQ(f.Bytes(), FirstRunFixture());

    // A partial file: the missing keys go after the last line of their section.
    f.Put(
        Utf8ToCp932("; hand-made\r\n[計測環境設定]\r\n計測精度=1/100\r\n\r\n"
                    "[自動メッセージ設定]\r\n残り１周の自動メッセージ=そろそろ,ピット\r\n"));
    const MeasureSettings p = LoadMeasureSettings(f.path);
    EXPECT_EQ(p.Precision, "1/100");
    EXPECT_EQ(p.AutoMessage1, "そろそろ,ピット");  // a comma typed by hand stays
    EXPECT_EQ(Cp932ToUtf8(f.Bytes()),
              "; hand-made\r\n[計測環境設定]\r\n計測精度=1/100\r\n"
              "ラップ加算無通信秒数= 10\r\n\r\n"
              "[自動メッセージ設定]\r\n"
              "残り１周の自動メッセージ=そろそろ,ピット\r\n"
              "残り３周の自動メッセージ=あと３周でピットインです。\r\n"
              "残り２周の自動メッセージ=あと２周でピットインです。\r\n"
              "残りが無くなった時の自動メッセージ=はよピットインせんかい！\r\n"
              "チェック時のデフォルト周数= 10\r\n");
}

TEST(Settings, PrecisionTextIsKeptAndOnlyExactlyOneThousandthIsFine) {
    struct Case {
        std::string stored;
        std::int32_t ticksPerSecond, tickToMs, silenceTicks;
        std::string fraction;
    };
    const std::vector<Case> cases = {
        {"1/1000", 1000, 1, 10000, "000"},
        {"1/100", 100, 10, 1000, "00"},
        {"abc", 100, 10, 1000, "00"},
        {"1/1000x", 100, 10, 1000, "00"},
    };
    for (const auto& c : cases) {
        SettingsFixture f;
        const std::string file = FileWith("計測精度", c.stored);
        f.Put(file);
        const MeasureSettings s = LoadMeasureSettings(f.path);
        EXPECT_EQ(s.Precision, c.stored);
        const ClockParams clock = DeriveClockParams(s.Precision, s.SilenceSeconds);
        EXPECT_EQ(clock.TicksPerSecond, c.ticksPerSecond) << c.stored;
        EXPECT_EQ(clock.TickToMs, c.tickToMs) << c.stored;
        EXPECT_EQ(clock.SilenceTicks, c.silenceTicks) << c.stored;
        EXPECT_EQ(clock.FractionFormat, c.fraction) << c.stored;
        EXPECT_EQ(f.Bytes(), file) << c.stored;
    }
}

TEST(Settings, SilenceSecondsOutsideOneToNinetyNineGiveTenWithoutWriteBack) {
    struct Case {
        std::string stored;
        std::int16_t seconds;
    };
    const std::vector<Case> cases = {
        {"0", 10},  {"100", 10}, {"10.5", 10}, {"10.6", 11},        {"12abc", 12}, {"abc", 10},
        {"-5", 10}, {"1", 1},    {"99", 99},   {"99.5", 10},        {"0.5", 10},   {"1.5", 2},
        {" 7 ", 7}, {"1e3", 1},  {"３", 10},   {"99999999999", 10},
    };
    for (const auto& c : cases) {
        SettingsFixture f;
        const std::string file = FileWith("ラップ加算無通信秒数", c.stored);
        f.Put(file);
        EXPECT_EQ(LoadMeasureSettings(f.path).SilenceSeconds, c.seconds) << c.stored;
        EXPECT_EQ(f.Bytes(), file) << c.stored;  // the file keeps its text
    }
}

TEST(Settings, DefaultLapsAreRoundedAndATextWithoutNumberGivesTen) {
    struct Case {
        std::string stored;
        std::int32_t laps;
    };
    const std::vector<Case> cases = {
        {"5", 5},      {"12.5", 12}, {"13.5", 14}, {"-5", -5}, {"abc", 10},
        {"7 laps", 7}, {"0", 0},     {"-", 10},    {".", 10},  {"+3", 3},
    };
    for (const auto& c : cases) {
        SettingsFixture f;
        const std::string file = FileWith("チェック時のデフォルト周数", c.stored);
        f.Put(file);
        EXPECT_EQ(LoadMeasureSettings(f.path).DefaultCountdownLaps, c.laps) << c.stored;
        EXPECT_EQ(f.Bytes(), file) << c.stored;
    }
}

TEST(Settings, ALongMessageIsCutAtTheReadBuffer) {
    SettingsFixture f;
    std::string message;
    for (int i = 0; i < 600; ++i) message += "xあ";
    f.Put(FileWith("残り３周の自動メッセージ", message));
    const MeasureSettings s = LoadMeasureSettings(f.path);
    EXPECT_EQ(Utf8ToCp932(s.AutoMessage3).size(), 1023u);
    EXPECT_EQ(s.AutoMessage3, message.substr(0, 341 * 4));  // 341 pairs of x + あ
}

TEST(Settings, SaveWritesAllSevenKeysAndLeavesOtherLinesAlone) {
    SettingsFixture f;
    const std::string extra = Utf8ToCp932("[メモ]\r\n担当=山田\r\n\r\n");
    f.Put(extra + FirstRunFixture());
    MeasureSettings s;
    s.Precision = "1/100";
    s.SilenceSeconds = 25;
    s.AutoMessage3 = "残り3";
    s.AutoMessage2 = "残り2";
    s.AutoMessage1 = "残り1";
    s.AutoMessage0 = "";
    s.DefaultCountdownLaps = -5;
    EXPECT_TRUE(SaveMeasureSettings(f.path, s));
    EXPECT_EQ(Cp932ToUtf8(f.Bytes()),
              "[メモ]\r\n担当=山田\r\n\r\n"
              "[計測環境設定]\r\n計測精度=1/100\r\nラップ加算無通信秒数= 25\r\n"
              "[自動メッセージ設定]\r\n"
              "残り３周の自動メッセージ=残り3\r\n残り２周の自動メッセージ=残り2\r\n"
              "残り１周の自動メッセージ=残り1\r\n残りが無くなった時の自動メッセージ=\r\n"
              "チェック時のデフォルト周数=-5\r\n");

    // Reading it back: the emptied message returns as its default and is written again.
    const MeasureSettings r = LoadMeasureSettings(f.path);
    EXPECT_EQ(r.Precision, "1/100");
    EXPECT_EQ(r.SilenceSeconds, 25);
    EXPECT_EQ(r.AutoMessage3, "残り3");
    EXPECT_EQ(r.AutoMessage0, "はよピットインせんかい！");
    EXPECT_EQ(r.DefaultCountdownLaps, -5);
    EXPECT_EQ(
        ProfileFile(f.path).Read("自動メッセージ設定", "残りが無くなった時の自動メッセージ").text,
        "はよピットインせんかい！");
}

TEST(Settings, SaveIntoAnEmptyFolderGivesTheFirstRunFile) {
    SettingsFixture f;
    EXPECT_TRUE(SaveMeasureSettings(f.path, MeasureSettings{}));
    EXPECT_EQ(f.Bytes(), FirstRunFixture());
}

TEST(Settings, AnUnwritablePlaceIsNotAnError) {
    TempFolder dir;
    const std::string nowhere = dir.File("missing/Velmora.ini");
    ExpectDefaults(LoadMeasureSettings(nowhere));
    EXPECT_FALSE(SaveMeasureSettings(nowhere, MeasureSettings{}));

    // A folder where the file should be: defaults in memory, the folder stays as it was.
    std::filesystem::create_directory(dir.File("Velmora.ini"));
    ExpectDefaults(LoadMeasureSettings(dir.File("Velmora.ini")));
    EXPECT_FALSE(SaveMeasureSettings(dir.File("Velmora.ini"), MeasureSettings{}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("Velmora.ini")));
}

TEST(Settings, AGarbageFileGivesDefaultsAndKeepsItsBytes) {
    SettingsFixture f;
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 37 + 11) % 256);
    f.Put(junk);
    const MeasureSettings s = LoadMeasureSettings(f.path);
    EXPECT_EQ(s.SilenceSeconds, 10);
    const std::string after = f.Bytes();
    EXPECT_EQ(after.compare(0, junk.size(), junk), 0);
    EXPECT_GT(after.size(), junk.size());
}

}  // namespace
}  // namespace velmora::test
