#pragma once
// The journal as a file: what a start finds at its path, the schema, and setting a journal
// aside under a dated name. A journal is never deleted: an old one is renamed beside it.
#include <string>
#include <string_view>

#include "core/wall_time.h"
#include "journal/file_system.h"
#include "journal/sqlite_db.h"

namespace velmora {

// Schema version kept in PRAGMA user_version. Version 2 added the traffic record; a version-1
// journal is still read, and gets the table when it is written again. Any other version is
// set aside.
inline constexpr int kJournalVersion = 2;
inline constexpr int kOldestJournalVersion = 1;
// PRAGMA application_id of a Velmora journal ("VLMJ").
inline constexpr int kJournalApplicationId = 0x564C4D4A;

enum class JournalFound {
    None,        // no journal, one never committed to, or not a file (creating one says why)
    Finished,    // the last race ended through End
    Unfinished,  // a race that did not end: the crew is asked whether to bring it back
    Unreadable,  // not a journal of this version, or damaged
};

struct JournalCheck {
    JournalFound found = JournalFound::None;
    std::string reason;  // for Unreadable
};

JournalCheck CheckJournal(const std::string& path);

// Renames the journal at `path`, with its -wal and -shm files, to
// "<stem>-YYYYMMDD-HHMMSS[-tag].db" beside it (a number is added if that exists). Returns the
// new path, or "" with `error` set. The folder is synced afterwards: a rename whose entry is
// not on the disk may be undone by a power cut, after the new journal at `path` was made.
std::string SetAsideJournal(const std::string& path, LocalTime now, std::string_view tag,
                            std::string* error, FileSystem& files = PosixFileSystem());

// The page cache of each journal connection, in KiB.
inline constexpr int kJournalCacheKiB = 512;
// What the write-ahead log is cut back to after a checkpoint, when it grew beyond it.
inline constexpr long long kJournalSizeLimitBytes = 64LL * 1024 * 1024;

// Connection settings of a journal, stated on every connection that opens one (the writer's,
// the checkpointer's, the restore's): WAL, normal locking, every commit synced, checkpoints
// left to the journal. See journal_file.cpp for why each.
bool ConfigureJournal(SqliteDb& db);
// Creates the tables and marks a new, open race. False with db.Error() on failure.
bool CreateJournalSchema(SqliteDb& db, std::string_view createdAt);
// Brings a journal of an older version up to this one (adds what it lacks); false with
// db.Error() on failure.
bool UpgradeJournalSchema(SqliteDb& db);

}  // namespace velmora
