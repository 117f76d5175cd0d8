#pragma once
// The race journal in an SQLite database beside the executable. It follows one console: the
// first commit after a slot was set up creates the file and writes the whole image; every
// later commit writes, in one transaction synced to the disk, only the values and grid cells
// that changed since the last one. A fault (read-only folder, full disk, the file replaced)
// is reported once; measuring goes on, and the journal tries again now and then, so that it
// is whole again once the fault has gone.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/running_services.h"
#include "journal/console_image.h"
#include "journal/file_system.h"
#include "journal/journal_checkpointer.h"
#include "journal/log_warmer.h"
#include "journal/sqlite_db.h"
#include "journal/traffic_record.h"

namespace velmora {

class SqliteJournal final : public RaceJournal {
  public:
    // Receives the crew's messages: a fault (once, however often the retries fail), and the
    // journal whole again after one. It is called from inside a commit: show it later, never
    // from within the call (a modal box would run other events in the middle of the one being
    // journaled).
    using Report = std::function<void(const std::string& text, MessageIcon icon)>;

    SqliteJournal(Console& console, std::string path, Report report);
    ~SqliteJournal() override;
    SqliteJournal(const SqliteJournal&) = delete;
    SqliteJournal& operator=(const SqliteJournal&) = delete;

    struct Restored {
        bool ok = false;    // false: nothing was brought back
        std::string error;  // why, when not ok
        // Values that could not be read and stay as the start-up made them, as "name: text"
        // (the first 50), and how many there were in all.
        std::vector<std::string> problems;
        std::size_t problemCount = 0;
        // Values that could not be read and were derived from the rest of the race instead,
        // as "name: text → value": a lap count from its lap grid, a grid's row count from its
        // cells.
        std::vector<std::string> derived;
        // Where the journal as read was kept when anything could not be read ("" if nothing
        // was, or if it could not be renamed: the next commit then sets it aside by date).
        std::string keptAs;
        RunningServices services;  // what ran when the journal was last written
    };
    // Reads the unfinished race in the file into the console (state only: the caller sets the
    // services going again). A row it cannot read is reported and leaves its value as the
    // start-up made it, unless the rest of the race determines it. A clean read goes on
    // journaling into the same file; one that met anything unreadable never writes into that
    // file again: it is kept as "<name>-<date>-<time>-restored-from.db", and the next commit
    // starts a new journal with the whole race.
    Restored Restore();

    JournalTicket Commit(const Console& c) override;
    void Heartbeat(const Console& c) override;
    // Writes what changed, as Commit does (with the running values too when `heartbeat`).
    // Durable changes are synced only when `waited` (a reply or the crew waits for them) or
    // when an earlier unsynced write of them is 2 s old; otherwise the next sync covers them.
    void Write(const Console& c, bool waited, bool heartbeat);
    // Clean End: writes what is left, marks the race ended, checkpoints the log into the file
    // and closes it; the next start begins a new journal. Returns what the crew must be told
    // when that did not go through (empty when it did): nothing else reports it, as the
    // program ends right after.
    std::string Finish();

    // Traffic to append to the record with the next write that goes to the file anyway (a
    // durable commit, or the heartbeat), or with the next commit once kTrafficLinesPerWrite
    // lines wait. Dropped after a fault and after Finish.
    void AddTraffic(std::vector<TrafficRecord> records);
    // Where a commit takes what runs (RunningServices) from: by default the console's own
    // services; a journal that follows copies of the console takes it from the copy.
    void SetServicesSource(std::function<RunningServices()> source) {
        servicesSource_ = std::move(source);
    }

    // Whether the journal is written (false before the first set-up, after a fault until a
    // retry succeeded, and after Finish).
    bool Writing() const { return mode_ == Mode::Open; }
    const std::string& path() const { return path_; }
    // Write transactions that reached the file so far (for tests and benchmarks).
    std::uint64_t Writes() const { return writes_; }
    // Checkpoints of the write-ahead log done so far by the checkpoint thread.
    int Checkpoints() const { return checkpointer_ ? checkpointer_->Done() : 0; }

    // Where renames, folder syncs and removals go (the operating system's by default).
    void SetFileSystem(FileSystem& files) { files_ = &files; }
    // How long after a fault the journal tries the file again (30 s by default).
    void SetRetryIntervalMs(std::int64_t ms) { retryNs_ = ms * 1'000'000; }
    // Log pages after which the heartbeat asks for a checkpoint (1,000 by default).
    void SetCheckpointFrames(int frames) { checkpointFrames_ = frames; }
    // Waits until no checkpoint is asked for or under way (for tests).
    void WaitForCheckpoints() {
        if (checkpointer_) checkpointer_->WaitIdle();
    }
    // Brings the part of the log the next commits will write into the system's cache, without
    // waiting for it (LogWarmer). For the writer's thread once a write's replies have gone.
    void WarmLog();
    // Runs on the checkpointer's thread after a checkpoint that emptied the log. Set before the
    // file is opened.
    void SetLogEmptiedHandler(std::function<void()> emptied) { logEmptied_ = std::move(emptied); }
    // After the log was emptied, the next commit starts it over and syncs its start before its
    // own frames: two syncs. This starts it over with a small write nobody waits for (meta
    // 'log started over', counting), so that a lap's commit is not the one to pay for it.
    void StartLogOver();

  private:
    enum class Mode { Idle, Open, Faulted, Finished };
    struct GridShadow {
        bool known = false;
        std::uint64_t revision = 0;
        int rows = 0, activeRow = 0, activeCol = 0;
        // The grid as last written. A copy shares the grid's row blocks, so the rows of the
        // blocks both still share are known to be equal and are never compared again: a lap
        // costs one block of rows, however long the race.
        Grid written;
    };
    struct CellOp {
        std::size_t grid;
        int row, col;
        std::string text;  // empty: the cell is removed
    };
    struct GridChange {
        std::size_t grid = 0;
        bool rewrite = false;         // the whole grid (first write, or after an unreadable row)
        std::optional<int> cutAfter;  // rows beyond this count go
        std::vector<CellOp> cells;
        std::vector<std::pair<std::string, std::string>> props;  // "rows", "activeRow", ...
    };

    bool AnySlotSetUp() const;
    bool Create();
    bool SetAsideOldFile();
    bool OpenFile(bool create);
    bool Reopen();
    bool Prepare();
    void CloseFile();
    void Fault(const std::string& reason);
    void ReportRecovery();
    bool SameFile() const;
    bool ReadyToWrite();
    std::int64_t NowNs() const;

    // Collects what changed; writes it in one transaction when anything did.
    // `durable`: the durable values and grids too, not just the running values.
    bool WriteChanges(bool durable, bool waited);
    void CollectGrid(std::size_t k, GridChange& change) const;
    bool Apply(const std::vector<std::size_t>& fields, const std::vector<GridChange>& grids,
               bool sync);
    void Adopt(const std::vector<std::size_t>& fields, const std::vector<GridChange>& grids);
    void AdoptGrid(std::size_t k);
    void Checkpoint(int minFrames);
    std::string MarkEnded();

    void KeepAsRead(Restored& out);

    Console& c_;
    std::string path_;
    Report report_;
    RunningServices services_;
    ConsoleImage image_;
    std::vector<std::optional<Value>> shadow_;
    std::vector<GridShadow> gridShadow_;

    Mode mode_ = Mode::Idle;
    bool reported_ = false;  // a fault was reported and the journal is not whole again yet
    std::int64_t retryNs_ = 30'000'000'000;
    std::int64_t retryAtNs_ = 0;
    std::int64_t lastRunningNs_ = 0;
    // Frames in the log after the last commit (the WAL hook's count), and that count as it
    // stands since the last checkpoint was asked for.
    struct LogCount {
        int inLog = 0;
        int sinceRequest = 0;
    } logCount_;
    int pageSize_ = 4096;
    int checkpointFrames_ = 1000;
    std::uint64_t writes_ = 0;
    // When the oldest durable change not yet synced was written.
    std::optional<std::int64_t> unsyncedSinceNs_;
    dev_t dev_ = 0;
    ino_t ino_ = 0;

    SqliteDb db_;
    SqliteStatement putField_, putCell_, dropCell_, dropRows_, dropGrid_, putTraffic_;
    std::vector<TrafficRecord> traffic_;
    std::function<RunningServices()> servicesSource_;
    std::function<void()> logEmptied_;
    std::uint64_t logStarts_ = 0;
    std::unique_ptr<JournalCheckpointer> checkpointer_;  // while the file is open
    std::unique_ptr<LogWarmer> warmer_;                  // while the file is open
    FileSystem* files_ = &PosixFileSystem();
};

}  // namespace velmora
