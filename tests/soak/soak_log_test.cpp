#include "soak_log.h"

#include <gtest/gtest.h>

#include <sstream>

namespace velmora::soak {
namespace {

constexpr long long kSilenceUs = 1'000'000;

// Builds a proxy log for one slot: car datagrams (echo) and replies (status lap, -1 none, and
// the status block's last lap in ms).
class LogBuilder {
  public:
    LogBuilder& Car(long long t, const char* action, int echo, long long id = -1) {
        return Line(t, "c2h", id < 0 ? carId_++ : id, action, echo, -1);
    }
    LogBuilder& Reply(long long t, const char* action, int lap, long long lastMs = -1,
                      long long id = -1) {
        return Line(t, "h2c", id < 0 ? replyId_++ : id, action, lap, lastMs);
    }
    SlotReport Report() const {
        std::istringstream in(out_.str());
        std::vector<std::string> errors;
        auto reports = Analyse(ParseLog(in, &errors), kSilenceUs);
        EXPECT_TRUE(errors.empty());
        return reports[0];
    }

  private:
    LogBuilder& Line(long long t, const char* dir, long long id, const char* action, int lap,
                     long long last) {
        out_ << "ev t=" << t << " d=" << dir << " s=0 id=" << id << " a=" << action
             << " lap=" << lap << " last=" << last << "\n";
        return *this;
    }
    std::ostringstream out_;
    long long carId_ = 0, replyId_ = 0;
};

// Pass 1 after Start: the car echoes 000 and no status block exists yet.
LogBuilder FirstPass() {
    LogBuilder b;
    b.Car(1000, "fwd", 0).Reply(1100, "fwd", -1).Car(51000, "fwd", 0).Reply(51100, "fwd", -1);
    return b;
}

TEST(SoakLog, ACleanLapIsClosedOnceByTheFirstDatagramOfThePass) {
    LogBuilder b = FirstPass();
    b.Car(2000000, "fwd", 0).Reply(2000100, "fwd", 1, 2000).Car(2050000, "fwd", 1);
    b.Reply(2050100, "fwd", 1, 2000);
    const SlotReport r = b.Report();
    EXPECT_TRUE(r.problems.empty()) << r.problems.front();
    EXPECT_EQ(r.toConsole, 4);
    EXPECT_EQ(r.fromConsole, 4);
    EXPECT_EQ(r.passes, 2);
    ASSERT_EQ(r.recordings.size(), 1u);
    EXPECT_EQ(r.RecordedAgain(), 0);
    EXPECT_TRUE(r.staleByCause.empty());
    EXPECT_DOUBLE_EQ(r.ExpectedRowMs(1, 0), 2000.0);  // from Start (at 0)
    EXPECT_DOUBLE_EQ(r.CarLapMs(1, 0), 2000.0);
}

TEST(SoakLog, StaleEchoesAreAnsweredAndNamedButRecordNothing) {
    struct Case {
        const char* name;
        void (*pass2)(LogBuilder&);
        Cause cause;
        bool lostNewLap;
    } cases[] = {
        {"reply dropped",
         [](LogBuilder& b) {
             b.Car(2000000, "fwd", 0).Reply(2000100, "drop", 1, 2000);
             b.Car(2050000, "fwd", 0).Reply(2050100, "fwd", 1, 2000);
         },
         Cause::ReplyLost, true},
        {"reply held",
         [](LogBuilder& b) {
             b.Car(2000000, "fwd", 0).Reply(2000100, "hold", 1, 2000, 2);
             b.Car(2050000, "fwd", 0).Reply(2050100, "fwd", 1, 2000, 3);
             b.Reply(2050200, "rel", 1, 2000, 2);
         },
         Cause::ReplyLate, false},
        {"car datagram duplicated",
         [](LogBuilder& b) {
             b.Car(2000000, "fwd", 0, 2).Car(2000010, "dup", 0, 2);
             b.Reply(2000100, "fwd", 1, 2000).Reply(2000200, "fwd", 1, 2000);
         },
         Cause::CarDuplicate, false},
        {"car datagram reordered",
         [](LogBuilder& b) {
             b.Car(2000000, "hold", 0, 2).Car(2050000, "fwd", 0, 3).Car(2050010, "rel", 0, 2);
             b.Reply(2050100, "fwd", 1, 2050).Reply(2050200, "fwd", 1, 2050);
         },
         Cause::CarReordered, false},
        {"car sent before the reply came",
         [](LogBuilder& b) {
             b.Car(2000000, "fwd", 0).Car(2010000, "fwd", 0);
             b.Reply(2020000, "fwd", 1, 2000).Reply(2020100, "fwd", 1, 2000);
         },
         Cause::ReplyInFlight, false},
    };
    for (const Case& k : cases) {
        LogBuilder b = FirstPass();
        k.pass2(b);
        const SlotReport r = b.Report();
        EXPECT_TRUE(r.problems.empty()) << k.name << ": " << r.problems.front();
        EXPECT_EQ(r.RecordedAgain(), 0) << k.name;
        ASSERT_EQ(r.staleByCause.size(), 1u) << k.name;
        EXPECT_EQ(r.staleByCause.begin()->first, k.cause) << k.name;
        EXPECT_EQ(r.lostNewLaps.count(1) == 1, k.lostNewLap) << k.name;
    }
}

TEST(SoakLog, ALostFirstDatagramShiftsTheRowByItsPassShift) {
    LogBuilder b = FirstPass();
    b.Car(2000000, "drop", 0).Car(2050000, "fwd", 0).Reply(2050100, "fwd", 1, 2050);
    const SlotReport r = b.Report();
    EXPECT_TRUE(r.problems.empty()) << r.problems.front();
    EXPECT_DOUBLE_EQ(r.ExpectedRowMs(1, 0), 2050.0);
    EXPECT_DOUBLE_EQ(r.CarLapMs(1, 0), 2000.0);
    EXPECT_DOUBLE_EQ(r.PassShiftMs(1), 50.0);
}

TEST(SoakLog, WhatTheConsoleMustNeverDoIsAProblem) {
    struct Case {
        const char* name;
        void (*pass2)(LogBuilder&);
        const char* problem;
    } cases[] = {
        {"a row recorded a second time",
         [](LogBuilder& b) {
             b.Car(2000000, "fwd", 0).Reply(2000100, "drop", 1, 2000);
             b.Car(2050000, "fwd", 0).Reply(2050100, "fwd", 1, 50);
         },
         "recorded again"},
        {"a datagram left unanswered",
         [](LogBuilder& b) {
             b.Car(2000000, "fwd", 0).Car(2050000, "fwd", 1).Reply(2000100, "fwd", 1, 2000);
         },
         "3 replies came back"},
        {"echo ahead of the console",
         [](LogBuilder& b) { b.Car(2000000, "fwd", 5).Reply(2000100, "fwd", 1, 2000); },
         "ahead of the console's count"},
        {"a pass that closes no lap",
         [](LogBuilder& b) { b.Car(2000000, "fwd", 0).Reply(2000100, "fwd", -1); },
         "no status block"},
        {"a lap closed by a later datagram of the pass",
         [](LogBuilder& b) {
             b.Car(2000000, "fwd", 0).Reply(2000100, "fwd", -1);
             b.Car(2050000, "fwd", 0).Reply(2050100, "fwd", 1, 2050);
         },
         "no status block"},
        {"a lap closed in the middle of a pass",
         [](LogBuilder& b) {
             b.Car(2000000, "fwd", 0).Reply(2000100, "fwd", 1, 2000);
             b.Car(2050000, "fwd", 1).Reply(2050100, "fwd", 2, 50);
         },
         "not the first of a new pass"},
        {"an older row recorded after a newer one",
         [](LogBuilder& b) { b.Car(2000000, "fwd", 0).Reply(2000100, "fwd", 2, 2000); },
         "recorded after row 0"},
    };
    for (const Case& k : cases) {
        LogBuilder b = FirstPass();
        k.pass2(b);
        const SlotReport r = b.Report();
        ASSERT_FALSE(r.problems.empty()) << k.name;
        EXPECT_NE(r.problems.front().find(k.problem), std::string::npos)
            << k.name << ": " << r.problems.front();
    }
}

TEST(SoakLog, NotesAreSkippedAndBrokenLinesReported) {
    std::istringstream in(
        "note lost-new-lap s=0 lap=4\n"
        "ev t=5 d=c2h s=1 id=0 a=fwd lap=0\n"
        "ev t=6 d=h2c s=1 id=0 a=fwd lap=3 last=2000\n"
        "ev t=6 d=sideways s=1 id=0 a=fwd lap=0\n"
        "ev t=7 d=h2c s=1\n");
    std::vector<std::string> errors;
    const auto events = ParseLog(in, &errors);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].slot, 1);
    EXPECT_TRUE(events[0].carToHost);
    EXPECT_EQ(events[0].last, -1);
    EXPECT_EQ(events[1].last, 2000);
    EXPECT_EQ(errors.size(), 2u);
}

}  // namespace
}  // namespace velmora::soak
