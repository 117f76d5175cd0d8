#pragma once
// A thin RAII layer over the SQLite C API: one connection, prepared statements, and errors
// as text (SQLite's message with the operating system's reason, when it has one).
#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

class SqliteStatement;

// How long a connection waits for a lock another connection of the same file holds (a
// checkpoint finishing, the log being recovered) before its statement fails. Only the console's
// own connections use the journal, so this bounds a rare wait; it is not one a lap sees.
inline constexpr int kBusyTimeoutMs = 1000;

class SqliteDb {
  public:
    SqliteDb() = default;
    ~SqliteDb() { Close(); }
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Opens `path` with the busy timeout above; `create` allows a new file. False with Error()
    // set on failure.
    bool Open(const std::string& path, bool create);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    sqlite3* handle() const { return db_; }

    // Runs one or more statements without results. False with Error() set on failure.
    bool Exec(std::string_view sql);
    // The first column of the first row of a query, as text; nothing on failure or no row.
    std::optional<std::string> QueryText(std::string_view sql);
    std::optional<std::int64_t> QueryInt(std::string_view sql);

    // The last failure: SQLite's message, and the system's reason when there is one.
    const std::string& Error() const { return error_; }
    void SetError(std::string text) { error_ = std::move(text); }
    // Takes the connection's current error as Error().
    void NoteError();

  private:
    sqlite3* db_ = nullptr;
    std::string error_;
};

class SqliteStatement {
  public:
    SqliteStatement() = default;
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool Prepare(SqliteDb& db, std::string_view sql);
    void Finalize();
    bool Prepared() const { return stmt_ != nullptr; }

    // Binds are 1-based, as in SQL. Text is bound without a copy: it must outlive Step().
    void Bind(int index, std::string_view text);
    void Bind(int index, std::int64_t value);
    // Bytes as they are (NULs included), equally without a copy.
    void BindBlob(int index, std::string_view bytes);
    // One step: true while it yields a row; Done() tells a finished statement from a failure.
    bool Step();
    bool Done() const { return rc_ == SQLITE_DONE; }
    // Runs a statement without results to its end and resets it. False on failure.
    bool Run();
    void Reset();

    std::string_view Text(int col) const;
    std::string_view Blob(int col) const;
    std::int64_t Int(int col) const;
    int Type(int col) const { return sqlite3_column_type(stmt_, col); }

  private:
    SqliteDb* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
};

}  // namespace velmora
