#pragma once
// The console's own thread. It owns the whole console, its state and every operation on it: it
// reads the car sockets, runs the timers, answers the cars and carries out the crew's actions.
// It never waits for the window, the disk or a dialog:
// - the window renders snapshots the engine publishes, and sends crew actions as commands;
// - the journal is written by its own thread from the same snapshots, and a reply that must
//   follow a commit to the disk waits in the socket layer, not here;
// - a dialog is shown by the window while the engine goes on serving the cars.
// Datagrams and timers are handled in time order: a timer runs at its deadline after every
// datagram that arrived before it, so a silence is never measured past a datagram that had
// arrived, and a lap's time is its datagram's arrival however late the thread got to it.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "analysis/driving_time.h"
#include "analysis/rule_figures.h"
#include "core/console.h"
#include "core/console_snapshot.h"
#include "engine/engine_net.h"
#include "engine/engine_timers.h"
#include "journal/journal_writer.h"
#include "journal/traffic_record.h"

namespace velmora {

class Engine {
  public:
    using Command = std::function<void(Console&)>;

    // `timers` must call AfterEvent() after each handler (see EngineTimers).
    Engine(Console& console, EngineNet& net, EngineTimers& timers, MonotonicClock& mono);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Runs on the engine's thread after each new snapshot.
    void SetPublished(std::function<void()> published) { published_ = std::move(published); }
    // Snapshots that only datagrams asked for come at most once per `ns` (0: after every
    // round). Call before the engine runs.
    void SetPublishGap(std::int64_t ns) { publishGapNs_ = ns; }
    // The journal's writer is woken for the snapshots of datagrams and lap clocks alone at
    // most once per this gap (0: every time), or once kTrafficLinesPerWrite traffic records
    // wait for it; a commit someone waits for wakes it at once.
    void SetWriterGap(std::int64_t ns) { writerGapNs_ = ns; }
    // The journal's writer (null: nothing is journaled). Plugs the engine's journal feed into
    // the console. Call on the engine's thread, or before it runs.
    void SetJournal(JournalWriter* writer);

    // ---- any thread ----
    // Queues a crew action; returns its number (snapshots tell how far they have begun).
    std::uint64_t Post(Command command);
    std::shared_ptr<const ConsoleSnapshot> Latest() const;
    void Wake();
    void RequestStop();
    bool StopRequested() const { return stop_.load(); }

    // ---- the engine's thread ----
    // The loop: waits for datagrams, timers, commands or a wake-up, then runs a round.
    void Run();
    // One round without waiting: what arrived and the timers due, in time order; replies
    // whose commit is now durable; the queued commands unless `nested`; a snapshot.
    void Round(bool nested);
    // Keeps the console going, without running crew actions, until `done()` holds (a dialog
    // answered, the journal written) or a stop is requested.
    void WaitUntil(const std::function<bool()>& done);
    // After every handler: the journal gets a commit, the window a new snapshot.
    void AfterEvent();
    // A marker in the traffic record (a run taken up again after a restart).
    void Mark(TrafficKind kind);
    // Takes a snapshot if anything happened since the last one, hands it to the journal's
    // writer and publishes it (the end of every round). `routine`: a round of datagrams and
    // lap clocks, whose batch may wait for the writer's gap.
    void Publish(bool routine = false);

  private:
    class Feed;
    void WaitForWork(bool nested);
    void RunCommands();
    bool PublishCanWait() const;
    void Note(const EngineNet::Traffic& t);

    Console& c_;
    EngineNet& net_;
    EngineTimers& timers_;
    MonotonicClock& mono_;
    std::unique_ptr<Feed> feed_;
    JournalWriter* writer_ = nullptr;
    std::function<void()> published_;

    int wakeFd_ = -1;
    std::atomic<bool> stop_{false};

    mutable std::mutex mutex_;
    std::deque<std::pair<std::uint64_t, Command>> commands_;
    std::uint64_t posted_ = 0;
    std::shared_ptr<const ConsoleSnapshot> latest_;

    // The engine's thread only.
    std::uint64_t begun_ = 0;
    std::uint64_t seq_ = 0;
    bool dirty_ = true;
    bool commitWanted_ = false;
    bool ticketWaiting_ = false;  // a commit whose ticket someone holds
    bool routineCommit_ = false;  // the commit after every handler
    bool heartbeatWanted_ = false;
    bool wasMeasuring_ = false;
    std::int64_t publishGapNs_ = 0;
    std::int64_t lastPublishNs_ = 0;
    std::int64_t writerGapNs_ = 0;
    std::int64_t lastWriterWakeNs_ = 0;
    bool writerOwed_ = false;           // a batch handed over without waking the writer
    std::size_t unwrittenTraffic_ = 0;  // traffic records handed over since it was woken
    std::vector<TrafficRecord> traffic_;
    struct Pending {
        std::uint64_t number = 0;  // in order of reading, to know it again
        EngineNet::Arrived datagram;
    };
    std::vector<EngineNet::Arrived> fresh_;
    std::deque<Pending> pending_;
    std::uint64_t arrivals_ = 0;
    std::vector<pollfd> fds_;
    std::string focus_;
    std::uint64_t focusSerial_ = 0;
    DrivingFigures figures_;
    RuleFigures rules_;
};

}  // namespace velmora
