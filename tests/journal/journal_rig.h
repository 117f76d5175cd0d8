#pragma once
// A console journaling into a scratch folder, driven through the real operations with the
// fakes, and a second console started "after the crash" that reads the same file back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/temp_folder.h"
#include "journal/console_image.h"
#include "journal/sqlite_journal.h"
#include "measure/resume.h"
#include "measure/run_rig.h"

namespace velmora::test {

// A race journaled from slots 0 and 2 set up; faults are collected, not shown.
struct JournalRig : RunRig {
    std::string path;
    std::vector<std::string> faults;
    std::unique_ptr<SqliteJournal> journal;

    explicit JournalRig(const std::string& file) : RunRig({0, 2}), path(file) {
        journal = std::make_unique<SqliteJournal>(
            console, path, [this](const std::string& t, MessageIcon) { faults.push_back(t); });
        console.journal = journal.get();
    }
    ~JournalRig() { console.journal = nullptr; }

    // Event data, course, car, driver and a first refuel, committed as the shell would.
    void PrepareRace();
    // Lap k of car i (k = 1, 2, ...) takes `lapTicks`; the car is in range for 300 ticks
    // (three datagrams) and the silence step opens the next lap after 10 s.
    void DriveLaps(int i, int laps, std::int64_t firstPassTick, std::int64_t lapTicks);
    // Datagrams of car i at `tick`, echoing what the console last told it.
    void CarAt(int i, std::int64_t tick, const std::string& text = "");
    std::string EchoOf(int i) const;
    // Runs the heartbeat a second later, so the figures that move on their own are written.
    void Flush();
};

// The console after a restart: start-up state as the shell makes it, then Restore.
struct RestartedConsole : FakeConsole {
    std::vector<std::string> faults;
    std::unique_ptr<SqliteJournal> journal;
    SqliteJournal::Restored restored;

    RestartedConsole(const std::string& path, std::int64_t realMs);
    ~RestartedConsole() { console.journal = nullptr; }
    // Restore, then set the services going as the shell does.
    void Resume() { ResumeServices(console, restored.services); }
};

// Every journaled value and every grid cell of two consoles, as "name=value" lines that
// differ (empty when the two agree).
std::vector<std::string> Differences(Console& a, Console& b);

}  // namespace velmora::test
