#include "journal/journal_file.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace velmora {

namespace {

namespace fs = std::filesystem;

// The program named in a new journal's meta rows: this build's project version (CMake).
constexpr const char* kProgram = "VelmoraHost " VELMORA_VERSION;

constexpr const char* kSchema = R"sql(
CREATE TABLE meta (name TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE field (name TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE cell (
    grid TEXT NOT NULL, row INTEGER NOT NULL, col INTEGER NOT NULL, text TEXT NOT NULL,
    PRIMARY KEY (grid, row, col)) WITHOUT ROWID;
)sql";
// Version 2: the traffic record, append-only (see traffic_record.h).
constexpr const char* kTrafficSchema = R"sql(
CREATE TABLE IF NOT EXISTS traffic (
    id INTEGER PRIMARY KEY, kind TEXT NOT NULL, slot INTEGER NOT NULL, tick INTEGER NOT NULL,
    ns INTEGER NOT NULL, bytes BLOB NOT NULL);
)sql";

std::string Stamp(LocalTime now) {
    const CivilTime t = ToCivil(now);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

bool Exists(const fs::path& p) {
    std::error_code ec;
    return fs::symlink_status(p, ec).type() != fs::file_type::not_found && !ec;
}

}  // namespace

JournalCheck CheckJournal(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return {};

    SqliteDb db;
    if (!db.Open(path, false)) return {JournalFound::Unreadable, db.Error()};
    const auto app = db.QueryInt("PRAGMA application_id");
    if (!app) return {JournalFound::Unreadable, db.Error()};
    // A database without a single table is a creation a power cut stopped before its first
    // commit reached the disk: it recorded nothing, and the next commit makes the journal anew.
    if (*app == 0 && db.QueryInt("SELECT count(*) FROM sqlite_schema") == 0)
        return {JournalFound::None, {}};
    if (*app != kJournalApplicationId)
        return {JournalFound::Unreadable,
                "not a Velmora journal (application_id " + std::to_string(*app) + ")"};
    const auto version = db.QueryInt("PRAGMA user_version");
    if (!version) return {JournalFound::Unreadable, db.Error()};
    if (*version < kOldestJournalVersion || *version > kJournalVersion)
        return {JournalFound::Unreadable, "journal version " + std::to_string(*version) +
                                              ", this program reads versions " +
                                              std::to_string(kOldestJournalVersion) + " to " +
                                              std::to_string(kJournalVersion)};
    const auto check = db.QueryText("PRAGMA quick_check");
    if (!check) return {JournalFound::Unreadable, db.Error()};
    if (*check != "ok") return {JournalFound::Unreadable, "damaged: " + *check};
    const auto state = db.QueryText("SELECT value FROM meta WHERE name = 'state'");
    if (state == "ended") return {JournalFound::Finished, {}};
    if (state == "open") return {JournalFound::Unfinished, {}};
    return {JournalFound::Unreadable,
            state ? "unknown state '" + *state + "'" : "no state: " + db.Error()};
}

std::string SetAsideJournal(const std::string& path, LocalTime now, std::string_view tag,
                            std::string* error, FileSystem& files) {
    const fs::path from(path);
    const std::string stem = from.stem().string();
    const std::string ext = from.extension().string();
    std::string base = stem + "-" + Stamp(now);
    if (!tag.empty()) base += "-" + std::string(tag);
    fs::path to = from.parent_path() / (base + ext);
    for (int n = 2; Exists(to) || Exists(to.string() + "-wal"); ++n)
        to = from.parent_path() / (base + "-" + std::to_string(n) + ext);

    if (std::string why = files.Rename(from.string(), to.string()); !why.empty()) {
        if (error) *error = why;
        return {};
    }
    // The write-ahead log holds the last commits until a checkpoint: it goes with the file.
    for (const char* suffix : {"-wal", "-shm"}) {
        const fs::path side(path + suffix);
        if (!Exists(side)) continue;
        if (std::string why = files.Rename(side.string(), to.string() + suffix); !why.empty()) {
            if (error) *error = side.string() + ": " + why;
            return {};
        }
    }
    // Until the folder is synced the renames live only in memory: after a power cut the old
    // journal could be back at the path, beside (or instead of) the new one made there since.
    if (std::string why = files.SyncFolder(from.parent_path().string()); !why.empty()) {
        if (error) *error = from.parent_path().string() + ": " + why;
        return {};
    }
    return to.string();
}

bool ConfigureJournal(SqliteDb& db) {
    const auto mode = db.QueryText("PRAGMA journal_mode=WAL");
    if (!mode || *mode != "wal") {
        if (mode) db.SetError("cannot use a write-ahead log (journal mode " + *mode + ")");
        return false;
    }
    // - locking_mode=NORMAL: the checkpointer and the start-up's checks open connections of
    //   their own beside the writer's; EXCLUSIVE would lock them out (and keep the log index in
    //   private memory, which they could not see).
    // - synchronous=FULL: every commit syncs the log before it returns, so a reply sent after
    //   a commit never tells a car what a power cut can take back; a checkpoint syncs the log
    //   before it copies it and the file before the log starts over. (The heartbeat alone
    //   lowers it to NORMAL for its own transaction: see SqliteJournal::Apply.)
    // - Checkpoints are the journal's own (JournalCheckpointer, and End), never one inside a
    //   commit; stated here rather than left to the WAL hook, which only hides SQLite's own.
    //   (Setting it drops a WAL hook: the journal installs its hook after this.)
    // - After a checkpoint the log is cut back to 64 MB, if a stalled checkpoint let it grow
    //   beyond that. A normal cycle (a checkpoint asked for at 1,000 pages, about 4 MB) stays
    //   well below, so the log is not cut every cycle: the cut is an ftruncate inside the first
    //   commit after the checkpoint, up to 5 ms on a busy disk, and a lap's reply waited on it.
    // - A page cache of 512 KiB per connection: the writer touches the tables' upper pages and
    //   their last leaves, which fit many times over. SQLite's default of 2 MB filled over the
    //   first twenty minutes of a race (the traffic record grows by every datagram) and showed as
    //   the console's memory growing all that time; pages beyond it come from the system's cache.
    return db.Exec(
        "PRAGMA locking_mode=NORMAL; PRAGMA synchronous=FULL; PRAGMA wal_autocheckpoint=0; "
        "PRAGMA journal_size_limit=" +
        std::to_string(kJournalSizeLimitBytes) + "; PRAGMA cache_size=-" +
        std::to_string(kJournalCacheKiB));
}

bool CreateJournalSchema(SqliteDb& db, std::string_view createdAt) {
    const std::string sql = "BEGIN IMMEDIATE;" + std::string(kSchema) + kTrafficSchema +
                            "PRAGMA application_id=" + std::to_string(kJournalApplicationId) +
                            ";PRAGMA user_version=" + std::to_string(kJournalVersion) +
                            ";INSERT INTO meta VALUES ('state', 'open'), ('program', '" + kProgram +
                            "'), ('created', '" + std::string(createdAt) + "');COMMIT;";
    if (db.Exec(sql)) return true;
    const std::string error = db.Error();
    db.Exec("ROLLBACK");
    db.SetError(error);
    return false;
}

bool UpgradeJournalSchema(SqliteDb& db) {
    const auto version = db.QueryInt("PRAGMA user_version");
    if (!version) return false;
    if (*version >= kJournalVersion) return true;
    const std::string sql = "BEGIN IMMEDIATE;" + std::string(kTrafficSchema) +
                            "PRAGMA user_version=" + std::to_string(kJournalVersion) + ";COMMIT;";
    if (db.Exec(sql)) return true;
    const std::string error = db.Error();
    db.Exec("ROLLBACK");
    db.SetError(error);
    return false;
}

}  // namespace velmora
