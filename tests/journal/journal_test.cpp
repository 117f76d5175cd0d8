// The journal keeps the race: what it writes and when, and that a console started on the
// same file comes back exactly as it was.
#include <gtest/gtest.h>

#include <atomic>

#include "analysis/lap_export.h"
#include "fault_vfs.h"
#include "journal/journal_file.h"
#include "journal_rig.h"
#include "measure/lap_correction.h"
#include "measure/measurement.h"
#include "pit/drivers.h"

namespace velmora::test {
namespace {

constexpr std::int64_t kLap = 31'000;

TEST(Journal, NothingIsWrittenBeforeTheFirstSetUp) {
    TempFolder dir;
    FakeConsole f;
    SqliteJournal journal(f.console, dir.File("j.db"), {});
    f.console.journal = &journal;
    f.st().main.Txt_Event.text = "練習";
    f.console.CommitJournal();
    EXPECT_FALSE(journal.Writing());
    EXPECT_TRUE(dir.Entries().empty());
    f.panel(1).Lbl_IP.caption = "127.0.0.2";
    f.console.CommitJournal();
    EXPECT_TRUE(journal.Writing());
    EXPECT_EQ(CheckJournal(dir.File("j.db")).found, JournalFound::Unfinished);
    f.console.journal = nullptr;
}

TEST(Journal, ARestartedConsoleIsTheConsoleThatWasJournaled) {
    TempFolder dir;
    JournalRig rig(dir.File("j.db"));
    rig.PrepareRace();
    rig.st().main.Txt_RunH.text = "24";
    rig.Start();
    rig.DriveLaps(0, 3, 1000, kLap);
    rig.DriveLaps(2, 2, 1500, kLap + 2000);
    // A remark, a corrected lap time, a lap count corrected upwards and a driver change.
    Grid& laps = rig.panel(0).Spd_LapTime;
    laps.SetCell(2, 3, "ピットイン");
    LapGridBeginEdit(rig.console, 0, 1, 1);
    laps.SetCell(1, 1, "0'30\"500");
    ParseLapCell(rig.console, 0, 1, 1);
    rig.dialogs.inputs.push_back("7");
    CorrectLapCount(rig.console, 2);
    rig.panel(0).Cmb_Driver.Select(1);
    ChooseDriver(rig.console, 0);
    rig.panel(0).Chk_ChgCnter.checked = true;
    ArmCountdown(rig.console, 0);
    rig.console.CommitJournal();
    rig.Flush();
    ASSERT_TRUE(rig.faults.empty()) << rig.faults[0];

    RestartedConsole back(rig.path, rig.wall.realMs);
    ASSERT_TRUE(back.restored.ok) << back.restored.error;
    EXPECT_TRUE(back.restored.problems.empty()) << back.restored.problems[0];
    back.Resume();
    // The resumed console shows the time of day and the time left as they are now.
    SystemClockTick(rig.console);
    const std::vector<std::string> diff = Differences(rig.console, back.console);
    EXPECT_TRUE(diff.empty()) << diff.size() << " differences, first: " << diff[0];
    for (const std::string& d : diff) ADD_FAILURE() << d;
    EXPECT_EQ(back.panel(0).Spd_LapTime.RowCount(), 3);
    EXPECT_EQ(back.panel(2).Spd_LapTime.RowCount(), 7);
    EXPECT_EQ(back.panel(0).Spd_LapTime.Cell(1, 4), "30500");
    EXPECT_TRUE(back.st().Measuring());
    // The spreadsheet export of the restored race is the one before the crash, byte for byte.
    EXPECT_EQ(BuildLapExportText(back.st(), back.console.clock),
              BuildLapExportText(rig.st(), rig.console.clock));
    // Nothing changed since the restore, so nothing is written.
    const auto writes = back.journal->Writes();
    back.console.CommitJournal();
    EXPECT_EQ(back.journal->Writes(), writes);
}

TEST(Journal, EditsAnywhereInALongLapGridAreJournaled) {
    // Only the grid's row blocks that changed since the last write are compared; edits on
    // both sides of a block's edge, before and after later writes, must all reach the file.
    TempFolder dir;
    JournalRig rig(dir.File("j.db"));
    rig.PrepareRace();
    rig.Start();
    rig.DriveLaps(0, 150, 1000, kLap);
    Grid& laps = rig.panel(0).Spd_LapTime;
    const struct {
        int row;
        const char* remark;
    } edits[] = {{2, "ピットイン"}, {100, "給油"}, {150, "最終"},  {2, ""},
                 {63, "境界前"},    {64, "境界"},  {65, "境界後"}, {128, "次"}};
    for (const auto& e : edits) {
        laps.SetCell(e.row, 3, e.remark);
        rig.console.CommitJournal();
    }
    rig.DriveLaps(0, 2, 1000 + 151 * kLap, kLap);
    rig.Flush();
    ASSERT_TRUE(rig.faults.empty()) << rig.faults[0];

    RestartedConsole back(rig.path, rig.wall.realMs);
    ASSERT_TRUE(back.restored.ok) << back.restored.error;
    back.Resume();
    SystemClockTick(rig.console);
    for (const std::string& d : Differences(rig.console, back.console)) ADD_FAILURE() << d;
    EXPECT_EQ(back.panel(0).Spd_LapTime.Cell(64, 3), "境界");
    EXPECT_EQ(back.panel(0).Spd_LapTime.Cell(2, 3), "");
}

TEST(Journal, ADatagramThatChangesNothingWritesNothing) {
    TempFolder dir;
    JournalRig rig(dir.File("j.db"));
    rig.PrepareRace();
    rig.Start();
    rig.DriveLaps(0, 1, 1000, kLap);
    const auto afterLap = rig.journal->Writes();
    // In range: every datagram is answered, none is written (the last-heard reading moves).
    for (int d = 3; d < 20; ++d) rig.CarAt(0, 1000 + kLap + 100 * d, "了解");
    EXPECT_EQ(rig.journal->Writes(), afterLap);
    // The heartbeat writes the moving figures (here the last-heard reading), once a second at
    // most.
    rig.journal->Heartbeat(rig.console);
    EXPECT_EQ(rig.journal->Writes(), afterLap + 1);
    rig.CarAt(0, 1000 + kLap + 2000, "了解");
    rig.mono.AdvanceMs(400);
    rig.journal->Heartbeat(rig.console);
    EXPECT_EQ(rig.journal->Writes(), afterLap + 1);
    rig.mono.AdvanceMs(1000);
    rig.journal->Heartbeat(rig.console);
    EXPECT_EQ(rig.journal->Writes(), afterLap + 2);
    rig.mono.AdvanceMs(1000);
    rig.journal->Heartbeat(rig.console);  // nothing moved
    EXPECT_EQ(rig.journal->Writes(), afterLap + 2);
    // A message typed for the car is a change.
    const auto before = rig.journal->Writes();
    rig.panel(0).Txt_OutMess.text = "BOX";
    rig.console.CommitJournal();
    EXPECT_EQ(rig.journal->Writes(), before + 1);
    // The traffic record waits for such a write, until kTrafficLinesPerWrite lines wait.
    for (std::size_t n = 1; n <= kTrafficLinesPerWrite; ++n) {
        rig.journal->AddTraffic({TrafficRecord{TrafficKind::In, 0, 0, 0, "000"}});
        rig.console.CommitJournal();
        EXPECT_EQ(rig.journal->Writes(), before + 1 + (n == kTrafficLinesPerWrite)) << n;
    }
}

// A car out of range changes its state line every second ("無通信 N秒"); that is written by the
// heartbeat, never as a synced commit, so a real lap never waits behind such a sync. The lap
// the silence then opens is synced.
TEST(Journal, ACarAwayCountsItsSecondsWithoutASyncedCommit) {
    TempFolder dir;
    std::atomic<int> syncs{0};
    ScopedDiskFaults counting({.onLogSync = [&syncs] { ++syncs; }});
    JournalRig rig(dir.File("j.db"));
    rig.PrepareRace();
    rig.Start();
    rig.DriveLaps(0, 1, 1000, kLap);
    const std::int64_t lastHeard = 1000 + kLap + 200;
    const int before = syncs;
    for (int s = 1; s * 1000 < rig.console.clock.SilenceTicks; ++s) {
        rig.AtTick(lastHeard + s * 1000);
        rig.Tick(0);
    }
    EXPECT_TRUE(rig.panel(0).Lbl_CarStatus.caption.starts_with("無通信"))
        << rig.panel(0).Lbl_CarStatus.caption;
    EXPECT_EQ(syncs, before);
    RestartedConsole after(rig.path, rig.wall.realMs);
    EXPECT_EQ(after.console.st.panels[0].Lbl_CarStatus.caption, rig.panel(0).Lbl_CarStatus.caption);

    rig.AtTick(lastHeard + rig.console.clock.SilenceTicks + 1);
    rig.Tick(0);
    EXPECT_EQ(rig.runner(0).LapCount, 2);
    EXPECT_GT(syncs, before);
}

TEST(Journal, TheLapIsJournaledBeforeTheCarIsTold) {
    TempFolder dir;
    JournalRig rig(dir.File("j.db"));
    rig.PrepareRace();
    rig.Start();
    // At every reply that carries a lap count, the journal already holds that lap.
    int checked = 0;
    rig.net.onSend = [&](const FakeNet::Sent& s) {
        const std::string head = s.bytes.substr(1, 3);
        if (head.size() < 3 || head.find_first_not_of("0123456789") != std::string::npos) return;
        SqliteDb db;
        ASSERT_TRUE(db.Open(rig.path, false));
        const int slot = s.id == CarSocket(0) ? 0 : 2;
        const std::string prefix = "runner." + std::to_string(slot);
        EXPECT_EQ(db.QueryText("SELECT value FROM field WHERE name = '" + prefix + ".LapCount'"),
                  std::to_string(std::stoi(head)));
        EXPECT_EQ(db.QueryText("SELECT value FROM field WHERE name = '" + prefix + ".AwayFlag'"),
                  "0");
        const std::string grid = "panel." + std::to_string(slot) + ".Spd_LapTime";
        EXPECT_EQ(db.QueryText("SELECT text FROM cell WHERE grid = '" + grid +
                               "' AND row = " + head + " AND col = 1"),
                  rig.panel(slot).Spd_LapTime.Cell(std::stoi(head), 1));
        ++checked;
    };
    rig.DriveLaps(0, 3, 1000, kLap);
    rig.DriveLaps(2, 2, 1200, kLap);
    EXPECT_GE(checked, 5 * 3);
    rig.net.onSend = nullptr;
}

// The tick counter of a measurement brought back counts on from the real time of tick 0, so
// the lap in progress is timed from its start before the crash, whatever the downtime; a wall
// clock set back meanwhile cannot take it below a reading already journaled.
TEST(Journal, TheLapInProgressIsTimedAcrossTheRestart) {
    struct Case {
        const char* what;
        const char* precision;
        std::int64_t downMs;  // real time from the crash to the restart
        bool awayAtCrash;     // the silence step had opened the lap before the crash
        std::int64_t returnTick;
        std::int64_t expectedTicks;  // of the lap recorded after the restart
    };
    const Case cases[] = {
        {"car away at the crash, back after the restart", "1/1000", 5'000, true, 70'000, 38'000},
        {"car in range at the crash, away during the downtime", "1/1000", 15'000, false, 75'000,
         43'000},
        {"a downtime longer than the lap", "1/1000", 60'000, true, 120'000, 88'000},
        {"1/100 s ticks", "1/100", 5'000, true, 7'000, 3'800},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        TempFolder dir;
        JournalRig rig(dir.File("j.db"));
        rig.console.settings.Precision = k.precision;
        rig.console.DeriveClock();
        const std::int64_t perSecond = rig.console.clock.TicksPerSecond;
        rig.PrepareRace();
        rig.Start();
        const std::int64_t startReal = rig.wall.realMs;
        // Lap 1 is recorded at 32.0 s; the car then passes for 300 ms.
        rig.DriveLaps(0, 1, perSecond, 31 * perSecond);
        const std::int64_t crashTick = k.awayAtCrash ? 45 * perSecond : 32 * perSecond + 250;
        rig.AtTick(crashTick);
        rig.Tick(0);
        ASSERT_EQ(rig.runner(0).AwayFlag, k.awayAtCrash);

        const std::int64_t crashReal = startReal + crashTick * 1000 / perSecond;
        RestartedConsole back(rig.path, crashReal + k.downMs);
        ASSERT_TRUE(back.restored.ok);
        back.Resume();
        const std::int64_t restartTick =
            (crashTick * 1000 / perSecond + k.downMs) * perSecond / 1000;
        EXPECT_EQ(back.console.TickCounter(), restartTick);
        EXPECT_TRUE(back.net.IsBound(CarSocket(0)));
        EXPECT_FALSE(back.net.IsBound(SocketId::Presence));
        // The silence step catches up (the downtime counts as silence), the car comes back.
        back.mono.ns += (k.returnTick - restartTick) * (1'000'000'000 / perSecond);
        EXPECT_TRUE(back.timers.Fire(TimerKey{TimerId::Lap, 0}));
        EXPECT_TRUE(back.net.Deliver(CarSocket(0), "001"));
        EXPECT_EQ(back.panel(0).Spd_LapTime.RowCount(), 2);
        EXPECT_EQ(back.panel(0).Spd_LapTime.Cell(2, 4), std::to_string(k.expectedTicks));
        EXPECT_EQ(back.net.sent.back().bytes.substr(0, 4), "N002");
    }
}

// A restart while the monotonic clock keeps its origin counts on from tick 0's instant on it,
// so a wall clock stepped meanwhile lengthens no lap. After the machine started again the wall
// clock is all there is; the restart after that is exact again, from the new origin.
TEST(Journal, ARestartOnTheSameClockTimesTheOpenLapWhateverTheWallClockDid) {
    struct Restart {
        const char* originId;     // the monotonic clock's after the restart
        std::int64_t downMs;      // from the crash to the restart
        std::int64_t wallStepMs;  // what the wall clock was moved by besides
    };
    struct Case {
        const char* what;
        std::vector<Restart> restarts;
        std::int64_t expectedTicks;  // of the lap open across them
    };
    // Lap 1 is recorded at 32 s, the crash comes at 45 s, the car is back 20 s after the last
    // restart: the lap is 33 s plus the downtimes, plus the step of a restart that had only
    // the wall clock to go by.
    const Case cases[] = {
        {"same clock, wall stepped 65 ms on", {{"boot-a", 5'000, 65}}, 38'000},
        {"same clock, wall set back an hour", {{"boot-a", 5'000, -3'600'000}}, 38'000},
        {"same clock, twice, wall stepped each time",
         {{"boot-a", 5'000, 40}, {"boot-a", 3'000, -30}},
         41'000},
        {"the machine started again", {{"boot-b", 5'000, 65}}, 38'065},
        {"then a restart on the new clock",
         {{"boot-b", 5'000, 65}, {"boot-b", 3'000, 500}},
         41'065},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        TempFolder dir;
        JournalRig rig(dir.File("j.db"));
        rig.mono.originId = "boot-a";
        rig.PrepareRace();
        rig.Start();
        rig.DriveLaps(0, 1, 1'000, kLap);
        rig.AtTick(45'000);
        rig.Tick(0);
        std::int64_t realMs = rig.wall.realMs + 45'000;
        std::int64_t monoNs = rig.mono.ns;
        std::string originId = rig.mono.originId;
        std::unique_ptr<RestartedConsole> back;
        for (const Restart& r : k.restarts) {
            realMs += r.downMs + r.wallStepMs;
            back = std::make_unique<RestartedConsole>(rig.path, realMs);
            back->mono.originId = r.originId;
            if (r.originId == originId) back->mono.ns = monoNs + r.downMs * 1'000'000;
            ASSERT_TRUE(back->restored.ok);
            back->Resume();
            back->console.CommitJournal();
            monoNs = back->mono.ns;
            originId = r.originId;
        }
        back->mono.AdvanceMs(20'000);
        EXPECT_TRUE(back->timers.Fire(TimerKey{TimerId::Lap, 0}));
        EXPECT_TRUE(back->net.Deliver(CarSocket(0), "001"));
        EXPECT_EQ(back->panel(0).Spd_LapTime.Cell(2, 4), std::to_string(k.expectedTicks));
    }
}

// Checkpoints run on their own thread while the race goes on, and lose nothing.
TEST(Journal, CheckpointsRunBesideTheRaceAndLoseNothing) {
    TempFolder dir;
    JournalRig rig(dir.File("j.db"));
    rig.journal->SetCheckpointFrames(4);
    rig.PrepareRace();
    rig.Start();
    for (int lap = 0; lap < 6; ++lap) {
        rig.DriveLaps(0, 1, 1000 + lap * 40'000, 31'000);
        rig.Flush();
    }
    rig.journal->WaitForCheckpoints();
    EXPECT_GT(rig.journal->Checkpoints(), 0);
    RestartedConsole back(rig.path, rig.wall.realMs);
    ASSERT_TRUE(back.restored.ok);
    back.Resume();
    SystemClockTick(rig.console);
    for (const std::string& d : Differences(rig.console, back.console)) ADD_FAILURE() << d;
}

TEST(Journal, AWallClockSetBackCannotTakeTheCountBelowWhatWasJournaled) {
    TempFolder dir;
    JournalRig rig(dir.File("j.db"));
    rig.PrepareRace();
    rig.Start();
    rig.DriveLaps(0, 2, 1000, kLap);  // lap 2 recorded at tick 63000
    RestartedConsole back(rig.path, rig.wall.realMs - 3'600'000);
    back.Resume();
    // The lap recorded at 63000 is the last reading journaled (later datagrams of the pass
    // changed nothing).
    EXPECT_EQ(back.console.TickCounter(), 63'000);
}

TEST(Journal, AStoppedRaceComesBackStopped) {
    TempFolder dir;
    JournalRig rig(dir.File("j.db"));
    rig.PrepareRace();
    rig.Start();
    rig.DriveLaps(0, 1, 1000, kLap);
    rig.AtTick(40'000);
    rig.StopYes();
    rig.console.CommitJournal();
    RestartedConsole back(rig.path, rig.wall.realMs + 600'000);
    back.Resume();
    EXPECT_FALSE(back.st().Measuring());
    EXPECT_FALSE(back.console.ticks.Running());
    EXPECT_EQ(back.console.TickCounter(), 40'000);
    EXPECT_FALSE(back.net.IsBound(CarSocket(0)));
    EXPECT_TRUE(back.timers.IsRunning(TimerKey{TimerId::NoInputBlk}));
    EXPECT_FALSE(back.timers.IsRunning(TimerKey{TimerId::Lap, 0}));
    EXPECT_EQ(back.panel(0).Spd_LapTime.Cell(1, 4), std::to_string(1000 + kLap));
}

TEST(Journal, EndMarksTheRaceFinishedAndTheNextSetUpBeginsANewJournal) {
    TempFolder dir;
    {
        JournalRig rig(dir.File("j.db"));
        rig.PrepareRace();
        rig.journal->Finish();
        EXPECT_FALSE(rig.journal->Writing());
        rig.panel(0).Txt_OutMess.text = "after End";
        rig.console.CommitJournal();  // nothing more is written
    }
    EXPECT_EQ(CheckJournal(dir.File("j.db")).found, JournalFound::Finished);
    JournalRig next(dir.File("j.db"));
    next.console.CommitJournal();
    EXPECT_TRUE(next.journal->Writing());
    EXPECT_EQ(CheckJournal(dir.File("j.db")).found, JournalFound::Unfinished);
    // The finished race is kept beside it under a dated name.
    int kept = 0;
    for (const std::string& e : dir.Entries()) {
        if (e != "j-20261207-140509.db") continue;
        EXPECT_EQ(CheckJournal(dir.File(e)).found, JournalFound::Finished);
        ++kept;
    }
    EXPECT_EQ(kept, 1);
}

// The journal lists what it keeps by name (console_image.cpp). A field or control added to
// the state must be journaled there, or named as left out, or a restart silently shows the
// start-up value: this fails until the sizes below are brought up to date with that list.
TEST(Journal, EveryPartOfTheStateIsAccountedFor) {
    EXPECT_EQ(sizeof(RunnerState), 472u) << "RunnerState changed: see console_image.cpp";
    EXPECT_EQ(sizeof(PanelState), 1936u) << "PanelState changed: see console_image.cpp";
    EXPECT_EQ(sizeof(MainFrameState), 1896u) << "MainFrameState changed: see console_image.cpp";
    EXPECT_EQ(sizeof(ConsoleState), 11256u) << "ConsoleState changed: see console_image.cpp";
    EXPECT_EQ(sizeof(MeasureSettings), 176u) << "MeasureSettings changed: see console_image.cpp";
}

}  // namespace
}  // namespace velmora::test
