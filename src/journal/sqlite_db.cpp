#include "journal/sqlite_db.h"

#include <cstring>

namespace velmora {

bool SqliteDb::Open(const std::string& path, bool create) {
    Close();
    const int flags =
        SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
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
