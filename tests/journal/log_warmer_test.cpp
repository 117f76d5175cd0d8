// The log range read ahead of the writer: where SQLite writes the next frames, after an
// ordinary commit and after a checkpoint has let the log start over.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "core/temp_folder.h"
#include "journal/journal_file.h"
#include "journal/log_warmer.h"
#include "journal/sqlite_db.h"

namespace velmora::test {
namespace {

constexpr std::int64_t kFrame = 24 + 4096;
constexpr std::int64_t kAhead = kLogWarmFrames * kFrame;

TEST(LogWarmer, ReadsAheadOfTheLogsEnd) {
    struct Case {
        const char* what;
        int frames;
        int pageSize;
        LogRange expected;
    };
    const Case cases[] = {
        {"after a commit", 10, 4096, {32 + 10 * kFrame, kAhead}},
        {"after a checkpoint: the log's start", 0, 4096, {32, kAhead}},
        {"1 KiB pages", 4, 1024, {32 + 4 * 1048, kLogWarmFrames * 1048}},
        {"no page size yet", 4, 0, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(LogRangeAhead(k.frames, k.pageSize), k.expected);
    }
}

int CountFrames(void* frames, sqlite3*, const char*, int n) {
    *static_cast<int*>(frames) = n;
    return SQLITE_OK;
}

// The end the warmer reads from is where SQLite writes the next frame: a log that has only
// grown ends exactly there. And warming a log that is not there yet, or was made anew, is
// harmless.
TEST(LogWarmer, TheLogsEndIsWhereSqliteWritesNext) {
    TempFolder dir;
    const std::string path = dir.File("j.db");
    LogWarmer warmer(path + "-wal");
    warmer.Ahead(0, 4096);  // no log yet
    SqliteDb db;
    ASSERT_TRUE(db.Open(path, true));
    ASSERT_TRUE(ConfigureJournal(db));
    int frames = 0;
    sqlite3_wal_hook(db.handle(), &CountFrames, &frames);
    ASSERT_TRUE(db.Exec("CREATE TABLE t (v TEXT)"));
    for (int k = 0; k < 20; ++k) {
        ASSERT_TRUE(db.Exec("INSERT INTO t VALUES (printf('%.3000c', 'x'))"));
        EXPECT_EQ(static_cast<std::uintmax_t>(LogRangeAhead(frames, 4096).offset),
                  std::filesystem::file_size(path + "-wal"));
        warmer.Ahead(frames, 4096);
    }
    db.Close();  // the last connection removes the log
    ASSERT_FALSE(std::filesystem::exists(path + "-wal"));
    warmer.Ahead(frames, 4096);
    ASSERT_TRUE(db.Open(path, false));
    ASSERT_TRUE(ConfigureJournal(db));
    ASSERT_TRUE(db.Exec("INSERT INTO t VALUES ('y')"));
    warmer.Ahead(1, 4096);  // the new log's file, opened anew
}

}  // namespace
}  // namespace velmora::test
