#pragma once
// The console context every operation works on: the state, the settings and clock, the file
// paths and the platform services. One instance lives for the whole run of the program.
#include <array>
#include <string>

#include "core/console_state.h"
#include "core/lap_stats_memo.h"
#include "core/race_journal.h"
#include "core/services.h"
#include "core/settings.h"
#include "core/tick_clock.h"

namespace velmora {

struct Paths {
    std::string programFolder;  // folder of the executable, no trailing separator
    std::string SettingsFilePath;
    std::string CarFilePath;
    std::string CourseFilePath;
    std::string DriverFilePath;
    std::string JournalFilePath;  // the race journal (an SQLite database)

    static Paths InFolder(const std::string& folder);
};

struct Console {
    explicit Console(Services services) : svc(services), ticks(services.mono) {}

    Services svc;
    ConsoleState st;
    MeasureSettings settings;
    ClockParams clock;
    TickClock ticks;
    Paths paths;
    RaceJournal* journal = nullptr;  // not owned; none = nothing is journaled
    // Each car's lap statistics so far, block by block (see RecomputeLapStats).
    std::array<LapStatsMemo, kPanelCount> lapStats;

    // TickCounter.
    std::int32_t TickCounter() const { return ticks.Now(); }
    // Applies `settings` to the clock parameters (after loading and after the dialog).
    void DeriveClock() { clock = DeriveClockParams(settings.Precision, settings.SilenceSeconds); }
    // Everything that arrived up to this monotonic instant has been handled (0 = up to now).
    // The thread that reads the sockets sets it before it runs the timers, so that the silence
    // step never counts as silent a car whose datagram arrived but waits to be handled.
    std::int64_t heardUntilNs = 0;
    // The tick up to which the cars' silence is known.
    std::int32_t SilenceCheckTick() const {
        return heardUntilNs != 0 ? ticks.At(heardUntilNs) : ticks.Now();
    }

    // The journal hooks (see RaceJournal); no-ops without a journal.
    JournalTicket CommitJournal() const { return journal ? journal->Commit(*this) : 0; }
    void JournalHeartbeat() const {
        if (journal) journal->Heartbeat(*this);
    }
};

}  // namespace velmora
