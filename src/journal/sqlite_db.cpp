#include "journal/sqlite_db.h"

#include <cctype>
#include <cstring>

namespace velmora {

namespace {

// The path as an SQLite URI carrying `psow=0`: every byte but the plain ones is %-escaped, so
// no '?', '#' or '%' in a folder's name is taken for part of the URI.
std::string JournalUri(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const unsigned char ch : path) {
        if (std::isalnum(ch) || ch == '/' || ch == '.' || ch == '-' || ch == '_' || ch == '~') {
            uri += static_cast<char>(ch);
        } else {
            uri += '%';
            uri += kHex[ch >> 4];
            uri += kHex[ch & 15];
        }
    }
    // Never assume that a write leaves the rest of its sector alone when the power fails
    // (powersafe overwrite, on by default): a commit's last log frame is then padded to the
    // end of its sector, so an unsynced frame written after it can never tear it. SQLite
    // takes this when it opens the file, hence the URI rather than a file control.
    return uri + "?psow=0";
}

}  // namespace

bool SqliteDb::Open(const std::string& path, bool create) {
    Close();
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) |
                      SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
    const int rc = sqlite3_open_v2(JournalUri(path).c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        NoteError();
        if (error_.empty()) error_ = sqlite3_errstr(rc);
        Close();
        return false;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    return true;
}

void SqliteDb::Close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

void SqliteDb::NoteError() {
    if (!db_) return;
    error_ = sqlite3_errmsg(db_);
    // The operating system's reason says more than "disk I/O error" or "unable to open".
    if (const int e = sqlite3_system_errno(db_); e != 0)
        error_ += std::string(": ") + std::strerror(e);
}

bool SqliteDb::Exec(std::string_view sql) {
    if (!db_) return false;
    const std::string text(sql);
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        NoteError();
        return false;
    }
    return true;
}

std::optional<std::string> SqliteDb::QueryText(std::string_view sql) {
    SqliteStatement s;
    if (!s.Prepare(*this, sql) || !s.Step()) return std::nullopt;
    return std::string(s.Text(0));
}

std::optional<std::int64_t> SqliteDb::QueryInt(std::string_view sql) {
    SqliteStatement s;
    if (!s.Prepare(*this, sql) || !s.Step() || s.Type(0) != SQLITE_INTEGER) return std::nullopt;
    return s.Int(0);
}

SqliteStatement::~SqliteStatement() { Finalize(); }

bool SqliteStatement::Prepare(SqliteDb& db, std::string_view sql) {
    Finalize();
    db_ = &db;
    if (!db.IsOpen()) return false;
    if (sqlite3_prepare_v3(db.handle(), sql.data(), static_cast<int>(sql.size()),
                           SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) != SQLITE_OK) {
        db.NoteError();
        stmt_ = nullptr;
        return false;
    }
    return true;
}

void SqliteStatement::Finalize() {
    if (stmt_) sqlite3_finalize(stmt_);
    stmt_ = nullptr;
}

void SqliteStatement::Bind(int index, std::string_view text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

void SqliteStatement::BindBlob(int index, std::string_view bytes) {
    // Never a null pointer: an empty blob must stay a blob, not become NULL.
    static const char kNone = 0;
    sqlite3_bind_blob(stmt_, index, bytes.empty() ? &kNone : bytes.data(),
                      static_cast<int>(bytes.size()), SQLITE_STATIC);
}

void SqliteStatement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
}

bool SqliteStatement::Step() {
    rc_ = sqlite3_step(stmt_);
    if (rc_ != SQLITE_ROW && rc_ != SQLITE_DONE) db_->NoteError();
    return rc_ == SQLITE_ROW;
}

bool SqliteStatement::Run() {
    Step();
    const bool ok = Done();
    Reset();
    return ok;
}

void SqliteStatement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string_view SqliteStatement::Text(int col) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    if (!p) return {};
    return {p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))};
}

std::string_view SqliteStatement::Blob(int col) const {
    const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, col));
    if (!p) return {};
    return {p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))};
}

std::int64_t SqliteStatement::Int(int col) const { return sqlite3_column_int64(stmt_, col); }

}  // namespace velmora
