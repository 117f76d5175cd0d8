// Group commit through the engine: laps closed while the writer's sync of an earlier one runs
// are written together, in one transaction with one sync, and their replies wait for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/temp_folder.h"
#include "engine/engine_rig.h"
#include "fault_vfs.h"
#include "journal/journal_writer.h"

namespace velmora::test {
namespace {

// Counts the log's syncs; once closed, holds each on the syncing thread until let through.
class SyncGate {
  public:
    void OnSync() {
        std::unique_lock lock(m_);
        const int n = ++syncs_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return !closed_ || n <= passed_; });
    }
    void Close() {
        std::lock_guard lock(m_);
        closed_ = true;
        passed_ = base_ = syncs_;
    }
    void LetOneThrough() {
        std::lock_guard lock(m_);
        ++passed_;
        changed_.notify_all();
    }
    void Open() {
        std::lock_guard lock(m_);
        closed_ = false;
        changed_.notify_all();
    }
    int Syncs() {
        std::lock_guard lock(m_);
        return syncs_;
    }
    // Whether the `n`th sync since the gate closed came (and is held) within a generous time.
    bool Held(int n) {
        std::unique_lock lock(m_);
        return changed_.wait_for(lock, std::chrono::seconds(20),
                                 [&] { return syncs_ >= base_ + n; });
    }

  private:
    std::mutex m_;
    std::condition_variable changed_;
    int syncs_ = 0, passed_ = 0, base_ = 0;
    bool closed_ = false;
};

TEST(JournalWriter, LapsClosedDuringASyncShareTheNextOneAndTheirRepliesWaitForIt) {
    TempFolder dir;
    SyncGate gate;
    struct Report {
        JournalTicket seq;
        int syncs;
    };
    std::mutex m;
    std::condition_variable reported;
    std::vector<Report> reports;
    ScopedDiskFaults faults({.onLogSync = [&gate] { gate.OnSync(); }});
    EngineRig r({0, 1, 2});
    JournalWriter writer(
        dir.File("VelmoraJournal.db"), [](const std::string&, MessageIcon) {}, r.wall, r.mono);
    writer.Start([&](JournalTicket t) {
        {
            std::lock_guard lock(m);
            reports.push_back({t, gate.Syncs()});
        }
        reported.notify_all();
        r.engine->Wake();
    });
    r.engine->SetJournal(&writer);
    // A failed check must not leave the writer's thread held at the end.
    struct Opener {
        SyncGate& gate;
        ~Opener() { gate.Open(); }
    } opener{gate};
    const auto at = [&](std::int64_t ms) {
        r.RoundAt(ms);
        return r.engine->Latest()->seq;
    };
    r.Start();
    for (int i : {0, 1, 2}) r.Car(i, "000", 100);
    at(200);
    writer.Drain();
    at(12'000);  // the silence step has sent every car out on lap 1
    writer.Drain();
    at(12'001);  // every reply held so far goes
    writer.Drain();

    // Car 0 closes its lap and the writer's sync of it is held; cars 1 and 2 close theirs
    // meanwhile, each in a round of its own.
    gate.Close();
    r.Car(0, "000", 12'500);
    const JournalTicket first = at(12'501);
    ASSERT_TRUE(gate.Held(1));
    r.Car(1, "000", 12'510);
    at(12'511);
    r.Car(2, "000", 12'520);
    const JournalTicket last = at(12'521);
    for (int i : {0, 1, 2}) EXPECT_EQ(r.net.Waiting(CarSocket(i)), 1u) << "car " << i;

    // Car 0's reply goes once its sync is done; the other two wait for the next write.
    gate.LetOneThrough();
    ASSERT_TRUE(gate.Held(2));
    at(12'530);
    EXPECT_EQ(r.net.Waiting(CarSocket(0)), 0u);
    EXPECT_EQ(r.LastReply(0).substr(0, 4), "N001");
    for (int i : {1, 2}) EXPECT_EQ(r.net.Waiting(CarSocket(i)), 1u) << "car " << i;

    // One write, one sync, for both; the durable report jumps from the first lap to the last.
    gate.Open();
    std::vector<Report> got;
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(reported.wait_for(lock, std::chrono::seconds(20),
                                      [&] { return reports.back().seq >= last; }));
        got = reports;
    }
    const auto seqIs = [](JournalTicket t) { return [t](const Report& x) { return x.seq == t; }; };
    const auto a = std::find_if(got.begin(), got.end(), seqIs(first));
    const auto c = std::find_if(got.begin(), got.end(), seqIs(last));
    ASSERT_NE(a, got.end());
    ASSERT_NE(c, got.end());
    EXPECT_EQ(c - a, 1) << "a write between the first lap's and the last";
    EXPECT_EQ(c->syncs - a->syncs, 1);
    // Both held replies go in the next round.
    at(12'540);
    for (int i : {1, 2}) {
        EXPECT_EQ(r.net.Waiting(CarSocket(i)), 0u) << "car " << i;
        EXPECT_EQ(r.LastReply(i).substr(0, 4), "N001") << "car " << i;
    }
}

// A car sent out on a new lap by the silence step tells nobody anything: its write waits for
// the next sync (the car's return, or 2 s at the latest), which covers it with the lap.
TEST(JournalWriter, TheSilenceStepIsSyncedByTheLapItOpensOrWithinTwoSeconds) {
    TempFolder dir;
    SyncGate gate;
    ScopedDiskFaults faults({.onLogSync = [&gate] { gate.OnSync(); }});
    EngineRig r({0, 1});
    JournalWriter writer(
        dir.File("VelmoraJournal.db"), [](const std::string&, MessageIcon) {}, r.wall, r.mono);
    writer.Start([&](JournalTicket) { r.engine->Wake(); });
    r.engine->SetJournal(&writer);
    const auto at = [&](std::int64_t ms) {
        r.RoundAt(ms);
        writer.Drain();
    };
    r.Start();
    for (int i : {0, 1}) r.Car(i, "000", 100);
    at(200);
    r.Car(1, "000", 5'000);  // car 1 leaves 4.9 s after car 0
    at(5'001);
    at(7'100);  // what the datagrams changed is synced by now

    // Car 0 goes out on lap 1: written, not synced.
    const std::uint64_t writes = writer.journal().Writes();
    const int syncs = gate.Syncs();
    at(10'200);
    EXPECT_EQ(r.console.st.runners[0].LapCount, 1);
    EXPECT_GT(writer.journal().Writes(), writes);
    EXPECT_EQ(gate.Syncs(), syncs) << "the silence step synced on its own";

    // Its return records the lap: one sync for both, and then the reply goes.
    r.Car(0, "000", 11'000);
    at(11'001);
    EXPECT_EQ(gate.Syncs(), syncs + 1);
    at(11'002);
    EXPECT_EQ(r.LastReply(0).substr(0, 4), "N001");

    // Car 1 goes out and stays out: the lap clocks' heartbeat syncs it 2 s later.
    at(15'100);
    EXPECT_EQ(r.console.st.runners[1].LapCount, 1);
    EXPECT_EQ(gate.Syncs(), syncs + 1);
    at(16'100);
    EXPECT_EQ(gate.Syncs(), syncs + 1);
    at(17'200);
    EXPECT_EQ(gate.Syncs(), syncs + 2);
}

// A checkpoint that emptied the log has the writer start it over at once, before any lap's
// commit comes to do it with a second sync.
TEST(JournalWriter, AfterACheckpointTheNextLapsCommitSyncsOnce) {
    TempFolder dir;
    std::atomic<std::thread::id> writerThread{};
    std::atomic<int> syncs{0};
    ScopedDiskFaults faults({.onLogSync = [&] {
        if (std::this_thread::get_id() == writerThread.load()) ++syncs;
    }});
    EngineRig r({0});
    JournalWriter writer(
        dir.File("VelmoraJournal.db"), [](const std::string&, MessageIcon) {}, r.wall, r.mono);
    writer.journal().SetCheckpointFrames(4);
    writer.Start([&](JournalTicket) {
        writerThread = std::this_thread::get_id();
        r.engine->Wake();
    });
    r.engine->SetJournal(&writer);
    const auto at = [&](std::int64_t ms) {
        r.RoundAt(ms);
        writer.Drain();
    };
    r.Start();
    r.Car(0, "000", 100);
    at(200);
    at(10'200);  // out on lap 1; the heartbeat asks for a checkpoint
    writer.journal().WaitForCheckpoints();
    writer.Drain();
    ASSERT_GT(writer.journal().Checkpoints(), 0);

    syncs = 0;
    r.Car(0, "000", 10'500);
    at(10'501);
    EXPECT_EQ(syncs.load(), 1);
    at(10'502);
    EXPECT_EQ(r.LastReply(0).substr(0, 4), "N001");
}

}  // namespace
}  // namespace velmora::test
