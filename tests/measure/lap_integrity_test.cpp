// A lap is recorded only when the console opened it: whatever the wireless link loses,
// duplicates or reorders, and whatever a car PC echoes, every row holds the lap the car drove
// and nothing is recorded twice. A new run starts every measured slot clean.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "measure/lap_correction.h"
#include "pit/messages.h"
#include "run_rig.h"

namespace velmora::test {
namespace {

// One thing that happens to slot 0, at a tick (silence 10 s, so 10000 ticks).
struct Step {
    enum Kind { Car, Silence, Restart, Correct } kind;
    std::int64_t tick = 0;
    std::string echo;  // Car: the whole datagram; Correct: the answer
};
Step CarAt(std::int64_t t, std::string d) { return {Step::Car, t, std::move(d)}; }
Step SilenceAt(std::int64_t t) { return {Step::Silence, t, {}}; }
Step RestartAt(std::int64_t t) { return {Step::Restart, t, {}}; }  // Stop, then Start
Step CorrectAt(std::int64_t t, std::string n) { return {Step::Correct, t, std::move(n)}; }

// Pass 1 at Start (echo 000), lap 1 opened at 12000, closed at 30000 and told to the car.
std::vector<Step> FirstLap() {
    return {CarAt(1000, "000"), CarAt(1100, "000"), SilenceAt(12000), CarAt(30000, "000"),
            CarAt(30100, "001")};
}

std::vector<Step> Then(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Case {
    const char* what;
    std::vector<Step> steps;
    std::vector<std::string> ticks;  // column 4, row by row
    std::string lastReplyHead;       // flag and lap count of the last reply ("N" = no block)
};

TEST(LapIntegrity, OnlyTheConsoleOpensLaps) {
    const Case cases[] = {
        {"a clean lap", FirstLap(), {"30000"}, "N001"},
        {"reply lost: the car echoes the old count again",
         Then(FirstLap(), {CarAt(30200, "000"), CarAt(30300, "000")}),
         {"30000"},
         "N001"},
        {"stale car datagram duplicated",
         Then(FirstLap(), {CarAt(30001, "000")}),
         {"30000"},
         "N001"},
        {"stale datagram overtaken by a newer one",
         {CarAt(1000, "000"), SilenceAt(12000), CarAt(30050, "000"), CarAt(30060, "001"),
          CarAt(30070, "000")},
         {"30050"},
         "N001"},
        {"reply still in flight when the car sends again",
         {CarAt(1000, "000"), SilenceAt(12000), CarAt(30000, "000"), CarAt(30002, "000")},
         {"30000"},
         "N001"},
        {"car PC restarted mid-race echoes 000",
         Then(FirstLap(),
              {CarAt(30500, "000"), CarAt(30600, "001"), SilenceAt(41000), CarAt(60000, "001")}),
         {"30000", "30000"},
         "N002"},
        {"a stale echo at the first message of a run opens nothing",
         {CarAt(500, "005"), CarAt(600, "005")},
         {},
         "N"},
        {"a car never heard: lap 1 opens after the silence and is timed from Start",
         {SilenceAt(10001), CarAt(25000, "007")},
         {"25000"},
         "N001"},
        {"next run: the car still echoes the last run's count, equal to the opened lap",
         Then(FirstLap(),
              {RestartAt(40000), CarAt(500, "001"), SilenceAt(10501), CarAt(20000, "001")}),
         {"20000"},
         "N001"},
        {"correction, then the car still echoes its count",
         Then(FirstLap(), {CorrectAt(31000, "3"), CarAt(31500, "001"), CarAt(31600, "001")}),
         {"30000", "", "1500"},
         "N003"},
        {"correction to the count the car echoes",
         Then(FirstLap(), {CorrectAt(31000, "2"), CarAt(31500, "001"), CarAt(31600, "002")}),
         {"30000", "1500"},
         "N002"},
    };
    for (const Case& k : cases) {
        RunRig f({0});
        f.Start();
        for (const Step& s : k.steps) {
            f.AtTick(s.tick);
            switch (s.kind) {
                case Step::Car:
                    ASSERT_TRUE(f.Car(0, s.echo)) << k.what;
                    break;
                case Step::Silence:
                    f.Tick(0);
                    break;
                case Step::Restart:
                    f.StopYes();
                    f.Start();
                    break;
                case Step::Correct:
                    f.dialogs.inputs.push_back(s.echo);
                    f.dialogs.answers.push_back(MessageAnswer::Yes);
                    CorrectLapCount(f.console, 0);
                    break;
            }
        }
        const Grid& g = f.panel(0).Spd_LapTime;
        std::vector<std::string> ticks;
        for (int row = 1; row <= g.RowCount(); ++row) ticks.push_back(g.Cell(row, 4));
        EXPECT_EQ(ticks, k.ticks) << k.what;
        EXPECT_EQ(f.runner(0).LapCount, static_cast<int>(k.ticks.size())) << k.what;
        const std::string reply = Cp932ToUtf8(f.net.sent.back().bytes);
        EXPECT_EQ(reply.substr(0, k.lastReplyHead.size()), k.lastReplyHead) << k.what;
        if (k.lastReplyHead == "N") {
            EXPECT_EQ(reply, "N" + f.runner(0).OutgoingMessage) << k.what;
        }
    }
}

// Run 1: two laps recorded, the car told 002, a correction left pending at the end.
RunRig& TwoLapRunThenRestart(RunRig& f) {
    f.Start();
    for (const Step& s : FirstLap()) {
        f.AtTick(s.tick);
        if (s.kind == Step::Car) f.Car(0, s.echo);
        if (s.kind == Step::Silence) f.Tick(0);
    }
    f.AtTick(41000);
    f.Tick(0);
    f.AtTick(50000);
    f.Car(0, "001");  // lap 2: 20 s, the best
    f.Car(1, "000");
    f.AtTick(70000);
    f.runner(0).LinkFlag = "C";
    f.StopYes();
    f.Start();
    return f;
}

TEST(LapIntegrity, ANewRunStartsEveryMeasuredSlotClean) {
    struct Case {
        const char* what;
        const char* echo;  // what the car PC sends first in the new run
    };
    for (const Case& k : {Case{"a fresh car PC", "000"}, Case{"a car still echoing", "002"}}) {
        RunRig f({0, 1});
        TwoLapRunThenRestart(f);
        const RunnerState& r = f.runner(0);
        EXPECT_TRUE(r.StatusBlock.empty()) << k.what;
        EXPECT_TRUE(r.BestLapText.empty()) << k.what;
        EXPECT_EQ(r.BestLapNo, 0) << k.what;
        EXPECT_EQ(r.LastHeardTick, 0) << k.what;
        EXPECT_EQ(r.LinkFlag, "N") << k.what;

        f.AtTick(300);
        f.Car(0, k.echo);
        f.Car(1, "000");
        // The first replies are "N" and the message, as after program start; the ranking
        // shows no best lap of the last run.
        EXPECT_EQ(Cp932ToUtf8(f.net.sent.back().bytes), "N" + f.runner(1).OutgoingMessage);
        for (const RankingRow& row : f.st().main.ranking)
            EXPECT_NE(row.Lbl_BestTime.caption, "0'20\"000") << k.what;
        EXPECT_EQ(f.panel(0).Spd_LapTime.RowCount(), 0) << k.what;

        // Lap 1 opens after the silence and closes when the car is back, timed from Start.
        f.AtTick(10301);
        f.Tick(0);
        f.AtTick(33000);
        f.Car(0, k.echo);
        EXPECT_EQ(f.panel(0).Spd_LapTime.Cell(1, 4), "33000") << k.what;
        EXPECT_EQ(Cp932ToUtf8(f.net.sent.back().bytes).substr(0, 4), "N001") << k.what;
    }
}

TEST(LapIntegrity, ATypedMessageIsClearedOnlyOnceAReplyCarriedIt) {
    RunRig f({0});
    f.Start();
    TextBox& box = f.panel(0).Txt_OutMess;
    auto type = [&](const char* text) {
        box.text = text;
        TypedMessageChanged(f.console, 0);
    };
    type("BOX");
    EXPECT_EQ(box.back, PendingColour);  // not yet with the car
    f.AtTick(1000);
    f.Car(0, "000");
    EXPECT_EQ(box.back, White);
    f.AtTick(11001);
    f.Tick(0);
    EXPECT_EQ(box.text, "");  // went out during the pass: done with

    // Typed after the car's last datagram of the pass: waits for the next pass.
    f.AtTick(20000);
    f.Car(0, "000");
    type("PIT");
    f.AtTick(30001);
    f.Tick(0);
    EXPECT_EQ(box.text, "PIT");
    EXPECT_EQ(box.back, PendingColour);
    f.AtTick(40000);
    f.Car(0, "000");
    EXPECT_NE(Cp932ToUtf8(f.net.sent.back().bytes).find("ＰＩＴ"), std::string::npos);
    // Changed after it went out: the new text is pending again and survives the silence.
    type("PIT2");
    EXPECT_EQ(box.back, PendingColour);
    f.AtTick(50001);
    f.Tick(0);
    EXPECT_EQ(box.text, "PIT2");
}

}  // namespace
}  // namespace velmora::test
