// velmora_journal_bench: what the race journal costs. Three cars run to 5,000 laps each on
// do-nothing services (the console's own work only, no sockets and no event loop); then
//   - the reply path of an ordinary datagram (nothing changes, nothing is written), with and
//     without the journal, and the shell's commit after it (once the reply is out);
//   - the reply path of the datagram that records a lap (the commit synced to the disk before
//     the reply), with and without the journal;
//   - the heartbeat; the file size; restoring the whole race into a fresh console.
// The journal goes to --dir (default: the current folder), so the disk there is measured.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_console.h"
#include "carlink/protocol.h"
#include "common/latency_stats.h"
#include "journal/sqlite_journal.h"
#include "measure/lap_display.h"
#include "measure/measurement.h"
#include "measure/resume.h"

using namespace velmora;
using namespace velmora::bench;

namespace {

using Clock = std::chrono::steady_clock;

class ManualMono : public MonotonicClock {
  public:
    std::int64_t ns = 1'000'000'000;
    std::int64_t NowNs() const override { return ns; }
};

struct Rig {
    NullServices dialogs;
    NullServices timers;
    CountingNet net;
    FixedWall wall;
    ManualMono mono;
    Console c{Services{dialogs, timers, net, wall, mono}};

    Rig() {
        c.DeriveClock();
        ApplyDesignState(c);
        MainWindowStartupState(c);
    }
};

std::string Echo(std::int32_t lap) {
    std::string s = std::to_string(lap);
    return s.size() < 3 ? std::string(3 - s.size(), '0') + s : s;
}

// One lap of car i: the silence step opens it, the car comes back (the recording datagram,
// timed when `samples` is given) and stays in range for two more datagrams.
void DriveLap(Rig& r, int i, std::vector<std::int64_t>* samples) {
    r.mono.ns += 20'000'000'000;  // away for 20 s
    OpenNextLap(r.c, i);
    r.mono.ns += 11'000'000'000 + i * 7'000'000;
    const std::string back = Echo(r.c.st.runners[i].LapCount - 1);
    const auto t0 = Clock::now();
    HandleCarMessage(r.c, i, back);
    if (samples) samples->push_back((Clock::now() - t0).count());
    for (int d = 0; d < 2; ++d) {
        r.mono.ns += 100'000'000;
        HandleCarMessage(r.c, i, Echo(r.c.st.runners[i].LapCount));
    }
}

void Print(const char* what, std::vector<std::int64_t> ns) {
    const Percentiles p = Summarise(ns);
    std::printf("%-52s n=%-6zu p50 %8.1f us  p99 %8.1f us  max %8.1f us\n", what, p.count,
                p.p50 / 1000, p.p99 / 1000, p.max / 1000);
}

std::uintmax_t SizeOf(const std::string& path) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(path, ec);
    return ec ? 0 : n;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = ".";
    int laps = 5000;
    for (int k = 1; k + 1 < argc; k += 2) {
        if (std::string(argv[k]) == "--dir") dir = argv[k + 1];
        if (std::string(argv[k]) == "--laps") laps = std::atoi(argv[k + 1]);
    }
    const std::string path = dir + "/velmora_journal_bench.db";
    for (const char* s : {"", "-wal", "-shm"}) std::filesystem::remove(path + s);
    constexpr int kCars = 3;
    constexpr int kTimedLaps = 100;  // per car, at the end of the race

    Rig r;
    for (int i = 0; i < kCars; ++i) {
        PanelState& p = r.c.st.panels[i];
        p.Lbl_IP.caption = "127.0.0.1";
        p.Frm_Runner.back = RegisteredColour;
        p.Cmb_Driver.AddItem("Driver " + std::to_string(i));
        p.Cmb_Driver.Select(0);
    }
    StartMeasurement(r.c);
    for (int i = 0; i < kCars; ++i) HandleCarMessage(r.c, i, "000");
    const int untimed = laps - kTimedLaps;
    for (int lap = 0; lap < untimed; ++lap)
        for (int i = 0; i < kCars; ++i) DriveLap(r, i, nullptr);

    // The journal joins with the race well under way: its first commit writes everything.
    SqliteJournal journal(r.c, path, [](const std::string& t, MessageIcon) {
        std::fprintf(stderr, "%s\n", t.c_str());
    });
    r.c.journal = &journal;
    auto t0 = Clock::now();
    r.c.CommitJournal();
    std::printf("first commit of %d x %d laps: %.1f ms\n", kCars, untimed,
                std::chrono::duration<double, std::milli>(Clock::now() - t0).count());

    // Recorded laps, the commit before each reply.
    std::vector<std::int64_t> lapWith, lapWithout;
    for (int lap = 0; lap < kTimedLaps; ++lap) {
        for (int i = 0; i < kCars; ++i) {
            const bool with = lap % 2 == 0;
            r.c.journal = with ? &journal : nullptr;
            DriveLap(r, i, with ? &lapWith : &lapWithout);
            r.c.journal = &journal;
            r.c.CommitJournal();  // what the "without" lap left unwritten
        }
    }

    // Ordinary datagrams in range: nothing changes, nothing is written.
    std::vector<std::int64_t> plainWith, plainWithout, afterEvent;
    const auto writes = journal.Writes();
    for (int n = 0; n < 30000; ++n) {
        const int i = n % kCars;
        r.c.journal = n % 2 ? &journal : nullptr;
        r.mono.ns += 33'000'000;
        const std::string d = Echo(r.c.st.runners[i].LapCount);
        const auto s = Clock::now();
        HandleCarMessage(r.c, i, d);
        (n % 2 ? plainWith : plainWithout).push_back((Clock::now() - s).count());
        if (n % 2) {
            // The shell's commit after the event, once the reply is out.
            const auto a = Clock::now();
            r.c.CommitJournal();
            afterEvent.push_back((Clock::now() - a).count());
        }
    }
    r.c.journal = &journal;
    const bool nothingWritten = journal.Writes() == writes;

    // The heartbeat: the last-heard readings moved, written once, not synced.
    std::vector<std::int64_t> beat;
    for (int n = 0; n < 200; ++n) {
        r.mono.ns += 1'001'000'000;
        HandleCarMessage(r.c, n % kCars, Echo(r.c.st.runners[n % kCars].LapCount));
        const auto s = Clock::now();
        journal.Heartbeat(r.c);
        beat.push_back((Clock::now() - s).count());
    }

    std::printf("laps per car: %d; a lap grid of %d rows\n", r.c.st.runners[0].LapCount,
                r.c.st.panels[0].Spd_LapTime.RowCount());
    Print("ordinary datagram, no journal", plainWithout);
    Print("ordinary datagram, journal (nothing written)", plainWith);
    Print("  then the commit after the event (finds nothing)", afterEvent);
    std::printf("  ordinary datagrams wrote nothing: %s\n", nothingWritten ? "yes" : "NO");
    Print("lap-recording datagram, no journal", lapWithout);
    Print("lap-recording datagram, journal (synced commit)", lapWith);
    Print("heartbeat (not synced)", beat);
    // The log as a race leaves it: the checkpoint thread catches up between writes, and the
    // next write starts the log over (cut back to 4 MB).
    std::printf("write-ahead log after the loops above: %ju bytes\n", SizeOf(path + "-wal"));
    journal.WaitForCheckpoints();
    r.mono.ns += 1'001'000'000;
    HandleCarMessage(r.c, 0, Echo(r.c.st.runners[0].LapCount));
    journal.Heartbeat(r.c);
    journal.WaitForCheckpoints();
    DriveLap(r, 0, nullptr);
    std::printf("journal while running: %ju bytes + write-ahead log %ju bytes (%d checkpoints)\n",
                SizeOf(path), SizeOf(path + "-wal"), journal.Checkpoints());

    r.c.journal = nullptr;
    journal.Finish();
    std::printf("journal after End: %ju bytes (%.0f bytes a lap)\n", SizeOf(path),
                static_cast<double>(SizeOf(path)) / (kCars * laps));

    // Restoring the race into a fresh console, as the start-up does after Yes.
    {
        // Finish marked the race ended; mark it open again, as a crash would have left it.
        SqliteDb db;
        db.Open(path, false);
        db.Exec("UPDATE meta SET value = 'open' WHERE name = 'state'");
    }
    std::vector<std::int64_t> restore;
    for (int n = 0; n < 5; ++n) {
        Rig back;
        SqliteJournal j(back.c, path, {});
        const auto s = Clock::now();
        const SqliteJournal::Restored got = j.Restore();
        back.c.DeriveClock();
        ResumeServices(back.c, got.services);
        restore.push_back((Clock::now() - s).count());
        if (!got.ok || !got.problems.empty() ||
            back.c.st.panels[2].Spd_LapTime.RowCount() != r.c.st.panels[2].Spd_LapTime.RowCount()) {
            std::fprintf(stderr, "restore failed: %s\n", got.error.c_str());
            return 1;
        }
    }
    Print("restore of the whole race (3 cars)", restore);
    for (const char* s : {"", "-wal", "-shm"}) std::filesystem::remove(path + s);
    return 0;
}
