#pragma once
// The race journal written on a thread of its own, so that a synced commit (milliseconds on a
// busy disk) never holds up the thread that answers the cars. The console hands over a
// snapshot of itself after its events; the writer brings its own copy of the console up to
// the snapshot and lets the journal write what changed since the last write. Snapshots that
// arrive while a write runs are merged into the next one: a single transaction and a single
// sync for all of them (group commit). Each write ends with the number of the last snapshot it
// took in, so the replies held for it can go.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/console.h"
#include "core/console_snapshot.h"
#include "core/null_services.h"
#include "journal/sqlite_journal.h"
#include "journal/traffic_record.h"

namespace velmora {

class JournalWriter {
  public:
    struct Batch {
        std::shared_ptr<const ConsoleSnapshot> snapshot;
        bool commit = false;     // a synced commit was asked for (RaceJournal::Commit)
        bool heartbeat = false;  // the lap clocks' periodic write of the running values
        // A reply or the crew waits for this batch: its write is synced before it is reported
        // durable. Any other is written without a sync, and the next sync covers it.
        bool waited = true;
        std::vector<TrafficRecord> traffic;
    };

    // `report` receives the crew's message for a fault, on the writer's thread.
    JournalWriter(std::string path, SqliteJournal::Report report, WallClock& wall,
                  MonotonicClock& mono);
    // Writes what was handed over, then ends the thread.
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // The journal and the copy of the console it follows; touch them only before Start.
    SqliteJournal& journal() { return *journal_; }
    Console& mirror() { return *mirror_; }

    // `durable(seq)` runs on the writer's thread after every write and after the End.
    void Start(std::function<void(JournalTicket)> durable);
    // `wake` false: nobody waits for this batch, and it is written with the next one that
    // wakes the writer (or by Wake, Drain, Finish or the end).
    void Submit(Batch b, bool wake = true);
    // Writes what was handed over without waking it.
    void Wake();
    // How many times the writer was woken for batches (for tests and figures).
    std::uint64_t Wakes() const;
    // Clean End: writes what was handed over, marks the race ended and closes the file.
    void Finish();
    bool Finished() const;
    // Once Finished: what the crew must be told of the end ("" when it went through).
    std::string FinishMessage() const;
    // The last snapshot written (or found nothing to write). A snapshot waited for is synced
    // by then, with every write before it.
    JournalTicket Durable() const;
    // Waits until everything handed over so far is written (and the log started over, when a
    // checkpoint asked for it).
    void Drain();

  private:
    void Run();
    void Write(std::vector<Batch>& batches);

    std::unique_ptr<NullServices> null_;
    std::unique_ptr<Console> mirror_;
    std::unique_ptr<SqliteJournal> journal_;
    RunningServices services_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::vector<Batch> queue_;
    bool busy_ = false;
    bool writeWanted_ = false;  // a Submit or Wake asked for the queue to be written
    bool startOver_ = false;    // a checkpoint emptied the log (SqliteJournal::StartLogOver)
    bool startingOver_ = false;
    bool finish_ = false;
    bool finished_ = false;
    std::string finishMessage_;
    bool stop_ = false;
    JournalTicket durable_ = 0;
    std::uint64_t wakes_ = 0;
    std::function<void(JournalTicket)> onDurable_;
    std::thread thread_;
};

}  // namespace velmora
