#include "core/profile_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/encoding.h"
#include "temp_folder.h"

namespace velmora::test {
namespace {

// A profile file with the given CP932 bytes in a folder of its own.
struct ProfileFixture {
    TempFolder dir;
    std::string path = dir.File("Velmora.ini");
    explicit ProfileFixture(std::string_view bytes = {}) {
        if (!bytes.empty()) WriteFileAtomically(path, bytes);
    }
    ProfileFile Open() const { return ProfileFile(path); }
};

TEST(ProfileRead, FindsValuesTheWayTheProfileFunctionsDo) {
    const std::string file =
        "top=before any section\r\n"
        "[Env]\r\n"
        "  Key One  =   spaced value \t \r\n"
        "quoted=\"  in quotes  \"\r\n"
        "single='x'\r\n"
        "half=\"open\r\n"
        "mixed=\"a'\r\n"
        "lone=\"\r\n"
        "empty=\r\n"
        "blanks=    \r\n"
        "noequals\r\n"
        "eq=a=b\r\n"
        "dup=first\r\n"
        "dup=second\r\n"
        "; comment=not special\r\n"
        " [ Other ] \n"
        "key one=other section\n"
        "[env]\r\n"
        "late=second Env section\r\n";
    ProfileFixture f(file);
    const ProfileFile p = f.Open();
    struct Case {
        std::string section, key, text;
        int count;
    };
    const std::vector<Case> cases = {
        {"Env", "Key One", "spaced value", 12},
        {"ENV", "key one", "spaced value", 12},  // ASCII letters match in either case
        {" Env ", " Key One ", "spaced value", 12},
        {"Env", "quoted", "  in quotes  ", 13},
        {"Env", "single", "x", 1},
        {"Env", "half", "\"open", 5},
        {"Env", "mixed", "\"a'", 3},
        {"Env", "lone", "\"", 1},
        {"Env", "empty", "", 0},
        {"Env", "blanks", "", 0},
        {"Env", "noequals", "", 0},
        {"Env", "eq", "a=b", 3},
        {"Env", "dup", "first", 5},
        {"Env", "; comment", "not special", 11},
        {"Other", "Key One", "other section", 13},
        {"Env", "late", "", 0},  // only the first section of a name counts
        {"Env", "top", "", 0},
        {"Env", "missing", "", 0},
        {"Missing", "Key One", "", 0},
        {"Env", "", "", 0},
    };
    for (const auto& c : cases) {
        const ProfileValue v = p.Read(c.section, c.key);
        EXPECT_EQ(v.text, c.text) << c.section << "/" << c.key;
        EXPECT_EQ(v.count, c.count) << c.section << "/" << c.key;
    }
}

TEST(ProfileRead, ComparesDoubleByteCharactersExactly) {
    // ア is 83 41 and ヂ is 83 61: folding the trail byte as a letter would confuse them.
    // 表 is 95 5C and ‐ is 81 5D: trail bytes that look like '\' and ']'.
    ProfileFixture f(
        "[\x83\x41]\r\nk=a\r\n"
        "[\x83\x61]\r\nk=di\r\n"
        "[\x95\x5C]\r\n\x83\x41=A\r\n\x83\x61=DI\r\n"
        "[\x81\x5D\r\n"  // no closing bracket: not a section header
        "k=still hyou\r\n");
    const ProfileFile p = f.Open();
    EXPECT_EQ(p.Read("ア", "k").text, "a");
    EXPECT_EQ(p.Read("ヂ", "k").text, "di");
    EXPECT_EQ(p.Read("表", "ア").text, "A");
    EXPECT_EQ(p.Read("表", "ヂ").text, "DI");
    EXPECT_EQ(p.Read("表", "k").text, "still hyou");
    EXPECT_EQ(p.Read("‐", "k").count, 0);
}

TEST(ProfileRead, DecodesCp932AndCutsLongValuesAtWholeCharacters) {
    const std::string a1500(1500, 'a');
    const std::string a1022(1022, 'a');
    const std::string a1021(1021, 'a');
    ProfileFixture f("[s]\r\nlong=" + a1500 + "\r\nstraddle=" + a1022 + "\x82\xA0tail\r\n" +
                     "fits=" + a1021 + "\x82\xA0tail\r\n" + "jp=\x8C\x76\x91\xAA\r\n" +
                     "bad=\x80\xFD\r\n" + std::string("nul=ab\0cd\r\n", 11));
    const ProfileFile p = f.Open();
    EXPECT_EQ(p.Read("s", "long").count, 1023);
    EXPECT_EQ(p.Read("s", "long").text, std::string(1023, 'a'));
    EXPECT_EQ(p.Read("s", "straddle").count, 1022);  // あ would need bytes 1023 and 1024
    EXPECT_EQ(p.Read("s", "straddle").text, a1022);
    EXPECT_EQ(p.Read("s", "fits").count, 1023);
    EXPECT_EQ(p.Read("s", "fits").text, a1021 + "あ");
    EXPECT_EQ(p.Read("s", "jp").text, "計測");
    EXPECT_EQ(p.Read("s", "jp").count, 4);
    EXPECT_EQ(p.Read("s", "bad").text, "\uFFFD\uFFFD");
    EXPECT_EQ(p.Read("s", "nul").text, "ab");  // the text ends at its first NUL
}

TEST(ProfileWrite, ChangesOnlyWhatItMust) {
    struct Case {
        const char* name;
        std::string before;
        std::string section, key, value;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"replaces the value only", "; note\r\n[s]\r\nKey = old value \r\nz=1\r\n", "S", "key",
         "new", "; note\r\n[s]\r\nKey =new\r\nz=1\r\n"},
        {"keeps LF line ends", "[s]\nk=1\n\n[t]\nk=2\n", "t", "k", " 3", "[s]\nk=1\n\n[t]\nk= 3\n"},
        {"adds a key after the section's last non-blank line", "[s]\r\na=1\r\n\r\n\r\n[t]\r\n", "s",
         "b", "2", "[s]\r\na=1\r\nb=2\r\n\r\n\r\n[t]\r\n"},
        {"adds a key to a section with no keys", "[s]\n\n[t]\n", "s", "b", "2",
         "[s]\nb=2\r\n\n[t]\n"},
        {"adds a key at the end of the file", "[s]\r\na=1\r\n", "s", "b", "2",
         "[s]\r\na=1\r\nb=2\r\n"},
        {"ends an unterminated last line before adding", "[s]\r\na=1", "s", "b", "2",
         "[s]\r\na=1\r\nb=2\r\n"},
        {"appends a missing section", "[s]\r\na=1\r\n", "t", "b", "2",
         "[s]\r\na=1\r\n[t]\r\nb=2\r\n"},
        {"appends after an unterminated last line", "[s]\na=1", "t", "b", "2",
         "[s]\na=1\r\n[t]\r\nb=2\r\n"},
        {"creates the file's first line", "", "s", "b", "2", "[s]\r\nb=2\r\n"},
        {"gives a key without '=' its value", "[s]\r\nflag\r\n", "s", "flag", "on",
         "[s]\r\nflag=on\r\n"},
        {"writes an empty value", "[s]\r\nk=v\r\n", "s", "k", "", "[s]\r\nk=\r\n"},
        {"keeps line breaks out of the file", "", "s", "k", "a\r\n[x]\nb", "[s]\r\nk=a  [x] b\r\n"},
        {"writes only the first of duplicate keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "3",
         "[s]\r\nk=3\r\nk=2\r\n"},
    };
    for (const auto& c : cases) {
        ProfileFile p = ProfileFixture(c.before).Open();
        p.Write(c.section, c.key, c.value);
        EXPECT_EQ(p.Bytes(), c.after) << c.name;
        EXPECT_TRUE(p.Modified()) << c.name;
    }
}

TEST(ProfileWrite, LeavesOtherCp932TextAndGarbageAlone) {
    const std::string before =
        "[\x8C\x76\x91\xAA]\r\n"     // [計測]
        "\x83\x41=\x95\x5C\x5C\r\n"  // ア=表\ (a trail byte and a real backslash)
        "raw=\x80\xFD\xA0\x82\r\n"   // bytes that are no CP932 at all
        "\r\n"
        "[other]\n"
        "x=\x82\xA0\n";
    ProfileFixture f(before);
    ProfileFile p = f.Open();
    p.Write("計測", "新", "値");
    ASSERT_TRUE(p.Save());
    const std::string expected =
        "[\x8C\x76\x91\xAA]\r\n"
        "\x83\x41=\x95\x5C\x5C\r\n"
        "raw=\x80\xFD\xA0\x82\r\n"
        "\x90\x56=\x92\x6C\r\n"
        "\r\n"
        "[other]\n"
        "x=\x82\xA0\n";
    EXPECT_EQ(Slurp(f.path), expected);
    EXPECT_EQ(ProfileFile(f.path).Read("計測", "新").text, "値");
}

TEST(ProfileFile, SurvivesBinaryGarbage) {
    std::mt19937 rng(1023);
    std::string junk(64 * 1024, '\0');
    for (char& c : junk) c = static_cast<char>(rng() % 4 == 0 ? "[]=\n"[rng() % 4] : rng());
    ProfileFixture f(junk);
    ProfileFile p = f.Open();
    (void)p.Read("s", "k");
    (void)p.Read("\x01", "");
    p.Write("計測環境設定", "計測精度", "1/1000");
    EXPECT_EQ(p.Read("計測環境設定", "計測精度").text, "1/1000");
    EXPECT_EQ(p.Bytes().compare(0, junk.size(), junk), 0);  // the garbage itself is kept
    EXPECT_TRUE(p.Save());
}

TEST(ProfileFile, HandlesLargeFiles) {
    std::string big = "[s]\r\n";
    for (int i = 0; i < 100000; ++i)
        big += "key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    big += "[t]\r\nhuge=" + std::string(4 * 1024 * 1024, 'h') + "\r\n";
    ProfileFixture f(big);
    ProfileFile p = f.Open();
    EXPECT_EQ(p.Read("s", "key99999").text, "99999");
    EXPECT_EQ(p.Read("t", "huge").count, 1023);
    p.Write("s", "added", "1");
    p.Write("t", "huge", "small");
    EXPECT_EQ(p.Read("s", "added").text, "1");
    EXPECT_EQ(p.Read("t", "huge").text, "small");
    ASSERT_TRUE(p.Save());
    const std::string after = Slurp(f.path);
    const std::string tail = "key99999=99999\r\nadded=1\r\n[t]\r\nhuge=small\r\n";
    ASSERT_GT(after.size(), tail.size());
    EXPECT_EQ(after.substr(after.size() - tail.size()), tail);
    EXPECT_EQ(after.size(), big.size() + 9 - (4 * 1024 * 1024 - 5));
}

TEST(ProfileFile, SavesOnlyWhenChangedAndNeverOverAnUnreadableFile) {
    ProfileFixture f;
    ProfileFile untouched = f.Open();
    EXPECT_EQ(untouched.Read("s", "k").count, 0);
    EXPECT_TRUE(untouched.Save());
    EXPECT_FALSE(std::filesystem::exists(f.path));  // reading alone creates no file

    // A path that exists but cannot be read as a file is never replaced.
    std::filesystem::create_directory(f.path);
    ProfileFile folder = f.Open();
    folder.Write("s", "k", "v");
    std::string error;
    EXPECT_FALSE(folder.Save(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(f.path));

    EXPECT_FALSE(WriteProfileValue(f.dir.File("no/such/folder.ini"), "s", "k", "v"));
}

TEST(ProfileFile, SingleCallsReadAndWriteTheFile) {
    ProfileFixture f;
    EXPECT_TRUE(WriteProfileValue(f.path, "計測環境設定", "計測精度", "1/100"));
    EXPECT_TRUE(WriteProfileValue(f.path, "計測環境設定", "計測精度", "1/1000"));
    EXPECT_EQ(Slurp(f.path), Utf8ToCp932("[計測環境設定]\r\n計測精度=1/1000\r\n"));
    const ProfileValue v = ReadProfileValue(f.path, "計測環境設定", "計測精度");
    EXPECT_EQ(v.text, "1/1000");
    EXPECT_EQ(v.count, 6);
    EXPECT_EQ(ReadProfileValue(f.dir.File("none.ini"), "a", "b").count, 0);
}

}  // namespace
}  // namespace velmora::test
