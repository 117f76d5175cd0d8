// The power-cut layer itself: what was synced survives every cut, what was not survives some
// and not others, and a rename is certain only once its folder was synced.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "core/temp_folder.h"
#include "journal/journal_file.h"
#include "journal/sqlite_db.h"
#include "powercut_vfs.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// Rows of table t after a cut, or -1 when the database cannot be read.
int RowsAfter(const std::string& file) {
    SqliteDb db;
    if (!db.Open(file, false)) return -1;
    const auto n = db.QueryInt("SELECT count(*) FROM t");
    return n ? static_cast<int>(*n) : -1;
}

TEST(PowerCutDisk, SyncedWritesSurviveAndUnsyncedOnesMay) {
    TempFolder dir;
    std::set<int> seen;
    for (std::uint64_t seed = 1; seed <= 24; ++seed) {
        const std::string live = dir.File("live" + std::to_string(seed));
        const std::string after = dir.File("after" + std::to_string(seed));
        fs::create_directories(live);
        {
            PowerCutDisk disk(live);
            SqliteDb db;
            ASSERT_TRUE(db.Open(live + "/j.db", true));
            ASSERT_TRUE(
                db.Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
                        "CREATE TABLE t (x); INSERT INTO t VALUES (1);"));
            // Not synced: may or may not be on the disk after the cut.
            ASSERT_TRUE(db.Exec("PRAGMA synchronous=OFF; INSERT INTO t VALUES (2);"));
            disk.CutNow(seed, after);
            EXPECT_FALSE(db.Exec("INSERT INTO t VALUES (3)"));  // no power, no writes
        }
        const int rows = RowsAfter(after + "/j.db");
        EXPECT_TRUE(rows == 1 || rows == 2) << "seed " << seed << ": " << rows;
        seen.insert(rows);
    }
    EXPECT_EQ(seen, (std::set<int>{1, 2}));
}

TEST(PowerCutDisk, ARenameIsCertainOnlyAfterTheFolderSync) {
    TempFolder dir;
    for (const bool sync : {false, true}) {
        std::set<std::string> names;
        for (std::uint64_t seed = 1; seed <= 16; ++seed) {
            const std::string live = dir.File("live" + std::to_string(sync) + std::to_string(seed));
            const std::string after = live + "-after";
            fs::create_directories(live);
            PowerCutDisk disk(live);
            {
                SqliteDb db;  // the log's first sync syncs the folder, as the OS layer does
                ASSERT_TRUE(db.Open(live + "/a.db", true));
                ASSERT_TRUE(db.Exec("PRAGMA journal_mode=WAL; CREATE TABLE t (x);"));
            }
            ASSERT_EQ(disk.files().Rename(live + "/a.db", live + "/b.db"), "");
            if (sync) {
                ASSERT_EQ(disk.files().SyncFolder(live), "");
            }
            disk.CutNow(seed, after);
            for (const auto& e : fs::directory_iterator(after))
                if (e.path().extension() == ".db") names.insert(e.path().filename().string());
        }
        const std::set<std::string> expected =
            sync ? std::set<std::string>{"b.db"} : std::set<std::string>{"a.db", "b.db"};
        EXPECT_EQ(names, expected);
    }
}

// A journal set aside stays aside through a power cut right after: the folder was synced.
TEST(PowerCutDisk, AJournalSetAsideStaysAside) {
    TempFolder dir;
    for (std::uint64_t seed = 1; seed <= 16; ++seed) {
        const std::string live = dir.File("live" + std::to_string(seed));
        fs::create_directories(live);
        PowerCutDisk disk(live);
        {
            SqliteDb db;
            ASSERT_TRUE(db.Open(live + "/VelmoraJournal.db", true));
            ASSERT_TRUE(db.Exec("PRAGMA journal_mode=WAL; CREATE TABLE t (x);"));
        }
        std::string error;
        const std::string kept =
            SetAsideJournal(live + "/VelmoraJournal.db", FromCivil({2026, 12, 9, 23, 0, 0}), "",
                            &error, disk.files());
        ASSERT_FALSE(kept.empty()) << error;
        disk.CutNow(seed, live + "-after");
        EXPECT_TRUE(fs::exists(live + "-after/" + fs::path(kept).filename().string()));
        EXPECT_FALSE(fs::exists(live + "-after/VelmoraJournal.db")) << "seed " << seed;
    }
}

}  // namespace
}  // namespace velmora::test
