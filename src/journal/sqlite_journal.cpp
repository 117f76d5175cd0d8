#include "journal/sqlite_journal.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <map>
#include <set>

#include "core/text_rules.h"
#include "core/time_format.h"
#include "journal/journal_file.h"

namespace velmora {

namespace {

constexpr std::int64_t kHeartbeatNs = 1'000'000'000;
// A durable change nobody waits for (a car sent out on a new lap, a typed message cleared) is
// written without a sync of its own and made durable by the next sync, which covers every
// earlier write of the log: a lap's, a crew action's, or at the latest this long after it.
constexpr std::int64_t kUnsyncedNs = 2'000'000'000;
// Checkpoints copy the write-ahead log back into the database, on their own thread
// (JournalCheckpointer). The heartbeat asks for one once the log holds 1,000 pages (the
// default of SetCheckpointFrames); a commit asks at this many times that, for the time between
// runs, when no heartbeat runs.
constexpr int kCommitCheckpointFactor = 4;
// More rows than any grid can get (a lap correction allows 99,999): a larger count is not read.
constexpr int kMaxGridRows = 1'000'000;
constexpr std::size_t kMaxProblemsKept = 50;

template <typename Count>
int CountWalFrames(void* count, sqlite3*, const char*, int n) {
    static_cast<Count*>(count)->inLog = n;
    static_cast<Count*>(count)->sinceRequest = n;
    return SQLITE_OK;
}

// "2026/12/07 14:05:09", as the lap grid keeps the time a lap was recorded.
std::string Stamp(LocalTime t) { return FormatStatusDate(t) + " " + FormatStatusTime(t); }

bool ParseInt(std::string_view text, int& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The grid properties kept beside its cells, by the name's last part.
constexpr const char* kGridProps[] = {"rows", "activeRow", "activeCol"};

// The files SQLite makes of a journal at `path`: the database, its log, the log's index, and
// the rollback journal of the switch to the log.
std::vector<std::string> JournalFiles(const std::string& path) {
    return {path, path + "-wal", path + "-shm", path + "-journal"};
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type() !=
           std::filesystem::file_type::not_found;
}

}  // namespace

SqliteJournal::SqliteJournal(Console& console, std::string path, Report report)
    : c_(console),
      path_(std::move(path)),
      report_(std::move(report)),
      image_(console, services_),
      shadow_(image_.fields().size()),
      gridShadow_(image_.grids().size()) {}

SqliteJournal::~SqliteJournal() { CloseFile(); }

std::int64_t SqliteJournal::NowNs() const { return c_.svc.mono.NowNs(); }

bool SqliteJournal::AnySlotSetUp() const {
    for (int i = 0; i < kPanelCount; ++i)
        if (!c_.st.panels[i].Lbl_IP.caption.empty()) return true;
    return false;
}

// ---- the file ----

bool SqliteJournal::OpenFile(bool create) {
    CloseFile();
    if (!db_.Open(path_, create) || !ConfigureJournal(db_)) {
        const std::string error = db_.Error();
        CloseFile();
        Fault(error.empty() ? "cannot open" : error);
        return false;
    }
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) {
        dev_ = st.st_dev;
        ino_ = st.st_ino;
    }
    return true;
}

bool SqliteJournal::Prepare() {
    sqlite3_wal_hook(db_.handle(), &CountWalFrames<LogCount>, &logCount_);
    pageSize_ = static_cast<int>(db_.QueryInt("PRAGMA page_size").value_or(4096));
    const bool ok =
        UpgradeJournalSchema(db_) &&
        putTraffic_.Prepare(
            db_, "INSERT INTO traffic (kind, slot, tick, ns, bytes) VALUES (?1, ?2, ?3, ?4, ?5)") &&
        putField_.Prepare(db_, "INSERT OR REPLACE INTO field (name, value) VALUES (?1, ?2)") &&
        putCell_.Prepare(
            db_, "INSERT OR REPLACE INTO cell (grid, row, col, text) VALUES (?1, ?2, ?3, ?4)") &&
        dropCell_.Prepare(db_, "DELETE FROM cell WHERE grid = ?1 AND row = ?2 AND col = ?3") &&
        dropRows_.Prepare(db_, "DELETE FROM cell WHERE grid = ?1 AND row > ?2") &&
        dropGrid_.Prepare(db_, "DELETE FROM cell WHERE grid = ?1");
    if (!ok) {
        Fault(db_.Error());
        return false;
    }
    // The checkpointer's connection is opened now, beside this one, and both must be on the
    // file this one was opened on: it never reaches a file that replaced the journal later.
    checkpointer_ = std::make_unique<JournalCheckpointer>(path_, logEmptied_);
    warmer_ = std::make_unique<LogWarmer>(path_ + "-wal");
    if (!checkpointer_->IsOpen()) {
        Fault(checkpointer_->Error());
        return false;
    }
    if (!SameFile()) {
        Fault("the journal file was moved, removed or replaced");
        return false;
    }
    return true;
}

void SqliteJournal::CloseFile() {
    checkpointer_.reset();
    warmer_.reset();
    for (SqliteStatement* s :
         {&putField_, &putCell_, &dropCell_, &dropRows_, &dropGrid_, &putTraffic_})
        s->Finalize();
    db_.Close();
}

bool SqliteJournal::SetAsideOldFile() {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
    // A file left at the path (an ended race, a journal kept as read, or one put there by
    // hand) is kept aside.
    std::string error;
    if (!SetAsideJournal(path_, c_.svc.wall.Now(), "", &error, *files_).empty()) return true;
    Fault(error);
    return false;
}

bool SqliteJournal::Create() {
    if (!SetAsideOldFile()) return false;
    // What this creation makes, and only that, goes again when it fails: a half-made file
    // would be taken for the last good commit by the next try (or, on a full disk, set aside
    // by it, a new empty file every 30 s).
    std::vector<std::string> made;
    for (const std::string& f : JournalFiles(path_))
        if (!Exists(f)) made.push_back(f);
    const bool ok = OpenFile(true) && CreateJournalSchema(db_, Stamp(c_.svc.wall.Now()));
    if (!ok && db_.IsOpen()) Fault(db_.Error());
    if (!ok || !Prepare()) {
        CloseFile();
        for (const std::string& f : made) files_->Remove(f);
        dev_ = ino_ = 0;  // the next try starts from scratch
        return false;
    }
    // A new file holds nothing yet: the next write is the whole image.
    std::fill(shadow_.begin(), shadow_.end(), std::nullopt);
    for (GridShadow& g : gridShadow_) g = GridShadow();
    mode_ = Mode::Open;
    return true;
}

bool SqliteJournal::Reopen() {
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == dev_ &&
        st.st_ino == ino_ && ino_ != 0) {
        // The same file: it holds what the last successful commit wrote.
        if (!OpenFile(false) || !Prepare()) return false;
        mode_ = Mode::Open;
        return true;
    }
    return Create();
}

bool SqliteJournal::SameFile() const {
    struct stat st {};
    return ::stat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_;
}

void SqliteJournal::AddTraffic(std::vector<TrafficRecord> records) {
    // Before the file exists (it is made by the commit this traffic goes with) it waits; a
    // journal that cannot be written or has ended takes none.
    if (mode_ != Mode::Open && mode_ != Mode::Idle) return;
    if (traffic_.empty())
        traffic_ = std::move(records);
    else
        traffic_.insert(traffic_.end(), std::make_move_iterator(records.begin()),
                        std::make_move_iterator(records.end()));
}

void SqliteJournal::Fault(const std::string& reason) {
    traffic_.clear();
    if (db_.IsOpen()) {
        if (!sqlite3_get_autocommit(db_.handle())) db_.Exec("ROLLBACK");
        CloseFile();
    }
    if (mode_ != Mode::Finished) mode_ = Mode::Faulted;
    retryAtNs_ = NowNs() + retryNs_;
    if (reported_) return;
    reported_ = true;
    if (report_)
        report_("走行記録ファイルに書き込めません。記録なしで計測を続けます。\n" + path_ + "\n(" +
                    reason + ")",
                MessageIcon::Critical);
}

void SqliteJournal::ReportRecovery() {
    if (!reported_) return;
    reported_ = false;  // a later fault is reported again
    if (report_)
        report_("走行記録ファイルへの記録を再開しました。\n" + path_, MessageIcon::Information);
}

bool SqliteJournal::ReadyToWrite() {
    if (mode_ == Mode::Open) return true;
    if (mode_ != Mode::Faulted || NowNs() < retryAtNs_) return false;
    return Reopen();
}

// ---- writing ----

JournalTicket SqliteJournal::Commit(const Console& c) {
    // Written and synced before it returns: nothing for a reply to wait for.
    Write(c, true, false);
    return 0;
}

void SqliteJournal::Heartbeat(const Console& c) { Write(c, true, true); }

void SqliteJournal::Write(const Console& c, bool waited, bool heartbeat) {
    if (&c != &c_ || mode_ == Mode::Finished) return;
    if (mode_ == Mode::Idle) {
        if (!AnySlotSetUp() || !Create()) return;
    }
    // After a fault, the first write that lands makes the journal whole again.
    if (ReadyToWrite() && WriteChanges(true, waited)) ReportRecovery();
    if (!heartbeat || mode_ != Mode::Open || NowNs() - lastRunningNs_ < kHeartbeatNs) return;
    if (WriteChanges(false, false)) Checkpoint(checkpointFrames_);
}

bool SqliteJournal::WriteChanges(bool durable, bool waited) {
    if (durable) services_ = servicesSource_ ? servicesSource_() : RunningServices::Capture(c_);
    std::vector<std::size_t> fields;
    bool anyDurable = false;
    const auto& all = image_.fields();
    for (std::size_t k = 0; k < all.size(); ++k) {
        const ImageField& f = all[k];
        if (!durable && f.pace == Pace::Durable) continue;
        if (shadow_[k] && Same(f.ref, *shadow_[k])) continue;
        fields.push_back(k);
        anyDurable = anyDurable || f.pace == Pace::Durable;
    }
    std::vector<GridChange> grids;
    if (durable) {
        for (std::size_t k = 0; k < gridShadow_.size(); ++k) {
            GridChange change;
            change.grid = k;
            CollectGrid(k, change);
            if (change.rewrite || change.cutAfter || !change.cells.empty() || !change.props.empty())
                grids.push_back(std::move(change));
            else
                gridShadow_[k].revision = image_.grids()[k].grid->Revision();
        }
        // The running values go along with a durable write, never alone; so does the traffic
        // record, until it has grown long.
        if (!anyDurable && grids.empty() && traffic_.size() < kTrafficLinesPerWrite) return true;
    } else if (fields.empty() && traffic_.empty()) {
        lastRunningNs_ = NowNs();
        return true;
    }
    const bool changesDurable = anyDurable || !grids.empty();
    const bool overdue = unsyncedSinceNs_ && NowNs() - *unsyncedSinceNs_ >= kUnsyncedNs;
    const bool sync = (changesDurable && waited) || overdue;
    if (!Apply(fields, grids, sync)) return false;
    ++writes_;
    if (sync) {
        unsyncedSinceNs_.reset();
    } else if (changesDurable && !unsyncedSinceNs_) {
        unsyncedSinceNs_ = NowNs();
    }
    Adopt(fields, grids);
    lastRunningNs_ = NowNs();
    if (durable) Checkpoint(kCommitCheckpointFactor * checkpointFrames_);
    return true;
}

void SqliteJournal::CollectGrid(std::size_t k, GridChange& change) const {
    const GridShadow& s = gridShadow_[k];
    const Grid& g = *image_.grids()[k].grid;
    if (s.known && s.revision == g.Revision()) return;
    const int rows = g.RowCount();
    const int cols = g.ColumnCount();
    static const std::string kEmpty;
    change.rewrite = !s.known;
    if (s.known && rows < s.rows) change.cutAfter = rows;
    const int first = s.known ? g.FirstRowNotShared(s.written) : 1;
    for (int r = first; r <= rows; ++r) {
        const bool had = s.known && r <= s.rows;
        for (int col = 1; col <= cols; ++col) {
            const std::string& now = g.Cell(r, col);
            const std::string& old = had ? s.written.Cell(r, col) : kEmpty;
            if (now != old) change.cells.push_back({k, r, col, now});
        }
    }
    const int values[] = {rows, g.ActiveRow(), g.ActiveCol()};
    const int before[] = {s.rows, s.activeRow, s.activeCol};
    for (int p = 0; p < 3; ++p)
        if (!s.known || values[p] != before[p])
            change.props.emplace_back(kGridProps[p], std::to_string(values[p]));
}

bool SqliteJournal::Apply(const std::vector<std::size_t>& fields,
                          const std::vector<GridChange>& grids, bool sync) {
    if (!SameFile()) {
        Fault("the journal file was moved, removed or replaced");
        return false;
    }
    // A write nobody waits for is not synced: it survives a killed program, and after a power
    // cut the write-ahead log simply ends at the last synced commit.
    if (!sync && !db_.Exec("PRAGMA synchronous=NORMAL")) {
        Fault(db_.Error());
        return false;
    }
    bool ok = db_.Exec("BEGIN IMMEDIATE");
    const auto& all = image_.fields();
    for (std::size_t k : fields) {
        if (!ok) break;
        const std::string value = Encode(all[k].ref);
        putField_.Bind(1, all[k].name);
        putField_.Bind(2, value);
        ok = putField_.Run();
    }
    for (const GridChange& g : grids) {
        const std::string& name = image_.grids()[g.grid].name;
        if (ok && g.rewrite) {
            dropGrid_.Bind(1, name);
            ok = dropGrid_.Run();
        }
        if (ok && g.cutAfter) {
            dropRows_.Bind(1, name);
            dropRows_.Bind(2, std::int64_t{*g.cutAfter});
            ok = dropRows_.Run();
        }
        for (const CellOp& op : g.cells) {
            if (!ok) break;
            SqliteStatement& s = op.text.empty() ? dropCell_ : putCell_;
            s.Bind(1, name);
            s.Bind(2, std::int64_t{op.row});
            s.Bind(3, std::int64_t{op.col});
            if (!op.text.empty()) s.Bind(4, op.text);
            ok = s.Run();
        }
        for (const auto& [prop, value] : g.props) {
            if (!ok) break;
            const std::string key = name + "." + prop;
            putField_.Bind(1, key);
            putField_.Bind(2, value);
            ok = putField_.Run();
        }
    }
    for (const TrafficRecord& t : traffic_) {
        if (!ok) break;
        putTraffic_.Bind(1, std::string_view(TrafficKindName(t.kind)));
        putTraffic_.Bind(2, std::int64_t{t.slot});
        putTraffic_.Bind(3, std::int64_t{t.tick});
        putTraffic_.Bind(4, t.ns);
        putTraffic_.BindBlob(5, t.bytes);
        ok = putTraffic_.Run();
    }
    ok = ok && db_.Exec("COMMIT");
    if (ok && !sync) ok = db_.Exec("PRAGMA synchronous=FULL");
    if (!ok) Fault(db_.Error());
    if (ok) traffic_.clear();
    return ok;
}

void SqliteJournal::Adopt(const std::vector<std::size_t>& fields,
                          const std::vector<GridChange>& grids) {
    const auto& all = image_.fields();
    for (std::size_t k : fields) shadow_[k] = Current(all[k].ref);
    // A write holds every difference CollectGrid found, so the grid as it is now is what
    // the journal holds.
    for (const GridChange& change : grids) AdoptGrid(change.grid);
}

void SqliteJournal::AdoptGrid(std::size_t k) {
    GridShadow& s = gridShadow_[k];
    const Grid& g = *image_.grids()[k].grid;
    s.written = g;
    s.rows = g.RowCount();
    s.activeRow = g.ActiveRow();
    s.activeCol = g.ActiveCol();
    s.revision = g.Revision();
    s.known = true;
}

void SqliteJournal::Checkpoint(int minFrames) {
    if (logCount_.sinceRequest < minFrames || !checkpointer_) return;
    checkpointer_->Request();
    logCount_.sinceRequest = 0;  // the next commit tells how long the log is then
}

void SqliteJournal::WarmLog() {
    // The log's start, where writing begins again after a checkpoint, is the checkpointer's.
    if (mode_ == Mode::Open && warmer_) warmer_->Ahead(logCount_.inLog, pageSize_);
}

void SqliteJournal::StartLogOver() {
    if (mode_ != Mode::Open) return;
    // A row of its own, whose value changes each time: what else waits may be nothing at all,
    // and a write that changes no page never reaches the log. Not synced: SQLite syncs the
    // log's new start itself, and nothing here needs more.
    ++logStarts_;
    bool ok = db_.Exec("PRAGMA synchronous=NORMAL") &&
              db_.Exec("INSERT OR REPLACE INTO meta VALUES ('log started over', '" +
                       std::to_string(logStarts_) + "')");
    std::string error = ok ? std::string() : db_.Error();
    // Every other write relies on FULL unless it says otherwise.
    if (!db_.Exec("PRAGMA synchronous=FULL") && ok) {
        ok = false;
        error = db_.Error();
    }
    if (!ok) Fault(error);
}

std::string SqliteJournal::Finish() {
    if (mode_ == Mode::Faulted) retryAtNs_ = 0;  // one last try
    Commit(c_);
    const std::string problem = mode_ == Mode::Open ? MarkEnded() : std::string();
    CloseFile();
    mode_ = Mode::Finished;
    return problem;
}

std::string SqliteJournal::MarkEnded() {
    const std::string sql =
        "BEGIN IMMEDIATE;UPDATE meta SET value = 'ended' WHERE name = 'state';"
        "INSERT OR REPLACE INTO meta VALUES ('ended', '" +
        Stamp(c_.svc.wall.Now()) + "');COMMIT;";
    if (!db_.Exec(sql)) {
        const std::string error = db_.Error();
        if (!sqlite3_get_autocommit(db_.handle())) db_.Exec("ROLLBACK");
        return "走行記録ファイルに終了を書き込めませんでした。次の起動で復元するか尋ねます。\n" +
               path_ + "\n(" + error + ")";
    }
    // The whole log into the file, so that an ended journal is one file to keep.
    checkpointer_.reset();
    if (sqlite3_wal_checkpoint_v2(db_.handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr,
                                  nullptr) == SQLITE_OK)
        return {};
    db_.NoteError();
    const std::string error = db_.Error();
    // Closing tries once more; only a log still there afterwards must be kept with the file.
    CloseFile();
    std::error_code ec;
    if (std::filesystem::file_size(path_ + "-wal", ec) == 0 || ec) return {};
    return "走行記録ファイルを１つにまとめられませんでした。保管するときは次のファイルも一緒に"
           "コピーしてください。\n" +
           path_ + "-wal\n(" + error + ")";
}

// ---- reading back ----

namespace {

struct FieldRow {
    std::string name, value;
};
struct CellRow {
    std::string grid, row, col, text;
    std::int64_t r = 0, c = 0;
    bool numeric = false;
};

bool ReadRows(SqliteDb& db, std::vector<FieldRow>& fields, std::vector<CellRow>& cells) {
    SqliteStatement q;
    bool ok = q.Prepare(db, "SELECT name, value FROM field");
    while (ok && q.Step()) fields.push_back({std::string(q.Text(0)), std::string(q.Text(1))});
    ok = ok && q.Done() && q.Prepare(db, "SELECT grid, row, col, text FROM cell");
    while (ok && q.Step()) {
        cells.push_back({std::string(q.Text(0)), std::string(q.Text(1)), std::string(q.Text(2)),
                         std::string(q.Text(3)), q.Int(1), q.Int(2),
                         q.Type(1) == SQLITE_INTEGER && q.Type(2) == SQLITE_INTEGER});
    }
    return ok && q.Done();
}

// The lap count a lap grid stands for: the silence step and a correction keep the count and
// the rows equal, and a car that is away is on the lap after its last timed row.
std::int32_t LapCountOf(const Grid& laps, bool away) {
    int lastTimed = laps.RowCount();
    double ticks = 0;
    while (lastTimed > 0 && !ParseNumber(laps.Cell(lastTimed, 4), ticks)) --lastTimed;
    return std::max(laps.RowCount(), lastTimed + (away ? 1 : 0));
}

constexpr const char* kMissing = "(なし)";

}  // namespace

SqliteJournal::Restored SqliteJournal::Restore() {
    Restored out;
    CloseFile();
    // Everything is read first: a read that fails half-way leaves the console untouched.
    std::vector<FieldRow> fieldRows;
    std::vector<CellRow> cellRows;
    if (!db_.Open(path_, false) || !ConfigureJournal(db_) || !ReadRows(db_, fieldRows, cellRows)) {
        out.error = db_.Error();
        CloseFile();
        return out;
    }

    auto problem = [&out](std::string text) {
        ++out.problemCount;
        if (out.problems.size() < kMaxProblemsKept) out.problems.push_back(std::move(text));
    };
    const auto& grids = image_.grids();
    std::map<std::string, std::size_t, std::less<>> gridIndex;
    for (std::size_t g = 0; g < grids.size(); ++g) gridIndex.emplace(grids[g].name, g);
    std::vector<std::array<std::optional<int>, 3>> props(grids.size());
    std::set<std::size_t> read;
    // Values the rest of the race determines, by the text that could not be read: the lap
    // counts (by slot) and the grids' row counts.
    std::array<int, kPanelCount> lapCountField{};
    std::array<std::optional<std::string>, kPanelCount> lapCountText;
    std::vector<std::optional<std::string>> rowsText(grids.size());
    for (int i = 0; i < kPanelCount; ++i)
        lapCountField[i] = image_.Find("runner." + std::to_string(i) + ".LapCount");

    for (const FieldRow& f : fieldRows) {
        if (const int k = image_.Find(f.name); k >= 0) {
            const auto slot = std::find(lapCountField.begin(), lapCountField.end(), k);
            if (Decode(image_.fields()[static_cast<std::size_t>(k)].ref, f.value))
                read.insert(static_cast<std::size_t>(k));
            else if (slot != lapCountField.end())
                lapCountText[static_cast<std::size_t>(slot - lapCountField.begin())] = f.value;
            else
                problem(f.name + ": " + f.value);
            continue;
        }
        const std::string_view name = f.name;
        const auto dot = name.rfind('.');
        const auto grid =
            dot == std::string_view::npos ? gridIndex.end() : gridIndex.find(name.substr(0, dot));
        int p = -1;
        for (int n = 0; n < 3; ++n)
            if (dot != std::string_view::npos && name.substr(dot + 1) == kGridProps[n]) p = n;
        int v = 0;
        if (grid == gridIndex.end() || p < 0)
            problem(f.name + ": unknown");
        else if (ParseInt(f.value, v) && v >= 0 && v <= kMaxGridRows)
            props[grid->second][static_cast<std::size_t>(p)] = v;
        else if (p == 0)
            rowsText[grid->second] = f.value;
        else
            problem(f.name + ": " + f.value);
    }

    // A grid's row count that could not be read: as many rows as its cells reach.
    std::vector<int> reach(grids.size(), 0);
    for (const CellRow& cell : cellRows) {
        const auto grid = gridIndex.find(cell.grid);
        if (grid != gridIndex.end() && cell.numeric && cell.r <= kMaxGridRows)
            reach[grid->second] = std::max(reach[grid->second], static_cast<int>(cell.r));
    }
    for (std::size_t g = 0; g < grids.size(); ++g) {
        if (!props[g][0] && !rowsText[g] && reach[g] > 0) rowsText[g] = kMissing;
        grids[g].grid->SetRowCount(props[g][0].value_or(reach[g]));
    }
    for (const CellRow& cell : cellRows) {
        const auto grid = gridIndex.find(cell.grid);
        Grid* g = grid == gridIndex.end() ? nullptr : grids[grid->second].grid;
        if (!g || !cell.numeric || cell.r < 1 || cell.r > g->RowCount() || cell.c < 1 ||
            cell.c > g->ColumnCount()) {
            problem("cell " + cell.grid + " " + cell.row + "," + cell.col + ": " + cell.text);
            continue;
        }
        g->SetCell(static_cast<int>(cell.r), static_cast<int>(cell.c), cell.text);
    }

    // A lap count that could not be read follows from the car's lap grid; a lap grid whose
    // row count was derived reaches at least to the lap count (the open lap has no cells).
    for (int i = 0; i < kPanelCount; ++i) {
        RunnerState& r = c_.st.runners[i];
        Grid& laps = c_.st.panels[i].Spd_LapTime;
        const int field = lapCountField[i];
        if (!lapCountText[i] && field >= 0 && !read.count(static_cast<std::size_t>(field)) &&
            laps.RowCount() > 0)
            lapCountText[i] = kMissing;
        const std::size_t g = gridIndex.at("panel." + std::to_string(i) + ".Spd_LapTime");
        if (lapCountText[i]) {
            r.LapCount = LapCountOf(laps, r.AwayFlag);
            out.derived.push_back("runner." + std::to_string(i) + ".LapCount: " + *lapCountText[i] +
                                  " → " + std::to_string(r.LapCount));
        }
        if ((lapCountText[i] || rowsText[g]) && laps.RowCount() < r.LapCount)
            laps.SetRowCount(r.LapCount);
    }
    for (std::size_t g = 0; g < grids.size(); ++g) {
        Grid& grid = *grids[g].grid;
        if (rowsText[g])
            out.derived.push_back(grids[g].name + ".rows: " + *rowsText[g] + " → " +
                                  std::to_string(grid.RowCount()));
        if (props[g][1] || props[g][2])
            grid.SetActiveCell(props[g][2].value_or(1), props[g][1].value_or(0));
    }

    out.ok = true;
    out.services = services_;
    if (out.problemCount > 0 || !out.derived.empty()) {
        KeepAsRead(out);
        return out;
    }
    for (std::size_t g = 0; g < grids.size(); ++g) AdoptGrid(g);
    for (std::size_t k = 0; k < shadow_.size(); ++k)
        shadow_[k] =
            read.count(k) ? std::optional<Value>(Current(image_.fields()[k].ref)) : std::nullopt;
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) {
        dev_ = st.st_dev;
        ino_ = st.st_ino;
    }
    if (Prepare()) {
        mode_ = Mode::Open;
        lastRunningNs_ = NowNs();
    }
    return out;
}

void SqliteJournal::KeepAsRead(Restored& out) {
    // The console may now differ from the file (a value left as the start-up made it, a cell
    // that did not fit): a commit into the file could delete what the crew still needs from
    // it. The file is kept as it was read, and the next commit begins a new journal with the
    // whole race (setting the file aside by date if it could not be renamed here).
    CloseFile();
    std::string error;
    out.keptAs = SetAsideJournal(path_, c_.svc.wall.Now(), "restored-from", &error, *files_);
    dev_ = ino_ = 0;
    mode_ = Mode::Idle;
}

}  // namespace velmora
