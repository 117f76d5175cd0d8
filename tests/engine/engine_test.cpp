// The engine thread's rounds with fake clocks and sockets: laps timed by arrival however late
// the round, timers in time order with what arrived, crew actions between datagrams, dialogs
// that do not stop the cars being served, and replies held for the journal.
#include <gtest/gtest.h>

#include <vector>

#include "core/temp_folder.h"
#include "engine/engine_dialogs.h"
#include "engine_rig.h"
#include "journal/journal_writer.h"

namespace velmora::test {
namespace {

TEST(Engine, ALapIsTimedByItsArrivalNotByWhenTheRoundGotToIt) {
    EngineRig r({0});
    r.Start();
    r.Car(0, "000", 100);
    r.RoundAt(150);
    r.RoundAt(12'000);  // the silence step has opened lap 1 by now
    ASSERT_TRUE(r.console.st.runners[0].AwayFlag);
    // Back at 13 s; the engine gets there 600 ms later (a held thread, a busy machine).
    r.Car(0, "000", 13'000);
    r.RoundAt(13'600);
    EXPECT_EQ(r.Laps(0).Cell(1, 4), "13000");
    EXPECT_EQ(r.console.st.runners[0].LastHeardTick, 13'000);
    EXPECT_EQ(r.LastReply(0).substr(0, 4), "N001");
    // The next lap is timed from that arrival too.
    r.RoundAt(25'000);
    r.Car(0, "001", 25'500);
    r.RoundAt(26'900);
    EXPECT_EQ(r.Laps(0).Cell(2, 4), "12500");
}

TEST(Engine, ADatagramThatArrivedBeforeTheSilenceEndedKeepsTheCarHeard) {
    struct Case {
        const char* what;
        std::int64_t arrivalMs;  // the car's return; the silence ends 10 s after 100 ms
        bool lap;
    } cases[] = {
        {"arrived before the edge, handled after it", 10'050, false},
        {"arrived after the edge", 10'400, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        EngineRig r({0});
        r.Start();
        r.Car(0, "000", 100);
        r.RoundAt(150);
        r.Car(0, "000", k.arrivalMs);
        // One late round: the lap clock's deadlines around the edge and the datagram together.
        r.RoundAt(10'700);
        EXPECT_EQ(r.console.st.runners[0].LapCount, k.lap ? 1 : 0);
        EXPECT_EQ(r.Laps(0).RowCount(), k.lap ? 1 : 0);
        if (k.lap) {
            EXPECT_EQ(r.Laps(0).Cell(1, 4), std::to_string(k.arrivalMs));
        }
    }
}

TEST(Engine, CrewActionsRunAfterTheDatagramsOfTheirRoundAndEachIsPublished) {
    EngineRig r({0, 1});
    r.Start();
    r.Car(0, "000", 100);
    const std::uint64_t typed =
        r.engine->Post([](Console& c) { c.st.panels[0].Txt_OutMess.text = "BOX"; });
    r.RoundAt(200);
    // The datagram of this round was answered before the action: no message yet.
    EXPECT_EQ(r.LastReply(0), "N");
    const auto snap = r.engine->Latest();
    ASSERT_NE(snap, nullptr);
    EXPECT_EQ(snap->commandsBegun, typed);
    EXPECT_EQ(snap->st.panels[0].Txt_OutMess.text, "BOX");
    r.Car(0, "000", 300);
    r.RoundAt(350);
    EXPECT_EQ(r.LastReply(0), "NＢＯＸ");
    // A snapshot is a copy: later changes do not reach it.
    r.engine->Post([](Console& c) { c.st.panels[0].Txt_OutMess.text = "PIT"; });
    r.RoundAt(400);
    EXPECT_EQ(snap->st.panels[0].Txt_OutMess.text, "BOX");
}

TEST(Engine, CarsAreAnsweredWhileADialogWaitsAndOtherActionsWaitForIt) {
    EngineRig r({0});
    EngineDialogs::Hooks hooks;
    std::uint64_t asked = 0;
    hooks.show = [&](DialogRequest q) { asked = q.id; };
    EngineDialogs* dialogs = nullptr;
    hooks.waitUntil = [&](const std::function<bool()>& answered) {
        // While the question is on screen: the car comes by and a second action is posted.
        r.Car(0, "000", 300);
        r.engine->Post([](Console& c) { c.st.panels[0].Txt_OutMess.text = "later"; });
        r.mono.ns = r.Ns(400);
        r.engine->Round(true);
        EXPECT_EQ(r.LastReply(0), "N");
        EXPECT_TRUE(r.console.st.panels[0].Txt_OutMess.text.empty());
        dialogs->Answer(DialogAnswer{asked, MessageAnswer::Yes, {}});
        r.engine->WaitUntil(answered);
    };
    EngineDialogs bridge(hooks);
    dialogs = &bridge;
    r.Start();
    MessageAnswer got = MessageAnswer::No;
    r.engine->Post([&](Console&) {
        got = bridge.MessageBox("ストップしますか？", "Stop確認", MessageButtons::YesNo,
                                MessageIcon::Critical);
    });
    r.RoundAt(200);
    EXPECT_EQ(got, MessageAnswer::Yes);
    EXPECT_EQ(r.console.st.panels[0].Txt_OutMess.text, "later");
}

// A lap's reply waits for the journal; another car's reply does not, and snapshots that pile
// up while a write runs share one write.
TEST(Engine, ALapReplyLeavesOnceItsCommitIsOnTheDiskAndNoOtherCarWaits) {
    TempFolder dir;
    EngineRig r({0, 1});
    std::vector<std::string> reports;
    JournalWriter writer(
        dir.File("VelmoraJournal.db"),
        [&](const std::string& t, MessageIcon) { reports.push_back(t); }, r.wall, r.mono);
    writer.Start([&r](JournalTicket) { r.engine->Wake(); });
    r.engine->SetJournal(&writer);
    r.Start();
    r.Car(0, "000", 100);
    r.Car(1, "000", 100);
    r.RoundAt(200);
    // Car 1 stays near the pit; car 0 goes out on its lap.
    for (std::int64_t ms : {5'000, 9'500, 12'000}) {
        r.Car(1, "000", ms);
        r.RoundAt(ms + 10);
        writer.Drain();
    }
    r.RoundAt(12'050);
    const std::size_t before = r.net.sent.size();

    // Car 0 closes its lap; car 1, still out of its silence, is simply answered.
    r.Car(0, "000", 12'500);
    r.RoundAt(12'510);
    EXPECT_EQ(r.net.Waiting(CarSocket(0)), 1u);
    EXPECT_EQ(r.Laps(0).Cell(1, 4), "12500");
    // Whatever car 0 sends now waits behind its lap's reply, in order.
    r.Car(0, "001", 12'520);
    r.Car(1, "000", 12'520);
    r.RoundAt(12'530);
    EXPECT_EQ(r.net.Waiting(CarSocket(0)), 2u);
    ASSERT_EQ(r.net.sent.size(), before + 1);
    EXPECT_EQ(r.net.sent.back().id, CarSocket(1));

    writer.Drain();
    r.RoundAt(12'540);
    EXPECT_EQ(r.net.Waiting(CarSocket(0)), 0u);
    ASSERT_EQ(r.net.sent.size(), before + 3);
    EXPECT_EQ(Cp932ToUtf8(r.net.sent[before + 1].bytes).substr(0, 4), "N001");
    EXPECT_EQ(r.net.sent[before + 2].id, CarSocket(0));
    EXPECT_TRUE(reports.empty());
}

// One car, a journal writer on its own thread, and the live console's snapshot gap.
struct GappedRig {
    TempFolder dir;
    EngineRig r = EngineRig({0});
    JournalWriter writer{dir.File("VelmoraJournal.db"), [](const std::string&, MessageIcon) {},
                         r.wall, r.mono};
    GappedRig() {
        writer.Start([this](JournalTicket) { r.engine->Wake(); });
        r.engine->SetJournal(&writer);
        r.engine->SetPublishGap(10'000'000);
    }
};

TEST(Engine, DatagramsAndLapClocksPublishOncePerGapWhileLapsAndActionsPublishAtOnce) {
    GappedRig g;
    EngineRig& r = g.r;
    JournalWriter& writer = g.writer;
    r.Start();
    const auto seq = [&r] { return r.engine->Latest()->seq; };
    const auto heard = [&r] { return r.engine->Latest()->st.runners[0].LastHeardTick; };
    r.Car(0, "000", 100);  // the car's first datagram is journaled
    r.RoundAt(101);
    writer.Drain();
    r.RoundAt(150);
    r.Car(0, "000", 200);
    r.RoundAt(201);
    const std::uint64_t first = seq();
    EXPECT_EQ(heard(), 200);
    // Within the gap the car is answered but the snapshot waits; after it, it goes out.
    r.Car(0, "000", 203);
    r.RoundAt(204);
    EXPECT_EQ(r.LastReply(0), "N");
    EXPECT_EQ(seq(), first);
    r.RoundAt(212);
    EXPECT_EQ(seq(), first + 1);
    EXPECT_EQ(heard(), 203);
    // A crew action is shown at once, however recent the last snapshot.
    r.engine->Post([](Console& c) { c.st.panels[0].Txt_OutMess.text = "BOX"; });
    r.RoundAt(213);
    EXPECT_EQ(r.engine->Latest()->st.panels[0].Txt_OutMess.text, "BOX");
    // The lap clocks' heartbeat (every tick) rides the gap as the datagrams do.
    std::vector<std::int64_t> published{213};
    for (std::int64_t ms = 214; ms < 700; ++ms) {
        const std::uint64_t before = seq();
        r.Car(0, "000", ms);
        r.RoundAt(ms);
        if (seq() != before) published.push_back(ms);
    }
    EXPECT_GE(published.size(), 40u);
    for (std::size_t k = 1; k < published.size(); ++k)
        EXPECT_GE(published[k] - published[k - 1], 10) << "at " << published[k] << " ms";
    // So is a lap: its reply waits for the commit its snapshot carries.
    r.RoundAt(11'000);
    writer.Drain();
    r.Car(0, "000", 11'500);
    r.RoundAt(11'501);
    EXPECT_EQ(r.engine->Latest()->st.runners[0].LapCount, 1);
    writer.Drain();
    r.RoundAt(11'502);
    EXPECT_EQ(r.LastReply(0).substr(0, 4), "N001");
}

TEST(Engine, DatagramsAndLapClocksWakeTheWriterOncePerGapWhileALapWakesItAtOnce) {
    GappedRig g;
    EngineRig& r = g.r;
    JournalWriter& writer = g.writer;
    r.engine->SetWriterGap(100'000'000);
    r.Start();
    r.Car(0, "000", 100);
    r.RoundAt(101);
    writer.Drain();
    // Half a second of a datagram every 5 ms, then two every millisecond, with the lap clocks:
    // a wake-up per gap, whatever was handed over meanwhile written within it, unless 128
    // traffic records wait before that (64 ms at the faster rate: this net records arrivals
    // only).
    std::uint64_t wakes = writer.Wakes();
    std::vector<std::int64_t> wokenAt;
    for (std::int64_t ms = 102; ms < 1102; ++ms) {
        for (int n = 0; n < (ms < 602 ? ms % 5 == 0 : 2); ++n) r.Car(0, "000", ms);
        r.RoundAt(ms);
        if (writer.Wakes() != wakes) wokenAt.push_back(ms);
        wakes = writer.Wakes();
    }
    ASSERT_GE(wokenAt.size(), 10u);
    for (std::size_t k = 1; k < wokenAt.size(); ++k) {
        // At the faster rate, the first snapshot (10 ms apart) after 64 ms.
        const std::int64_t gap = wokenAt[k] < 602 ? 100 : wokenAt[k - 1] >= 602 ? 70 : 0;
        if (gap != 0) {
            EXPECT_EQ(wokenAt[k] - wokenAt[k - 1], gap) << "at " << wokenAt[k] << " ms";
        }
    }
    // The car silent: the lap clocks go on waking it once per gap until the silence opens a
    // lap; the car's return wakes it at once, however recent the last wake-up.
    std::int64_t lastWake = 0;
    for (std::int64_t ms = 1102; ms < 11'500; ++ms) {
        r.RoundAt(ms);
        if (writer.Wakes() != wakes) lastWake = ms;
        wakes = writer.Wakes();
    }
    ASSERT_GT(lastWake, 11'400);
    r.Car(0, "000", 11'500);
    r.RoundAt(11'500);
    EXPECT_EQ(r.console.st.runners[0].LapCount, 1);
    EXPECT_EQ(writer.Wakes(), wakes + 1);
    writer.Drain();
    r.RoundAt(11'501);
    EXPECT_EQ(r.LastReply(0).substr(0, 4), "N001");
}

TEST(Engine, DatagramsKeptBeforeTheConsoleCouldActCatchUpOnTheSilence) {
    // Kept while the restore question was open: the car left and came back meanwhile (a gap
    // longer than the silence), then stayed near the pit.
    EngineRig r({0});
    r.Start();
    r.Car(0, "000", 100);
    r.RoundAt(150);
    r.engine->Post([](Console& c) { c.svc.timers.Stop(TimerKey{TimerId::Lap, 0}); });
    r.RoundAt(160);
    for (std::int64_t ms : {200, 300, 15'000, 15'100})
        r.net.Arrive(CarSocket(0), "000", r.Ns(ms), /*held=*/true);
    r.RoundAt(20'000);
    EXPECT_EQ(r.console.st.runners[0].LapCount, 1);
    EXPECT_EQ(r.Laps(0).Cell(1, 4), "15000");
    EXPECT_FALSE(r.console.st.runners[0].AwayFlag);
}

// A timer's handler that asks the crew something (the run reaching the clock's limit) while
// more datagrams of the same round wait: the rounds run while the question is open handle what
// arrives meanwhile, and the first round then goes on with its own datagrams.
TEST(Engine, ADialogFromATimerInTheMiddleOfARoundLosesNoDatagram) {
    EngineRig r({0});
    std::uint64_t asked = 0;
    EngineDialogs* bridge = nullptr;
    EngineDialogs::Hooks hooks;
    hooks.show = [&](DialogRequest q) { asked = q.id; };
    hooks.waitUntil = [&](const std::function<bool()>& answered) {
        r.Car(0, "000", 750);
        r.mono.ns = r.Ns(800);
        r.engine->Round(true);
        bridge->Answer(DialogAnswer{asked, MessageAnswer::Ok, {}});
        r.engine->WaitUntil(answered);
    };
    EngineDialogs dialogs(hooks);
    bridge = &dialogs;
    r.Start();
    int asks = 0;
    r.engine->Post([&](Console& c) {
        c.svc.timers.Start(TimerKey{TimerId::OtherLap}, 500, [&] {
            if (++asks == 1) dialogs.MessageBox("?", "", MessageButtons::Ok, MessageIcon::None);
        });
    });
    r.RoundAt(10);
    // Two datagrams around the timer's deadline (510 ms), read in one late round.
    r.Car(0, "000", 400);
    r.Car(0, "000", 600);
    r.RoundAt(700);
    EXPECT_EQ(asks, 1);
    EXPECT_EQ(r.console.st.runners[0].LastHeardTick, 750);
    std::size_t replies = 0;
    for (const auto& s : r.net.sent) replies += s.id == CarSocket(0);
    EXPECT_EQ(replies, 3u);
}

}  // namespace
}  // namespace velmora::test
