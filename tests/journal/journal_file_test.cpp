// What a start finds at the journal's path, setting a journal aside, rows that cannot be read
// back (reported, derived where the rest of the race determines them, and the file they came
// from never written again), and the connection settings.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "journal/journal_checkpointer.h"
#include "journal/journal_file.h"
#include "journal/restore_message.h"
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
        {"an empty file (a creation the power cut before its first commit)",
         [](const std::string& p) { WriteBytes(p, ""); }, JournalFound::None, ""},
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

// Rows of cells in the journal at `path`, by grid.
std::int64_t CellCount(const std::string& path, const std::string& grid) {
    SqliteDb db;
    if (!db.Open(path, false)) return -1;
    return db.QueryInt("SELECT count(*) FROM cell WHERE grid = '" + grid + "'").value_or(-1);
}

// A journal of version 1 (before the traffic record) is still found unfinished and restored as
// it is; the first write after that gives it the record and makes it version 2.
TEST(JournalFile, AVersionOneJournalIsRestoredAndCarriedOnAsVersionTwo) {
    TempFolder dir;
    const std::string path = dir.File("VelmoraJournal.db");
    MakeUnfinished(path);
    {
        SqliteDb db;
        ASSERT_TRUE(db.Open(path, false));
        ASSERT_TRUE(db.Exec("DROP TABLE traffic; PRAGMA user_version=1;")) << db.Error();
    }
    EXPECT_EQ(CheckJournal(path).found, JournalFound::Unfinished);
    RestartedConsole back(path, 0);
    ASSERT_TRUE(back.restored.ok) << back.restored.error;
    EXPECT_TRUE(back.restored.problems.empty());
    EXPECT_EQ(back.panel(0).Spd_LapTime.Cell(1, 4), "32000");
    back.console.st.main.Txt_Event.text = "after";
    back.console.CommitJournal();
    SqliteDb db;
    ASSERT_TRUE(db.Open(path, false));
    EXPECT_EQ(db.QueryInt("PRAGMA user_version"), 2);
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM traffic"), 0);
    EXPECT_EQ(db.QueryText("SELECT value FROM field WHERE name = 'main.Txt_Event.text'"), "after");
}

TEST(JournalFile, ARowThatCannotBeReadIsReportedAndTheFileKeptAsRead) {
    TempFolder dir;
    const std::string path = dir.File("VelmoraJournal.db");
    MakeUnfinished(path);
    {
        SqliteDb db;
        ASSERT_TRUE(db.Open(path, false));
        ASSERT_TRUE(
            db.Exec("UPDATE field SET value = '2' WHERE name = 'runner.0.AwayFlag';"
                    "INSERT INTO field VALUES ('panel.7.Lbl_IP.caption', '127.0.0.9');"
                    "INSERT INTO cell VALUES ('panel.0.Spd_LapTime', 1, 99, 'x');"
                    "INSERT INTO cell VALUES ('panel.0.Spd_LapTime', 'one', 1, 'y');"))
            << db.Error();
    }
    const std::int64_t cells = CellCount(path, "panel.0.Spd_LapTime");
    RestartedConsole back(path, 0);
    ASSERT_TRUE(back.restored.ok);
    std::vector<std::string> problems = back.restored.problems;
    std::sort(problems.begin(), problems.end());
    EXPECT_EQ(problems, (std::vector<std::string>{
                            "cell panel.0.Spd_LapTime 1,99: x", "cell panel.0.Spd_LapTime one,1: y",
                            "panel.7.Lbl_IP.caption: unknown", "runner.0.AwayFlag: 2"}));
    EXPECT_EQ(back.restored.problemCount, 4u);
    EXPECT_TRUE(back.restored.derived.empty());
    // Unreadable values keep what the start-up made; everything else came back.
    EXPECT_FALSE(back.runner(0).AwayFlag);
    EXPECT_EQ(back.runner(0).LapCount, 1);
    EXPECT_EQ(back.panel(0).Spd_LapTime.Cell(1, 4), "32000");
    EXPECT_EQ(back.panel(0).Lbl_IP.caption, "127.0.0.1");
    // The file is kept as read; the next commit starts a new journal with what the console has.
    EXPECT_EQ(back.restored.keptAs.find(dir.File("VelmoraJournal-")), 0u);
    EXPECT_TRUE(back.restored.keptAs.ends_with("-restored-from.db")) << back.restored.keptAs;
    back.console.CommitJournal();
    EXPECT_EQ(CellCount(back.restored.keptAs, "panel.0.Spd_LapTime"), cells);
    SqliteDb db;
    ASSERT_TRUE(db.Open(path, false));
    EXPECT_EQ(db.QueryText("SELECT value FROM field WHERE name = 'runner.0.AwayFlag'"), "0");
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM cell WHERE col = 99"), 0);
}

TEST(JournalFile, WhatTheRestOfTheRaceDeterminesIsDerivedAndEveryProblemCounted) {
    struct Case {
        const char* what;
        std::string damage;  // SQL run on the journal of car 0's laps (3 timed, then away)
        std::vector<std::string> derived;
        std::size_t problems;
        const char* more;  // the message's count of the problems not listed, if any
    };
    std::string many;  // 120 unreadable cells
    for (int k = 0; k < 120; ++k)
        many +=
            "INSERT INTO cell VALUES ('panel.9.Spd_LapTime', " + std::to_string(k) + ", 1, 'x');";
    const Case cases[] = {
        {"a lap count",
         "UPDATE field SET value = 'abc' WHERE name = 'runner.0.LapCount'",
         {"runner.0.LapCount: abc → 4"},
         0,
         nullptr},
        {"a lap grid's row count",
         "UPDATE field SET value = '-1' WHERE name = 'panel.0.Spd_LapTime.rows'",
         {"panel.0.Spd_LapTime.rows: -1 → 4"},
         0,
         nullptr},
        {"both",
         "UPDATE field SET value = 'x' WHERE name IN ('runner.0.LapCount', "
         "'panel.0.Spd_LapTime.rows')",
         {"runner.0.LapCount: x → 4", "panel.0.Spd_LapTime.rows: x → 4"},
         0,
         nullptr},
        {"120 cells of no grid", many, {}, 120, "… ほか 110 件"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        TempFolder dir;
        const std::string path = dir.File("VelmoraJournal.db");
        JournalRig rig(path);
        rig.PrepareRace();
        rig.Start();
        rig.DriveLaps(0, 3, 1000, 31'000);
        rig.AtTick(1000 + 3 * 31'000 + 12'000);
        rig.Tick(0);  // lap 4 opened: the car is away
        ASSERT_TRUE(rig.runner(0).AwayFlag);
        rig.Flush();
        {
            SqliteDb db;
            ASSERT_TRUE(db.Open(path, false));
            ASSERT_TRUE(db.Exec(k.damage)) << db.Error();
        }
        const std::int64_t cells = CellCount(path, "panel.0.Spd_LapTime");
        RestartedConsole back(path, rig.wall.realMs);
        ASSERT_TRUE(back.restored.ok);
        EXPECT_EQ(back.restored.derived, k.derived);
        EXPECT_EQ(back.restored.problemCount, k.problems);
        back.Resume();
        SystemClockTick(rig.console);
        for (const std::string& d : Differences(rig.console, back.console)) ADD_FAILURE() << d;

        const std::string text = RestoreProblemMessage(back.restored, path, back.st());
        EXPECT_EQ(
            text.rfind("走行記録ファイルの一部を読めませんでした。読めた内容で復元しました。\n" +
                           path +
                           "\n読み込んだ記録はそのまま保管しました: " + back.restored.keptAs + "\n",
                       0),
            0u)
            << text;
        for (const std::string& d : k.derived)
            EXPECT_NE(text.find("\n１号車 " + d), std::string::npos) << text;
        if (k.more) {
            EXPECT_TRUE(text.ends_with(k.more)) << text;
        }
        // Not a cell lost: the file as read is kept, the new journal holds the whole race.
        back.console.CommitJournal();
        EXPECT_EQ(CellCount(back.restored.keptAs, "panel.0.Spd_LapTime"), cells);
        EXPECT_EQ(CellCount(path, "panel.0.Spd_LapTime"), cells);
    }
}

TEST(JournalFile, ConnectionSettingsAreStated) {
    TempFolder dir;
    // A folder name with what a URI would take for its own ('%', '?', '#', a space).
    const std::string folder = dir.File("a b%41?x#y");
    fs::create_directory(folder);
    SqliteDb db;
    ASSERT_TRUE(db.Open(folder + "/j.db", true)) << db.Error();
    ASSERT_TRUE(fs::exists(folder + "/j.db"));
    ASSERT_TRUE(ConfigureJournal(db));
    int psow = -1;  // asks
    sqlite3_file_control(db.handle(), "main", SQLITE_FCNTL_POWERSAFE_OVERWRITE, &psow);
    EXPECT_EQ(psow, 0);
    EXPECT_EQ(db.QueryText("PRAGMA locking_mode"), "normal");
    const std::pair<const char*, std::int64_t> pragmas[] = {
        {"busy_timeout", kBusyTimeoutMs},
        {"wal_autocheckpoint", 0},
        {"synchronous", 2},  // FULL
        {"journal_size_limit", 64 << 20},
        {"cache_size", -kJournalCacheKiB},
    };
    for (const auto& [pragma, value] : pragmas)
        EXPECT_EQ(db.QueryInt(std::string("PRAGMA ") + pragma), value) << pragma;
    EXPECT_EQ(db.QueryText("PRAGMA journal_mode"), "wal");
    ASSERT_TRUE(CreateJournalSchema(db, "2026/12/07 14:05:09"));
    EXPECT_EQ(db.QueryText("SELECT value FROM meta WHERE name = 'program'"),
              "VelmoraHost " VELMORA_VERSION);
}

TEST(JournalFile, TheCheckpointerNeverReachesAFileThatReplacedTheJournal) {
    TempFolder dir;
    const std::string path = dir.File("j.db"), moved = dir.File("moved.db");
    SqliteDb journal;
    ASSERT_TRUE(journal.Open(path, true) && ConfigureJournal(journal) &&
                CreateJournalSchema(journal, "2026/12/07 14:05:09") &&
                journal.Exec("PRAGMA wal_checkpoint(TRUNCATE)"));
    JournalCheckpointer checkpointer(path);
    ASSERT_TRUE(checkpointer.IsOpen()) << checkpointer.Error();
    // The journal moved away, and another database with a log of its own put in its place.
    for (const char* suffix : {"", "-wal", "-shm"}) fs::rename(path + suffix, moved + suffix);
    SqliteDb other;
    ASSERT_TRUE(other.Open(path, true) && ConfigureJournal(other) &&
                other.Exec("CREATE TABLE t (x); INSERT INTO t VALUES (1);"));
    const std::string otherBytes = Slurp(path), otherLog = Slurp(path + "-wal");

    checkpointer.Request();
    checkpointer.WaitIdle();
    EXPECT_EQ(checkpointer.Done(), 1);
    EXPECT_EQ(Slurp(path), otherBytes);
    EXPECT_EQ(Slurp(path + "-wal"), otherLog);
    // Nor was the other database's log copied into the journal (everything of the journal is
    // in its file, so that would show).
    EXPECT_EQ(CheckJournal(moved).found, JournalFound::Unfinished);
}

}  // namespace
}  // namespace velmora::test
