// velmora-replay JOURNAL [--speed N]: plays a race again from its journal's traffic record and
// prints each car's laps beside what the journal recorded. The journal is copied first (with its
// write-ahead log), so a journal the console is writing is never touched. --speed N plays the
// race N times faster than it was driven; without it, as fast as it goes.
//
// Output: "run N: ..." per run, then for the last run (the laps the journal's grids hold)
// "slot=S lap=L ms=M journal=J" per lap and a line "laps: R replayed, J recorded, D differ".
// Exit code 0 when every lap the car link recorded is the same to the tick, 1 when one differs,
// 2 when the journal cannot be read.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "engine/replay.h"
#include "journal/journal_reader.h"

using namespace velmora;
namespace fs = std::filesystem;

namespace {

int Usage() {
    std::fprintf(stderr, "usage: velmora-replay JOURNAL [--speed N]\n");
    return 2;
}

// A copy of the journal and its log in a folder of its own, removed at the end.
class Copy {
  public:
    explicit Copy(const std::string& journal) {
        char pattern[] = "/tmp/velmora-replay-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return;
        folder_ = pattern;
        path_ = (fs::path(folder_) / "journal.db").string();
        std::error_code ec;
        fs::copy_file(journal, path_, ec);
        if (ec) {
            error_ = ec.message();
            return;
        }
        if (fs::exists(journal + "-wal")) fs::copy_file(journal + "-wal", path_ + "-wal", ec);
        if (ec) error_ = ec.message();
    }
    ~Copy() {
        std::error_code ec;
        if (!folder_.empty()) fs::remove_all(folder_, ec);
    }
    bool ok() const { return !folder_.empty() && error_.empty(); }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

  private:
    std::string folder_, path_, error_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string journal = argv[1];
    double speed = 0;
    for (int k = 2; k < argc; ++k) {
        const std::string a = argv[k];
        if (a == "--speed" && k + 1 < argc)
            speed = std::atof(argv[++k]);
        else
            return Usage();
    }
    Copy copy(journal);
    if (!copy.ok()) {
        std::fprintf(stderr, "velmora-replay: cannot copy %s: %s\n", journal.c_str(),
                     copy.error().c_str());
        return 2;
    }
    std::vector<TrafficRecord> traffic;
    std::vector<JournaledLap> recorded;
    std::string error;
    if (!ReadJournalTraffic(copy.path(), traffic, &error) ||
        !ReadJournalLaps(copy.path(), recorded, &error)) {
        std::fprintf(stderr, "velmora-replay: %s: %s\n", journal.c_str(), error.c_str());
        return 2;
    }

    // Paced: the virtual time of each datagram, N times faster, from the run's first one.
    using Clock = std::chrono::steady_clock;
    Clock::time_point runStart;
    std::int64_t firstNs = -1;
    const auto pace = [&](std::int64_t ns) {
        if (speed <= 0) return;
        if (firstNs < 0) {
            firstNs = ns;
            runStart = Clock::now();
        }
        const auto due =
            runStart + std::chrono::nanoseconds(static_cast<std::int64_t>((ns - firstNs) / speed));
        std::this_thread::sleep_until(due);
    };
    const std::vector<ReplayedRun> runs = ReplayTraffic(traffic, pace);
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const ReplayedRun& run = runs[r];
        std::string cars;
        for (int s : run.setup.cars) cars += (cars.empty() ? "" : ",") + std::to_string(s + 1);
        std::printf("run %zu: precision %s, silence %d s, cars %s; %zu datagrams, %zu laps\n",
                    r + 1, run.setup.precision.c_str(), run.setup.silenceSeconds, cars.c_str(),
                    run.datagrams, run.laps.size());
    }
    if (runs.empty()) {
        std::printf("laps: 0 replayed (the record holds no run)\n");
        return recorded.empty() ? 0 : 1;
    }

    // The journal's grids hold the last run's laps.
    const ReplayedRun& last = runs.back();
    const std::int64_t msPerTick = 1000 / last.ticksPerSecond;
    std::map<std::pair<int, int>, const JournaledLap*> byRow;
    for (const JournaledLap& j : recorded) byRow[{j.slot, j.row}] = &j;
    int compared = 0, differ = 0;
    for (const ReplayedLap& lap : last.laps) {
        const auto it = byRow.find({lap.slot, lap.row});
        std::string journalText = "-";
        if (it != byRow.end() && !it->second->ticks.empty()) {
            journalText = it->second->ticks;
            // A row whose time was typed by the crew is not what the car link measured.
            if (!it->second->recordedAt.empty()) {
                ++compared;
                if (it->second->ticks != std::to_string(lap.ticks)) {
                    ++differ;
                    journalText += " DIFFERS";
                }
            } else {
                journalText += " (typed)";
            }
        }
        std::printf("slot=%d lap=%d ms=%lld journal=%s\n", lap.slot, lap.row,
                    static_cast<long long>(lap.ticks * msPerTick), journalText.c_str());
    }
    int recordedLaps = 0;
    for (const JournaledLap& j : recorded)
        if (!j.ticks.empty() && !j.recordedAt.empty()) ++recordedLaps;
    std::printf("laps: %zu replayed, %d recorded, %d compared, %d differ\n", last.laps.size(),
                recordedLaps, compared, differ);
    return differ == 0 && compared == recordedLaps ? 0 : 1;
}
