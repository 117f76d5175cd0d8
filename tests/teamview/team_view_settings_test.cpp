#include "teamview/team_view_settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/atomic_file.h"
#include "core/encoding.h"
#include "core/settings.h"
#include "core/temp_folder.h"

namespace velmora::test {
namespace {

constexpr const char* kKey = "AAECAwQFBgcICQoLDA0ODw";

TEST(TeamViewSettings, AFirstRunFileKeepsItsSevenKeysUntilTheViewIsTurnedOn) {
    TempFolder dir;
    const std::string path = dir.File("Velmora.ini");
    LoadMeasureSettings(path);
    const std::string firstRun = Slurp(path);

    const TeamViewSettings none = LoadTeamViewSettings(path);
    EXPECT_EQ(none.port, 8780);
    EXPECT_EQ(none.key, "");
    EXPECT_FALSE(none.on);
    EXPECT_EQ(Slurp(path), firstRun);  // reading wrote nothing
    EXPECT_FALSE(LoadTeamViewSettings(dir.File("missing.ini")).on);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.ini")));

    ASSERT_TRUE(SaveTeamViewSettings(path, {8781, kKey, true}));
    EXPECT_EQ(Slurp(path), firstRun + Utf8ToCp932("[チームビュー]\r\nポート=8781\r\nキー=" +
                                                  std::string(kKey) + "\r\n公開=1\r\n"));
    const TeamViewSettings back = LoadTeamViewSettings(path);
    EXPECT_EQ(back.port, 8781);
    EXPECT_EQ(back.key, kKey);
    EXPECT_TRUE(back.on);

    // Off again: the same three lines change in place; the settings dialog leaves them alone.
    ASSERT_TRUE(SaveTeamViewSettings(path, {8781, kKey, false}));
    ASSERT_TRUE(SaveMeasureSettings(path, LoadMeasureSettings(path)));
    EXPECT_EQ(Slurp(path), firstRun + Utf8ToCp932("[チームビュー]\r\nポート=8781\r\nキー=" +
                                                  std::string(kKey) + "\r\n公開=0\r\n"));
}

TEST(TeamViewSettings, UnusableValuesReadAsTheDefaults) {
    struct Case {
        const char* port;
        const char* key;
        const char* on;
        std::uint16_t wantPort;
        bool keyKept, wantOn;
    } cases[] = {
        {"8790", kKey, "1", 8790, true, true},
        {" 8790 ", kKey, " 1 ", 8790, true, true},
        {"0", "short", "yes", 8780, false, false},
        {"65536", "AAECAwQFBgcICQoLDA0ODx", "2", 8780, false, false},
        {"80.5", "", "0", 8780, false, false},
        {"-1", "AAECAwQFBgcICQoLDA0OD+", "", 8780, false, false},
        {"abc", kKey, "1", 8780, true, true},
        {"65535", kKey, "1", 65535, true, true},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        const std::string path = dir.File("Velmora.ini");
        ASSERT_TRUE(WriteFileAtomically(
            path, Utf8ToCp932(std::string("[チームビュー]\r\nポート=") + c.port +
                              "\r\nキー=" + c.key + "\r\n公開=" + c.on + "\r\n")));
        const TeamViewSettings s = LoadTeamViewSettings(path);
        EXPECT_EQ(s.port, c.wantPort) << c.port;
        EXPECT_EQ(s.key, c.keyKept ? std::string(c.key) : "") << c.key;
        EXPECT_EQ(s.on, c.wantOn) << c.on;
    }
}

}  // namespace
}  // namespace velmora::test
