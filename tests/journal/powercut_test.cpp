// The journal through power cuts: a race of three cars runs on a disk layer that forgets what
// was not synced (powercut_vfs.h), and the power fails at chosen points of the lap cycle. The
// journal that is left is restored, and every lap a car was told must be in its grid with the
// same text, every car's lap count at least what it was told, and no journal unreadable.
// VELMORA_POWERCUT_COUNT cuts (default 200) from VELMORA_POWERCUT_SEED; with
// VELMORA_POWERCUT_DEBUG=1 the files of a failing cut are kept in /tmp/powercut-N (as the
// power left them in raw/, as the restore left them in after/).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

#include "carlink/car_message.h"
#include "engine/console_startup.h"
#include "engine/engine_rig.h"
#include "journal/journal_file.h"
#include "journal/journal_writer.h"
#include "journal_rig.h"
#include "pit/drivers.h"
#include "powercut_vfs.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// What the cars of one race were told before the power failed: per car, the count of its last
// reply and the lap rows (row → time text and ticks) as they stood when it went out.
struct Told {
    std::array<int, 3> count{};
    std::array<std::map<int, std::pair<std::string, std::string>>, 3> rows;
    int Laps() const {
        int n = 0;
        for (const auto& r : rows) n += static_cast<int>(r.size());
        return n;
    }
};

struct Race : RunRig {
    std::unique_ptr<SqliteJournal> journal;
    std::vector<std::string> faults;

    Race(const std::string& path, PowerCutDisk& disk, Told& told) : RunRig({0, 1, 2}) {
        journal = std::make_unique<SqliteJournal>(
            console, path, [this](const std::string& t, MessageIcon) { faults.push_back(t); });
        journal->SetFileSystem(disk.files());
        journal->SetCheckpointFrames(8);  // checkpoints every few laps
        console.journal = journal.get();
        net.onSend = [this, &disk, &told](const FakeNet::Sent& s) {
            if (disk.Cut()) return;  // sent with no power: nobody heard it
            for (int i = 0; i < 3; ++i) {
                if (s.id != CarSocket(i) || s.bytes.size() < 4) continue;
                told.count[i] = std::atoi(s.bytes.substr(1, 3).c_str());
                const Grid& laps = panel(i).Spd_LapTime;
                for (int r = 1; r <= laps.RowCount(); ++r)
                    if (!laps.Cell(r, 4).empty())
                        told.rows[i][r] = {laps.Cell(r, 1), laps.Cell(r, 4)};
            }
        };
        for (int i = 0; i < 3; ++i) {
            PanelState& p = panel(i);
            p.Cmb_Driver.AddItem("Driver " + std::to_string(i));
            p.Cmb_Driver.Select(0);
            ChooseDriver(console, i);
        }
    }
    ~Race() {
        journal.reset();
        console.journal = nullptr;
    }
};

struct Event {
    std::int64_t tick;
    int car;
    bool pass;  // a datagram; otherwise the lap clock's step after the car left
};

// Three cars, `laps` laps each, the passes staggered; `race` varies the lap times.
std::vector<Event> Schedule(std::int64_t silence, int laps, int race) {
    std::vector<Event> out;
    for (int i = 0; i < 3; ++i) {
        std::int64_t t = 1000 + 700 * i;
        for (int k = 0; k <= laps; ++k) {
            for (int d = 0; d < 3; ++d) out.push_back({t + 100 * d, i, true});
            if (k < laps) out.push_back({t + 201 + silence, i, false});
            t += silence + 2500 + 211 * i + 13 * k + 17 * race;
        }
    }
    std::stable_sort(out.begin(), out.end(), [](auto& a, auto& b) { return a.tick < b.tick; });
    return out;
}

// One race from set-up to End; stops at the power cut.
void RunRace(const std::string& path, PowerCutDisk& disk, Told& told, int race) {
    Race r(path, disk, told);
    disk.SetPhase(race == 1 ? "start" : "setaside");  // race 2's first commit sets race 1 aside
    r.Start();
    r.console.CommitJournal();
    disk.SetPhase("race");
    for (const Event& e : Schedule(r.console.clock.SilenceTicks, 4, race)) {
        if (disk.Cut()) return;
        r.AtTick(e.tick);
        if (e.pass) {
            // The car echoes the count it was last told.
            char echo[8];
            std::snprintf(echo, sizeof echo, "%03d", told.count[e.car]);
            r.Car(e.car, std::string(echo) + "了解");
        } else {
            r.Tick(e.car);
            r.journal->Heartbeat(r.console);
        }
        r.journal->WaitForCheckpoints();
    }
    if (disk.Cut()) return;
    disk.SetPhase("end");
    r.journal->Finish();
}

struct Outcome {
    int unreadable = 0;
    std::vector<std::string> lost;
};

// Whether the restored console holds what the cars were told.
bool Holds(RestartedConsole& back, const Told& told) {
    for (int i = 0; i < 3; ++i) {
        if (back.runner(i).LapCount < told.count[i]) return false;
        const Grid& laps = back.panel(i).Spd_LapTime;
        for (const auto& [row, text] : told.rows[i])
            if (row > laps.RowCount() || laps.Cell(row, 1) != text.first ||
                laps.Cell(row, 4) != text.second)
                return false;
    }
    return true;
}

// Every journal left in `dir` is read; each race's told laps must be whole in one of them.
Outcome Inspect(const std::string& dir, const std::array<Told, 2>& told, std::int64_t realMs) {
    Outcome out;
    std::array<bool, 2> found{told[0].Laps() == 0 && told[0].count == std::array<int, 3>{},
                              told[1].Laps() == 0 && told[1].count == std::array<int, 3>{}};
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".db") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
        const JournalCheck check = CheckJournal(f.string());
        if (check.found == JournalFound::None) continue;
        if (check.found == JournalFound::Unreadable) {
            ++out.unreadable;
            out.lost.push_back(f.filename().string() + " unreadable: " + check.reason);
            continue;
        }
        RestartedConsole back(f.string(), realMs);
        if (!back.restored.ok || back.restored.problemCount > 0 || !back.restored.derived.empty()) {
            ++out.unreadable;
            out.lost.push_back(f.filename().string() +
                               " restored with problems: " + back.restored.error);
            continue;
        }
        for (int r = 0; r < 2; ++r) found[r] = found[r] || Holds(back, told[r]);
    }
    for (int r = 0; r < 2; ++r)
        if (!found[r])
            out.lost.push_back("race " + std::to_string(r + 1) + ": " +
                               std::to_string(told[r].Laps()) + " laps told, not all restored");
    return out;
}

std::uint64_t Knob(const char* name, std::uint64_t fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtoull(v, nullptr, 10) : fallback;
}

// The cuts of one test that fell, the laps they checked and the cuts that lost one.
struct CutTally {
    int laps = 0, unreadable = 0, lost = 0, fell = 0;

    // Restores what the cut left in `run`/after and checks it against what the races told;
    // `where` names the cut in a failure, and a failing cut's files go to `keep` when asked.
    void Check(const std::string& run, const std::array<Told, 2>& told, std::int64_t realMs,
               const std::string& where, const std::string& keep) {
        ++fell;
        const Outcome o = Inspect(run + "/after", told, realMs);
        laps += told[0].Laps() + told[1].Laps();
        unreadable += o.unreadable;
        lost += o.lost.empty() ? 0 : 1;
        for (const std::string& why : o.lost) ADD_FAILURE() << where << ": " << why;
        if (!o.lost.empty() && std::getenv("VELMORA_POWERCUT_DEBUG"))
            fs::copy(run, keep, fs::copy_options::recursive);
    }
    void Print(const char* what, std::uint64_t count, std::uint64_t seed) const {
        std::printf(
            "%s: %llu from seed %llu (%d fell), laps told and checked %d, cuts losing one %d, "
            "unreadable journals %d\n",
            what, static_cast<unsigned long long>(count), static_cast<unsigned long long>(seed),
            fell, laps, lost, unreadable);
    }
};

// Where the power fails, by the kind of moment in the lap cycle; n is "after operation n".
constexpr std::array<const char*, 6> kPoints = {"before a write",
                                                "between a write and its sync",
                                                "between a sync and the reply",
                                                "during a checkpoint",
                                                "during End",
                                                "during the rename of the old journal"};

std::vector<std::uint64_t> Candidates(const std::vector<DiskOpRecord>& log, std::size_t point) {
    std::vector<std::uint64_t> out;
    for (std::size_t j = 0; j < log.size(); ++j) {
        const DiskOpRecord& op = log[j];
        const bool write = op.op == DiskOp::Write && op.writerThread && op.phase == "race";
        switch (point) {
            case 0:
                if (write && j > 0 && log[j - 1].op != DiskOp::Write) out.push_back(j);
                break;
            case 1:
                if (write) out.push_back(j + 1);
                break;
            case 2:
                if (op.op == DiskOp::Sync && op.writerThread && op.phase == "race")
                    out.push_back(j + 1);
                break;
            case 3:
                if (!op.writerThread) out.push_back(j + 1);
                break;
            case 4:
                if (op.phase == "end") out.push_back(j + 1);
                break;
            default:
                if (op.phase == "setaside") out.push_back(j + 1);
        }
    }
    return out;
}

TEST(JournalPowerCut, NoLapACarWasToldIsLost) {
    TempFolder scratch;
    const std::uint64_t count = Knob("VELMORA_POWERCUT_COUNT", 200);
    const std::uint64_t seed = Knob("VELMORA_POWERCUT_SEED", 20261209);
    std::mt19937_64 rng(seed);

    // A run without a cut shows where each kind of moment falls.
    std::vector<DiskOpRecord> log;
    std::int64_t realMs = 0;
    {
        const std::string dir = scratch.path() + "/dry";
        fs::create_directories(dir);
        PowerCutDisk disk(dir);
        std::array<Told, 2> told;
        RunRace(dir + "/VelmoraJournal.db", disk, told[0], 1);
        RunRace(dir + "/VelmoraJournal.db", disk, told[1], 2);
        log = disk.Log();
        ASSERT_GT(told[0].Laps(), 10);
        FakeWallClock wall;
        realMs = wall.realMs;
        const Outcome whole = Inspect(dir, told, realMs);
        ASSERT_TRUE(whole.lost.empty()) << whole.lost.front();
    }
    std::array<std::vector<std::uint64_t>, kPoints.size()> at;
    for (std::size_t p = 0; p < kPoints.size(); ++p) {
        at[p] = Candidates(log, p);
        ASSERT_FALSE(at[p].empty()) << kPoints[p];
    }

    CutTally tally;
    for (std::uint64_t c = 0; c < count; ++c) {
        const std::size_t point = c % kPoints.size();
        const std::uint64_t n = at[point][rng() % at[point].size()];
        const std::string run = scratch.path() + "/cut" + std::to_string(c);
        fs::create_directories(run + "/live");
        std::array<Told, 2> told;
        {
            PowerCutDisk disk(run + "/live");
            disk.CutAfter(n, seed + c, run + "/after");
            RunRace(run + "/live/VelmoraJournal.db", disk, told[0], 1);
            if (!disk.Cut()) RunRace(run + "/live/VelmoraJournal.db", disk, told[1], 2);
            if (!disk.Cut()) {  // the run came out shorter: nothing to check
                fs::remove_all(run);
                continue;
            }
        }
        if (std::getenv("VELMORA_POWERCUT_DEBUG"))
            fs::copy(run + "/after", run + "/raw", fs::copy_options::recursive);
        tally.Check(run, told, realMs,
                    "cut " + std::to_string(c) + " (" + kPoints[point] + ", after operation " +
                        std::to_string(n) + ", seed " + std::to_string(seed + c) + ")",
                    "/tmp/powercut-" + std::to_string(c));
        fs::remove_all(run);
    }
    tally.Print("power cuts", count, seed);
    EXPECT_GE(tally.fell * 10, static_cast<int>(count) * 9);  // nearly every cut fell where aimed
    EXPECT_EQ(tally.unreadable, 0);
    EXPECT_EQ(tally.lost, 0);
}

// ---- The same races as the console runs them ----
// The engine answers the cars and hands its snapshots to the journal's writer thread, which
// merges what piles up into one synced write; a lap's reply leaves only when the writer
// reports its commit on the disk (the engine's held replies). A car is told what left before
// the power failed. The threads' timing varies from run to run, so a cut is aimed at the k-th
// operation of its kind rather than at an operation's number.

constexpr std::array<const char*, 5> kWriterPoints = {
    "between the writer's write and its sync", "between the writer's sync and its report",
    "during a checkpoint", "during End", "during the rename of the old journal"};

bool AtWriterPoint(const DiskOpRecord& op, std::size_t point) {
    const bool race = op.writerThread && op.phase == "race";
    switch (point) {
        case 0:
            return race && op.op == DiskOp::Write;
        case 1:
            return race && op.op == DiskOp::Sync;
        case 2:
            return !op.writerThread;
        case 3:
            return op.phase == "end";
        default:
            return op.phase == "setaside";
    }
}

// One race from set-up to End through the engine and the writer; stops at the power cut.
// `rng` decides after which rounds the writer catches up before the engine goes on.
void RunWriterRace(const std::string& path, PowerCutDisk& disk, Told& told, int race,
                   std::mt19937_64& rng) {
    EngineRig r({0, 1, 2});
    // A short silence: the engine runs every lap clock step, and a 10 s one costs 300 of them.
    r.console.settings.SilenceSeconds = 2;
    r.console.DeriveClock();
    JournalWriter writer(
        path, [](const std::string&, MessageIcon) {}, r.wall, r.mono);
    writer.journal().SetFileSystem(disk.files());
    writer.journal().SetCheckpointFrames(8);
    r.net.onSend = [&r, &disk, &told](const FakeEngineNet::Sent& s) {
        const int i = static_cast<int>(s.id);  // CarSocket(i)
        if (disk.Cut() || i < 0 || i > 2 || s.bytes.size() < 4) return;
        told.count[i] = std::atoi(s.bytes.substr(1, 3).c_str());
        // Rows beyond the count may hold laps whose commit is not on the disk yet.
        const Grid& laps = r.console.st.panels[i].Spd_LapTime;
        for (int row = 1; row <= std::min(told.count[i], laps.RowCount()); ++row)
            if (!laps.Cell(row, 4).empty())
                told.rows[i][row] = {laps.Cell(row, 1), laps.Cell(row, 4)};
    };
    for (int i = 0; i < 3; ++i) {
        PanelState& p = r.console.st.panels[i];
        p.Cmb_Driver.AddItem("Driver " + std::to_string(i));
        p.Cmb_Driver.Select(0);
        ChooseDriver(r.console, i);
    }
    writer.Start([&r](JournalTicket) { r.engine->Wake(); });
    r.engine->SetJournal(&writer);
    disk.SetPhase(race == 1 ? "start" : "setaside");
    r.Start();  // returns once the Start is on the disk
    disk.SetPhase("race");
    std::int64_t ms = 0;
    for (const Event& e : Schedule(r.console.clock.SilenceTicks, 4, race)) {
        if (disk.Cut()) return;
        ms = e.tick;
        if (e.pass) {
            char echo[8];
            std::snprintf(echo, sizeof echo, "%03d", told.count[e.car]);
            r.Car(e.car, std::string(echo) + "了解", ms);
        }
        r.RoundAt(ms);  // the lap clocks step on the engine's own timers
        if (rng() % 4 == 0) writer.Drain();
    }
    if (disk.Cut()) return;
    disk.SetPhase("end");
    r.dialogs.answers.push_back(MessageAnswer::Yes);
    r.engine->Post([&r, &writer](Console& c) { ConfirmEnd(c, *r.engine, writer); });
    r.RoundAt(ms + 1);
}

TEST(JournalPowerCut, NoLapACarWasToldIsLostThroughTheWritersGroupCommit) {
    TempFolder scratch;
    const std::uint64_t count = Knob("VELMORA_POWERCUT_COUNT", 200);
    const std::uint64_t seed = Knob("VELMORA_POWERCUT_SEED", 20261209);
    std::mt19937_64 rng(seed);

    // A run without a cut shows how many operations of each kind a run has.
    std::array<std::uint64_t, kWriterPoints.size()> kinds{};
    std::int64_t realMs = FakeWallClock().realMs;
    {
        const std::string dir = scratch.path() + "/dry";
        fs::create_directories(dir);
        PowerCutDisk disk(dir);
        std::array<Told, 2> told;
        RunWriterRace(dir + "/VelmoraJournal.db", disk, told[0], 1, rng);
        RunWriterRace(dir + "/VelmoraJournal.db", disk, told[1], 2, rng);
        ASSERT_GT(told[0].Laps(), 10);
        for (const DiskOpRecord& op : disk.Log())
            for (std::size_t p = 0; p < kinds.size(); ++p) kinds[p] += AtWriterPoint(op, p);
        const Outcome whole = Inspect(dir, told, realMs);
        ASSERT_TRUE(whole.lost.empty()) << whole.lost.front();
    }
    for (std::size_t p = 0; p < kinds.size(); ++p) ASSERT_GT(kinds[p], 0u) << kWriterPoints[p];

    CutTally tally;
    for (std::uint64_t c = 0; c < count; ++c) {
        const std::size_t point = c % kWriterPoints.size();
        // Short of the dry run's count: a run whose writer merged more has fewer of each.
        const std::uint64_t k = 1 + rng() % std::max<std::uint64_t>(1, kinds[point] * 3 / 4);
        const std::string run = scratch.path() + "/cut" + std::to_string(c);
        fs::create_directories(run + "/live");
        std::array<Told, 2> told;
        {
            PowerCutDisk disk(run + "/live");
            disk.CutAtMatch([point](const DiskOpRecord& op) { return AtWriterPoint(op, point); }, k,
                            seed + c, run + "/after");
            RunWriterRace(run + "/live/VelmoraJournal.db", disk, told[0], 1, rng);
            if (!disk.Cut()) RunWriterRace(run + "/live/VelmoraJournal.db", disk, told[1], 2, rng);
            if (!disk.Cut()) {
                fs::remove_all(run);
                continue;
            }
        }  // the writer stopped with the race; the disk forgot
        tally.Check(run, told, realMs,
                    "cut " + std::to_string(c) + " (" + kWriterPoints[point] + ", operation " +
                        std::to_string(k) + " of its kind, seed " + std::to_string(seed + c) + ")",
                    "/tmp/powercut-writer-" + std::to_string(c));
        fs::remove_all(run);
    }
    tally.Print("power cuts through the writer", count, seed);
    EXPECT_GE(tally.fell * 10, static_cast<int>(count) * 8);
    EXPECT_EQ(tally.unreadable, 0);
    EXPECT_EQ(tally.lost, 0);
}

}  // namespace
}  // namespace velmora::test
