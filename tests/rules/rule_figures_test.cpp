// The rules applied live on a console driven like the real one: datagrams and the silence
// step on fake clocks, the figures derived after each step as the engine's thread does.
#include "analysis/rule_figures.h"

#include <gtest/gtest.h>

#include <functional>

#include "analysis/rule_table.h"
#include "measure/lap_correction.h"
#include "measure/run_rig.h"
#include "rules/stint_warning.h"

namespace velmora::test {
namespace {

constexpr std::int64_t s = 1000;  // ticks at 1/1000 are ms
constexpr std::int64_t m = 60 * s;

struct RuleRig : RunRig {
    RuleFigures figures;

    explicit RuleRig(const DrivingRules& rules) : RunRig({0}) {
        SetRuleSettings(console.st, RuleSettings{rules, {}});
        panel(0).Cmb_Driver.text = "A";
        Start();
    }
    // One step of the engine's thread at tick `t`: the lap clock's step, then the figures.
    void At(std::int64_t t) {
        AtTick(t);
        Tick(0);
        figures.Refresh(console);
    }
    // The car in range from `from` to `to`, a datagram every half second.
    void Pass(std::int64_t from, std::int64_t to) {
        for (std::int64_t t = from; t <= to; t += s / 2) {
            AtTick(t);
            Car(0, "000");
            figures.Refresh(console);
        }
    }
    // The message part of the car's last reply: after the flag and the status block.
    std::string LastMessage() {
        return Cp932ToUtf8(net.sent.back().bytes).substr(1 + runner(0).StatusBlock.size());
    }
    // What an engine given every row at once says now.
    RuleReport Rebuilt() {
        const Grid& laps = panel(0).Spd_LapTime;
        std::vector<LapInput> in;
        for (int row = 1; row <= RuleLapRows(laps); ++row)
            in.push_back(RuleLapInput(laps, row, console.clock));
        RuleEngine engine(figures.Settings().rules);
        engine.Reset(in);
        return engine.Evaluate({std::int64_t{console.TickCounter()}, panel(0).Cmb_Driver.text,
                                !runner(0).AwayFlag, std::nullopt});
    }
    std::vector<std::string> TableColumn(int col) {
        std::vector<std::string> out;
        for (int row = 1; row <= panel(0).Spd_Stints.RowCount(); ++row)
            out.push_back(panel(0).Spd_Stints.Cell(row, col));
        return out;
    }
};

TEST(RuleFigures, LapsAndPassEndsFedOneByOneAgreeWithARebuildAfterEveryCorrection) {
    DrivingRules rules;
    rules.maxStintMs = 20 * m;
    rules.minStopMs = 30 * s;
    RuleRig f(rules);
    f.Pass(0, 1 * s);
    f.At(11 * s + 1);  // lap 1 opens
    f.Pass(60 * s, 61 * s);
    f.At(71 * s + 1);
    f.Pass(120 * s, 121 * s);
    f.At(131 * s + 1);
    // Lap 3 ends in a 40 s stop; the crew picks the next driver while the car stands.
    f.Pass(180 * s, 200 * s);
    f.panel(0).Cmb_Driver.text = "B";
    f.Pass(200 * s, 220 * s);
    f.At(230 * s + 1);
    f.Pass(290 * s, 291 * s);
    f.At(301 * s + 1);

    const Grid& g = f.panel(0).Spd_LapTime;
    EXPECT_EQ(g.Cell(3, kLapClosedTickColumn), "180000");
    EXPECT_EQ(g.Cell(3, kLapPassEndTickColumn), "220000");
    EXPECT_EQ(g.Cell(4, kLapPassEndTickColumn), "291000");
    EXPECT_EQ(f.figures.Report(0), f.Rebuilt());
    EXPECT_EQ(f.TableColumn(1), (std::vector<std::string>{"走行", "停止", "走行"}));
    EXPECT_EQ(f.TableColumn(2), (std::vector<std::string>{"A", "A→B", "B"}));
    EXPECT_EQ(f.TableColumn(3), (std::vector<std::string>{"1～3", "3", "4"}));
    EXPECT_EQ(f.TableColumn(5), (std::vector<std::string>{"0:03:00", "0:00:40", "0:01:50"}));

    // Every kind of change to rows the engine already took, then the same with none.
    const std::function<void(Console&)> edits[] = {
        [](Console& c) { c.st.panels[0].Spd_LapTime.SetCell(2, 2, "C"); },
        [](Console& c) {
            c.st.panels[0].Spd_LapTime.SetCell(1, 1, "1'30\"000");
            ParseLapCell(c, 0, 1, 1);
        },
        [](Console& c) { c.st.panels[0].Spd_LapTime.DeleteRow(2); },
        [](Console& c) { c.st.panels[0].Spd_LapTime.SetCell(1, 3, "雨"); },
        [](Console& c) { c.st.panels[0].Spd_LapTime.SetCell(3, kLapPassEndTickColumn, ""); },
    };
    for (const auto& edit : edits) {
        edit(f.console);
        f.figures.Refresh(f.console);
        EXPECT_EQ(f.figures.Report(0), f.Rebuilt());
    }
}

TEST(RuleFigures, TimeLeftAndTheCarsWarningAtFiveAndOneMinutesOncePerStint) {
    DrivingRules rules;
    rules.maxStintMs = 2 * m;
    RuleRig f(rules);
    const std::string five = " [ あと5分でドライバー交代です ] ";
    const std::string one = " [ あと1分でドライバー交代です ] ";
    struct Step {
        std::int64_t t;
        std::function<void(RuleRig&)> act;
        const char* due;
        Colour back;
        std::string message;  // of the car's last reply
    };
    const Step steps[] = {
        // With two minutes to drive the five-minute message is due at once.
        {0, [](RuleRig& r) { r.Pass(0, 1 * s); }, "交代まで 2分", ChangeSoonColour, five},
        {60 * s - 1, {}, "交代まで 2分", ChangeSoonColour, five},
        {60 * s, {}, "交代まで 1分", ChangeNowColour, five},
        // The lap closes 30 s before the limit: the reply carries the one-minute message.
        {90 * s, [](RuleRig& r) { r.Pass(90 * s, 90 * s); }, "交代まで 1分", ChangeNowColour, one},
        // B is chosen while the car stands: a new stint from the moment the car came in.
        {90 * s + 500,
         [](RuleRig& r) {
             r.panel(0).Cmb_Driver.text = "B";
             r.figures.Refresh(r.console);
             r.Pass(90 * s + 500, 91 * s);
         },
         "交代まで 2分", ChangeSoonColour, five},
        {150 * s, {}, "交代まで 1分", ChangeNowColour, five},
        {210 * s, {}, "交代まで 0分", ChangeNowColour, five},
        {210 * s + 1, {}, "交代時間超過 1分", ChangeOverColour, five},
        // Back from the lap 2 minutes over: still the one-minute message, never a repeat.
        {330 * s, [](RuleRig& r) { r.Pass(330 * s, 330 * s); }, "交代時間超過 2分",
         ChangeOverColour, one},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.t);
        if (step.act)
            step.act(f);
        else
            f.At(step.t);
        EXPECT_EQ(f.panel(0).Lbl_ChangeDue.caption, step.due);
        EXPECT_EQ(f.panel(0).Lbl_ChangeDue.back, step.back);
        EXPECT_EQ(f.LastMessage(), step.message);
    }
    // The breach is listed, dated when the maximum was reached, on the lap being driven.
    const std::vector<std::string> kinds = f.TableColumn(1);
    ASSERT_EQ(kinds.back(), "違反");
    const int row = static_cast<int>(kinds.size());
    EXPECT_EQ(f.panel(0).Spd_Stints.Cell(row, 2), "B");
    EXPECT_EQ(f.panel(0).Spd_Stints.Cell(row, 4), "0:03:30");
    EXPECT_EQ(f.panel(0).Spd_Stints.Cell(row, 6), "連続走行超過 規定0:02:00");
    EXPECT_EQ(f.panel(0).Lbl_RuleNote.caption, "違反1件");
}

TEST(RuleFigures, AStopTooShortShowsOnThePanelAsTheCarLeaves) {
    struct Case {
        std::int64_t stopMs;
        const char* note;  // once the car has left
        Colour back;
        std::vector<std::string> kinds;
    };
    const Case cases[] = {
        {25 * s, "停止不足0:25 違反1件", ShortStopColour, {"走行", "停止", "違反"}},
        {30 * s, "", White, {"走行", "停止"}},  // exactly the minimum
        {15 * s, "", White, {"走行"}},          // no longer than a pass may be: no stop
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopMs);
        DrivingRules rules;
        rules.minStopMs = 30 * s;
        RuleRig f(rules);
        f.Pass(0, 1 * s);
        f.At(11 * s + 1);
        f.Pass(60 * s, 60 * s + c.stopMs);
        EXPECT_EQ(f.panel(0).Lbl_RuleNote.caption, "");  // standing: not judged yet
        f.At(70 * s + c.stopMs + 1);                     // the silence step: the car left
        EXPECT_EQ(f.panel(0).Lbl_RuleNote.caption, c.note);
        EXPECT_EQ(f.panel(0).Lbl_RuleNote.back, c.back);
        EXPECT_EQ(f.TableColumn(1), c.kinds);
    }
}

}  // namespace
}  // namespace velmora::test
