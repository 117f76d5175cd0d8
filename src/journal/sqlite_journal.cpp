#include "journal/sqlite_journal.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <set>

#include "core/time_format.h"
#include "journal/journal_file.h"

namespace velmora {

namespace {

constexpr std::int64_t kHeartbeatNs = 1'000'000'000;
// Checkpoints copy the write-ahead log back into the database, on their own thread
// (JournalCheckpointer). The heartbeat asks for one once the log holds 1,000 pages (the
// default of SetCheckpointFrames); a commit asks at this many times that, for the time between
// runs, when no heartbeat runs.
constexpr int kCommitCheckpointFactor = 4;
// More rows than any grid can get (a lap correction allows 99,999): a larger count is not read.
constexpr int kMaxGridRows = 1'000'000;
constexpr std::size_t kMaxProblemsKept = 50;

int CountWalFrames(void* frames, sqlite3*, const char*, int n) {
    *static_cast<int*>(frames) = n;
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
    sqlite3_wal_hook(db_.handle(), &CountWalFrames, &walFrames_);
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
    if (ok) checkpointer_ = std::make_unique<JournalCheckpointer>(path_);
    if (!ok) Fault(db_.Error());
    return ok;
}

void SqliteJournal::CloseFile() {
    checkpointer_.reset();
    for (SqliteStatement* s :
         {&putField_, &putCell_, &dropCell_, &dropRows_, &dropGrid_, &putTraffic_})
        s->Finalize();
    db_.Close();
}

bool SqliteJournal::Create() {
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        // A file left at the path (an ended race, or one put there by hand) is kept aside.
        std::string error;
        if (SetAsideJournal(path_, c_.svc.wall.Now(), "", &error).empty()) {
            Fault(error);
            return false;
        }
    }
    if (!OpenFile(true)) return false;
    if (!CreateJournalSchema(db_, Stamp(c_.svc.wall.Now()))) {
        Fault(db_.Error());
        return false;
    }
    if (!Prepare()) return false;
    // A new file holds nothing yet: the next write is the whole image.
    std::fill(shadow_.begin(), shadow_.end(), std::nullopt);
    for (GridShadow& g : gridShadow_) g = GridShadow{};
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
    if (mode_ != Mode::Open) return;
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
                reason + ")");
}

bool SqliteJournal::ReadyToWrite() {
    if (mode_ == Mode::Open) return true;
    if (mode_ != Mode::Faulted || NowNs() < retryAtNs_) return false;
    return Reopen();
}

// ---- writing ----

JournalTicket SqliteJournal::Commit(const Console& c) {
    // Written before it returns: nothing for a reply to wait for.
    if (&c != &c_ || mode_ == Mode::Finished) return 0;
    if (mode_ == Mode::Idle) {
        if (!AnySlotSetUp() || !Create()) return 0;
    }
    if (ReadyToWrite()) WriteChanges(true);
    return 0;
}

void SqliteJournal::Heartbeat(const Console& c) {
    Commit(c);
    if (mode_ != Mode::Open || NowNs() - lastRunningNs_ < kHeartbeatNs) return;
    if (WriteChanges(false)) Checkpoint(checkpointFrames_);
}

bool SqliteJournal::WriteChanges(bool durable) {
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
        // The running values go along with a durable write, never alone.
        if (!anyDurable && grids.empty()) return true;
    } else if (fields.empty() && traffic_.empty()) {
        lastRunningNs_ = NowNs();
        return true;
    }
    if (!Apply(fields, grids)) return false;
    ++writes_;
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
    for (int r = 1; r <= rows; ++r) {
        const bool had = s.known && r <= s.rows;
        for (int col = 1; col <= cols; ++col) {
            const std::string& now = g.Cell(r, col);
            const std::string& old =
                had ? s.cells[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(col - 1)]
                    : kEmpty;
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
                          const std::vector<GridChange>& grids) {
    const bool durable = !grids.empty() || std::any_of(fields.begin(), fields.end(), [&](auto k) {
        return image_.fields()[k].pace == Pace::Durable;
    });
    if (!SameFile()) {
        Fault("the journal file was moved, removed or replaced");
        return false;
    }
    // A heartbeat alone is not synced: it survives a killed program, and after a power cut
    // the write-ahead log simply ends at the last synced commit.
    if (!durable && !db_.Exec("PRAGMA synchronous=NORMAL")) {
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
    if (ok && !durable) ok = db_.Exec("PRAGMA synchronous=FULL");
    if (!ok) Fault(db_.Error());
    if (ok) traffic_.clear();
    return ok;
}

void SqliteJournal::Adopt(const std::vector<std::size_t>& fields,
                          const std::vector<GridChange>& grids) {
    const auto& all = image_.fields();
    for (std::size_t k : fields) shadow_[k] = Current(all[k].ref);
    for (const GridChange& change : grids) {
        GridShadow& s = gridShadow_[change.grid];
        const Grid& g = *image_.grids()[change.grid].grid;
        const auto cols = static_cast<std::size_t>(g.ColumnCount());
        s.cells.resize(static_cast<std::size_t>(g.RowCount()), std::vector<std::string>(cols));
        for (const CellOp& op : change.cells)
            s.cells[static_cast<std::size_t>(op.row - 1)][static_cast<std::size_t>(op.col - 1)] =
                op.text;
        s.rows = g.RowCount();
        s.activeRow = g.ActiveRow();
        s.activeCol = g.ActiveCol();
        s.revision = g.Revision();
        s.known = true;
    }
}

void SqliteJournal::AdoptGrid(std::size_t k) {
    GridShadow& s = gridShadow_[k];
    const Grid& g = *image_.grids()[k].grid;
    s.cells.assign(static_cast<std::size_t>(g.RowCount()),
                   std::vector<std::string>(static_cast<std::size_t>(g.ColumnCount())));
    for (int r = 1; r <= g.RowCount(); ++r)
        for (int col = 1; col <= g.ColumnCount(); ++col)
            s.cells[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(col - 1)] =
                g.Cell(r, col);
    s.rows = g.RowCount();
    s.activeRow = g.ActiveRow();
    s.activeCol = g.ActiveCol();
    s.revision = g.Revision();
    s.known = true;
}

void SqliteJournal::Checkpoint(int minFrames) {
    if (walFrames_ < minFrames || !checkpointer_) return;
    checkpointer_->Request();
    walFrames_ = 0;  // the next commit tells how long the log is then
}

void SqliteJournal::Finish() {
    if (mode_ == Mode::Faulted) retryAtNs_ = 0;  // one last try
    Commit(c_);
    if (mode_ == Mode::Open) {
        const std::string sql =
            "BEGIN IMMEDIATE;UPDATE meta SET value = 'ended' WHERE name = 'state';"
            "INSERT OR REPLACE INTO meta VALUES ('ended', '" +
            Stamp(c_.svc.wall.Now()) + "');COMMIT;";
        if (!db_.Exec(sql)) {
            Fault(db_.Error());
        } else {
            // The whole log into the file, so that an ended journal is one file to keep.
            checkpointer_.reset();
            sqlite3_wal_checkpoint_v2(db_.handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr,
                                      nullptr);
        }
    }
    CloseFile();
    mode_ = Mode::Finished;
}

// ---- reading back ----

SqliteJournal::Restored SqliteJournal::Restore() {
    Restored out;
    CloseFile();
    // Everything is read first: a read that fails half-way leaves the console untouched.
    struct FieldRow {
        std::string name, value;
    };
    struct CellRow {
        std::string grid, row, col, text;
        std::int64_t r = 0, c = 0;
        bool numeric = false;
    };
    std::vector<FieldRow> fieldRows;
    std::vector<CellRow> cellRows;
    {
        SqliteStatement q;
        bool ok = db_.Open(path_, false) && ConfigureJournal(db_) &&
                  q.Prepare(db_, "SELECT name, value FROM field");
        while (ok && q.Step())
            fieldRows.push_back({std::string(q.Text(0)), std::string(q.Text(1))});
        ok = ok && q.Done() && q.Prepare(db_, "SELECT grid, row, col, text FROM cell");
        while (ok && q.Step()) {
            cellRows.push_back({std::string(q.Text(0)), std::string(q.Text(1)),
                                std::string(q.Text(2)), std::string(q.Text(3)), q.Int(1), q.Int(2),
                                q.Type(1) == SQLITE_INTEGER && q.Type(2) == SQLITE_INTEGER});
        }
        ok = ok && q.Done();
        if (!ok) {
            out.error = db_.Error();
            q.Finalize();
            CloseFile();
            return out;
        }
    }

    auto problem = [&out](std::string text) {
        if (out.problems.size() < kMaxProblemsKept) out.problems.push_back(std::move(text));
    };
    std::map<std::string, std::size_t, std::less<>> gridIndex;
    for (std::size_t g = 0; g < image_.grids().size(); ++g)
        gridIndex.emplace(image_.grids()[g].name, g);
    std::vector<std::array<std::optional<int>, 3>> props(image_.grids().size());
    std::set<std::size_t> read;

    for (const FieldRow& f : fieldRows) {
        if (const int k = image_.Find(f.name); k >= 0) {
            if (Decode(image_.fields()[static_cast<std::size_t>(k)].ref, f.value))
                read.insert(static_cast<std::size_t>(k));
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
        else if (!ParseInt(f.value, v) || v < 0 || v > kMaxGridRows)
            problem(f.name + ": " + f.value);
        else
            props[grid->second][static_cast<std::size_t>(p)] = v;
    }

    std::vector<bool> gridBad(image_.grids().size(), false);
    for (std::size_t g = 0; g < image_.grids().size(); ++g)
        image_.grids()[g].grid->SetRowCount(props[g][0].value_or(0));
    for (const CellRow& cell : cellRows) {
        const auto grid = gridIndex.find(cell.grid);
        Grid* g = grid == gridIndex.end() ? nullptr : image_.grids()[grid->second].grid;
        if (!g || !cell.numeric || cell.r < 1 || cell.r > g->RowCount() || cell.c < 1 ||
            cell.c > g->ColumnCount()) {
            problem("cell " + cell.grid + " " + cell.row + "," + cell.col + ": " + cell.text);
            if (g) gridBad[grid->second] = true;
            continue;
        }
        g->SetCell(static_cast<int>(cell.r), static_cast<int>(cell.c), cell.text);
    }

    for (std::size_t g = 0; g < image_.grids().size(); ++g) {
        Grid& grid = *image_.grids()[g].grid;
        if (props[g][1] || props[g][2])
            grid.SetActiveCell(props[g][2].value_or(1), props[g][1].value_or(0));
        // A grid with an unreadable row is written whole at the next commit.
        if (gridBad[g])
            gridShadow_[g] = GridShadow{};
        else
            AdoptGrid(g);
    }
    for (std::size_t k = 0; k < shadow_.size(); ++k)
        shadow_[k] =
            read.count(k) ? std::optional<Value>(Current(image_.fields()[k].ref)) : std::nullopt;

    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) {
        dev_ = st.st_dev;
        ino_ = st.st_ino;
    }
    out.ok = true;
    out.services = services_;
    if (Prepare()) {
        mode_ = Mode::Open;
        lastRunningNs_ = NowNs();
    }
    return out;
}

}  // namespace velmora
