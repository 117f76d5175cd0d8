// A race under the driving-time rules comes back from its journal with the same stints, stops,
// breaches and panel lines, and the car is not told again what it was already told.
#include <gtest/gtest.h>

#include "analysis/rule_figures.h"
#include "journal_rig.h"
#include "measure/measurement.h"
#include "pit/drivers.h"
#include "rules/rule_settings.h"
#include "rules/stint_warning.h"

namespace velmora::test {
namespace {

constexpr std::int64_t s = 1000;  // ticks at 1/1000 are ms

// Each step as the engine's thread takes it: the event, the rule figures, the journal.
struct RulesRace {
    Console& c;
    RuleFigures figures;

    void Derive() {
        figures.Refresh(c);
        c.CommitJournal();
    }
};

struct Rig : JournalRig {
    RulesRace race{console, {}};
    using JournalRig::JournalRig;

    void Pass(std::int64_t from, std::int64_t to) {
        for (std::int64_t t = from; t <= to; t += s / 2) {
            CarAt(0, t, "了解");
            race.Derive();
        }
    }
    void At(std::int64_t t) {
        AtTick(t);
        Tick(0);
        race.Derive();
    }
};

TEST(JournalRules, ARestoredRaceKeepsItsStintsBreachesAndWarningsSent) {
    TempFolder dir;
    Rig rig(dir.File("j.db"));
    DrivingRules rules;
    rules.maxStintMs = 2 * 60 * s;
    rules.minStopMs = 30 * s;
    rules.penaltyLaps = 1;
    rig.PrepareRace();
    SetRuleSettings(rig.st(), RuleSettings{rules, {}});
    rig.Start();
    const std::int64_t startReal = rig.wall.realMs;
    rig.Pass(0, 1 * s);
    rig.At(11 * s + 1);
    rig.Pass(90 * s, 90 * s);
    rig.At(100 * s + 1);
    // Lap 2 ends 30 s over the maximum stint, in a stop of 25 s where Smith takes over.
    rig.Pass(150 * s, 160 * s);
    rig.panel(0).Cmb_Driver.Select(1);
    ChooseDriver(rig.console, 0);
    rig.race.Derive();
    rig.Pass(160 * s + 500, 175 * s);
    rig.At(185 * s + 1);
    // Smith's stint runs from 150 s: 85 s left, the five-minute message has gone out.
    const Grid& table = rig.panel(0).Spd_Stints;
    std::vector<std::string> kinds;
    for (int row = 1; row <= table.RowCount(); ++row)
        kinds.push_back(table.Cell(row, kStintCodeColumn));
    EXPECT_EQ(kinds, (std::vector<std::string>{"", "stintTooLong", "short", "", "stopTooShort"}));
    EXPECT_EQ(rig.panel(0).Lbl_ChangeDue.caption, "交代まで 2分");
    EXPECT_EQ(rig.panel(0).Lbl_RuleNote.caption, "停止不足0:25 違反2件(2周)");
    EXPECT_EQ(rig.runner(0).ChangeWarningSent, static_cast<int>(StintWarning::FiveMinutes));
    rig.Flush();
    rig.race.Derive();
    ASSERT_TRUE(rig.faults.empty()) << rig.faults[0];

    const std::int64_t crashTick = rig.console.TickCounter();
    RestartedConsole back(rig.path, startReal + crashTick);
    ASSERT_TRUE(back.restored.ok) << back.restored.error;
    EXPECT_TRUE(back.restored.problems.empty()) << back.restored.problems[0];
    back.Resume();
    ASSERT_EQ(back.console.TickCounter(), crashTick);
    RulesRace again{back.console, {}};
    again.Derive();
    SystemClockTick(rig.console);
    std::vector<std::string> diff = Differences(rig.console, back.console);
    for (const std::string& d : diff) ADD_FAILURE() << "after the restore: " << d;

    // Both go on to Smith's last minute: each sends the one-minute message once, the restored
    // one no five-minute message again.
    const std::int64_t oneMinuteLeft = 211 * s;
    rig.At(oneMinuteLeft);
    back.mono.ns += (oneMinuteLeft - crashTick) * 1'000'000;
    back.timers.Fire(TimerKey{TimerId::Lap, 0});
    again.Derive();
    SystemClockTick(rig.console);
    SystemClockTick(back.console);
    EXPECT_EQ(back.runner(0).ChangeWarningSent, static_cast<int>(StintWarning::OneMinute));
    EXPECT_EQ(back.runner(0).ChangeWarningText, "あと1分でドライバー交代です");
    EXPECT_EQ(back.panel(0).Lbl_ChangeDue.caption, "交代まで 1分");
    diff = Differences(rig.console, back.console);
    for (const std::string& d : diff) ADD_FAILURE() << "a minute on: " << d;
}

}  // namespace
}  // namespace velmora::test
