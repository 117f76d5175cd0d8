// What a start finds at the journal's path, setting a journal aside, and rows that cannot be
// read back: reported, never guessed.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "journal/journal_file.h"
#include "journal_rig.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A journal of one set-up slot with one lap, left as a killed program leaves it: a child
// process writes it and ends without closing anything.
void MakeUnfinished(const std::string& path) {
    const pid_t child = ::fork();
    if (child == 0) {
        auto* rig = new JournalRig(path);  // never destroyed: the program is "killed"
        rig->PrepareRace();
        rig->Start();
        rig->DriveLaps(0, 1, 1000, 31'000);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(JournalFile, WhatAStartFinds) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        JournalFound found;
        const char* reason;  // part of the reason, for Unreadable
    };
    const Case cases[] = {
        {"nothing", [](const std::string&) {}, JournalFound::None, ""},
        {"a folder in its place", [](const std::string& p) { fs::create_directory(p); },
         JournalFound::None, ""},
        {"an unfinished race", MakeUnfinished, JournalFound::Unfinished, ""},
        {"a finished race",
         [](const std::string& p) {
             JournalRig rig(p);
             rig.PrepareRace();
             rig.journal->Finish();
         },
         JournalFound::Finished, ""},
        {"garbage", [](const std::string& p) { WriteBytes(p, std::string(5000, 'x')); },
         JournalFound::Unreadable, "not a database"},
        {"another program's database",
         [](const std::string& p) {
             SqliteDb db;
             db.Open(p, true);
             db.Exec("CREATE TABLE t (x); INSERT INTO t VALUES (1);");
         },
         JournalFound::Unreadable, "not a Velmora journal"},
        {"another version",
         [](const std::string& p) {
             MakeUnfinished(p);
             SqliteDb db;
             db.Open(p, false);
             db.Exec("PRAGMA user_version=3");
         },
         JournalFound::Unreadable, "journal version 3"},
        {"a damaged page",
         [](const std::string& p) {
             MakeUnfinished(p);
             {
                 SqliteDb db;  // everything into the main file, then break a b-tree page
                 db.Open(p, false);
                 db.Exec("PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode=DELETE;");
             }
             std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(4096 + 8);
             f.write("\xff\xff\xff\xff\xff\xff\xff\xff", 8);
         },
         JournalFound::Unreadable, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        const std::string path = dir.File("VelmoraJournal.db");
        c.make(path);
        const JournalCheck check = CheckJournal(path);
        EXPECT_EQ(check.found, c.found) << check.reason;
        EXPECT_NE(check.reason.find(c.reason), std::string::npos) << check.reason;
    }
}

TEST(JournalFile, SettingAsideKeepsEveryByteUnderADatedName) {
    TempFolder dir;
    const std::string path = dir.File("VelmoraJournal.db");
    MakeUnfinished(path);
    ASSERT_TRUE(fs::exists(path + "-wal"));
    const std::string main = Slurp(path), wal = Slurp(path + "-wal");
    const LocalTime now = FromCivil({2026, 12, 8, 3, 4, 5});
    std::string error;
    const std::string first = SetAsideJournal(path, now, "", &error);
    EXPECT_EQ(first, dir.File("VelmoraJournal-20261208-030405.db")) << error;
    EXPECT_EQ(Slurp(first), main);
    EXPECT_EQ(Slurp(first + "-wal"), wal);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(path + "-wal"));
    // The race is still there, whole, under its new name.
    EXPECT_EQ(CheckJournal(first).found, JournalFound::Unfinished);
    RestartedConsole back(first, 0);
    EXPECT_EQ(back.panel(0).Spd_LapTime.Cell(1, 4), "32000");

    // The same second again gets a number; a tag names why.
    WriteBytes(path, "x");
    EXPECT_EQ(SetAsideJournal(path, now, "", &error),
              dir.File("VelmoraJournal-20261208-030405-2.db"));
    WriteBytes(path, "y");
    EXPECT_EQ(SetAsideJournal(path, now, "unreadable", &error),
              dir.File("VelmoraJournal-20261208-030405-unreadable.db"));
    EXPECT_EQ(dir.Entries().size(), 5u);  // nothing was ever deleted
}

TEST(JournalFile, ARowThatCannotBeReadIsReportedAndNotGuessed) {
    TempFolder dir;
    const std::string path = dir.File("VelmoraJournal.db");
    MakeUnfinished(path);
    {
        SqliteDb db;
        ASSERT_TRUE(db.Open(path, false));
        ASSERT_TRUE(
            db.Exec("UPDATE field SET value = 'abc' WHERE name = 'runner.0.LapCount';"
                    "UPDATE field SET value = '2' WHERE name = 'runner.0.AwayFlag';"
                    "INSERT INTO field VALUES ('panel.7.Lbl_IP.caption', '127.0.0.9');"
                    "INSERT INTO cell VALUES ('panel.0.Spd_LapTime', 1, 99, 'x');"
                    "INSERT INTO cell VALUES ('panel.0.Spd_LapTime', 'one', 1, 'y');"))
            << db.Error();
    }
    RestartedConsole back(path, 0);
    ASSERT_TRUE(back.restored.ok);
    const std::vector<std::string> expected = {
        "runner.0.LapCount: abc", "runner.0.AwayFlag: 2", "panel.7.Lbl_IP.caption: unknown",
        "cell panel.0.Spd_LapTime 1,99: x", "cell panel.0.Spd_LapTime one,1: y"};
    for (const std::string& e : expected)
        EXPECT_NE(std::find(back.restored.problems.begin(), back.restored.problems.end(), e),
                  back.restored.problems.end())
            << e;
    EXPECT_EQ(back.restored.problems.size(), expected.size());
    // Unreadable values keep what the start-up made; everything else came back.
    EXPECT_EQ(back.runner(0).LapCount, 0);
    EXPECT_FALSE(back.runner(0).AwayFlag);
    EXPECT_EQ(back.panel(0).Spd_LapTime.Cell(1, 4), "32000");
    EXPECT_EQ(back.panel(0).Lbl_IP.caption, "127.0.0.1");
    // The next commit writes the values the console now has in their place.
    back.console.CommitJournal();
    SqliteDb db;
    ASSERT_TRUE(db.Open(path, false));
    EXPECT_EQ(db.QueryText("SELECT value FROM field WHERE name = 'runner.0.LapCount'"), "0");
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM cell WHERE col = 99"), 0);
}

}  // namespace
}  // namespace velmora::test
