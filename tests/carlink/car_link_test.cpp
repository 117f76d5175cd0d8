#include <gtest/gtest.h>

#include "carlink/laps.h"
#include "link_rig.h"

namespace velmora::test {
namespace {

TEST(StatusBlock, MatchesTheDocumentedReplyByteForByte) {
    LinkRig f({0});
    RunnerState& r = f.runner(0);
    r.LapCount = 5;
    r.LastLapTicks = 83450;
    r.DriverBestTicks = 81230;
    r.DriverTotalTicks = 165000;
    r.DriverLapCount = 2;
    f.st().EndTimeSet = true;
    f.st().MeasureEndTime = FromCivil({2026, 12, 7, 16, 0, 0});
    r.StatusBlock = BuildStatusBlock(f.console, 0);
    EXPECT_EQ("N" + r.StatusBlock, "N0050000083450000008123000000825002026/12/0714:05:0916:00:00");

    // Without a run length neither the clock nor the end time goes out.
    f.st().EndTimeSet = false;
    EXPECT_EQ(BuildStatusBlock(f.console, 0).substr(33), "2026/12/0700:00:0000:00:00");
}

TEST(StatusBlock, FieldsAreMillisecondsWithHalvesAwayFromZero) {
    struct Case {
        const char* precision;
        std::int32_t laps, lastTicks, totalTicks, driverLaps;
        std::string head;  // lap count, last lap ms, best ms, average ms
    };
    const std::string zero10 = "0000000000";
    const Case cases[] = {
        {"1/1000", 1, 3, 3, 2, "001" + std::string("0000000003") + zero10 + "0000000002"},
        {"1/100", 12, 8345, 1, 4, "012" + std::string("0000083450") + zero10 + "0000000003"},
        {"1/1000", 1000, 0, 0, 1, "1000" + zero10 + zero10 + zero10},
    };
    for (const Case& k : cases) {
        LinkRig f({0});
        f.console.settings.Precision = k.precision;
        f.console.DeriveClock();
        RunnerState& r = f.runner(0);
        r.LapCount = k.laps;
        r.LastLapTicks = k.lastTicks;
        r.DriverBestTicks = 0;
        r.DriverTotalTicks = k.totalTicks;
        r.DriverLapCount = k.driverLaps;
        const std::string block = BuildStatusBlock(f.console, 0);
        EXPECT_EQ(block.substr(0, k.head.size()), k.head) << k.precision << " " << k.laps;
        EXPECT_EQ(block.size(), k.head.size() + 26);
    }
}

TEST(HandleCarMessage, FirstEchoOfZeroTakesTheShortBranch) {
    LinkRig f({0});
    f.AtTick(1234);
    f.Car(0, "000");
    ASSERT_EQ(f.net.sent.size(), 1u);
    EXPECT_EQ(f.net.sent[0].id, CarSocket(0));
    EXPECT_EQ(f.net.sent[0].host, "127.0.0.1");
    EXPECT_EQ(f.net.sent[0].port, 7012);
    EXPECT_EQ(f.LastReply(), "N" + f.runner(0).OutgoingMessage);  // no status block yet
    EXPECT_EQ(f.runner(0).LapCount, 0);
    EXPECT_EQ(f.panel(0).Spd_LapTime.RowCount(), 0);
    EXPECT_EQ(f.runner(0).LastHeardTick, 1234);
}

TEST(HandleCarMessage, TheFirstDatagramAfterTheConsoleOpenedALapRecordsItOnce) {
    LinkRig f({1});
    f.panel(1).Cmb_Driver.text = "山田";
    RunnerState& r = f.runner(1);
    const Grid& g = f.panel(1).Spd_LapTime;
    // A stale echo on its own opens nothing: the reply resynchronises the car.
    f.AtTick(500);
    f.Car(1, "005ピット");
    EXPECT_EQ(r.LapCount, 0);
    EXPECT_EQ(g.RowCount(), 0);
    EXPECT_EQ(f.LastReply(), "N" + r.OutgoingMessage);

    // As the silence step leaves the slot: lap 1 open, away.
    r.LapCount = 1;
    r.AwayFlag = true;
    f.panel(1).Spd_LapTime.SetRowCount(1);
    f.AtTick(83456);
    f.Car(1, "005ピット");
    ASSERT_EQ(g.RowCount(), 1);
    EXPECT_EQ(g.Cell(1, 1), "1'23\"456");
    EXPECT_EQ(g.Cell(1, 2), "山田");
    EXPECT_EQ(g.Cell(1, 4), "83456");
    EXPECT_EQ(g.Cell(1, 5), r.OutgoingMessage + ", ピット");
    EXPECT_EQ(g.Cell(1, kLapRecordedAtColumn), "2026/12/07 14:05:09");
    EXPECT_EQ(f.panel(1).Lbl_LapCnt.caption, "2周目");
    EXPECT_EQ(f.LastReply().substr(0, 14), "N0010000083456");
    EXPECT_EQ(f.net.sent.back().port, 7022);

    // The reply was lost: the car still echoes the old count. Nothing is recorded again and
    // the reply tells it the count once more.
    f.AtTick(84000);
    f.Car(1, "000");
    EXPECT_EQ(r.LapCount, 1);
    EXPECT_EQ(g.Cell(1, 4), "83456");
    EXPECT_EQ(r.LapStartTick, 83456);
    EXPECT_EQ(f.LastReply().substr(0, 14), "N0010000083456");
    EXPECT_EQ(f.net.sent.size(), 3u);
}

TEST(HandleCarMessage, CorrectionFlagGoesOutInExactlyOneReply) {
    LinkRig f({0});
    RunnerState& r = f.runner(0);
    r.LapCount = 3;
    f.panel(0).Spd_LapTime.SetRowCount(3);
    r.LinkFlag = "C";
    f.Car(0, "003");  // echo equals the corrected count: recorded all the same
    EXPECT_EQ(f.LastReply().substr(0, 4), "C003");
    EXPECT_EQ(r.LinkFlag, "N");
    EXPECT_EQ(f.panel(0).Lbl_LapCnt.caption, "4周目");
    f.Car(0, "003");
    EXPECT_EQ(f.LastReply().substr(0, 4), "N003");
    EXPECT_EQ(f.net.sent.size(), 2u);
}

TEST(HandleCarMessage, EchoIsReadByTheLeadingNumberRule) {
    const std::pair<const char*, int> cases[] = {{"007", 7}, {"12a", 12}, {"abc", 0}, {" 1x", 1},
                                                 {"1.5", 2}, {"2.5", 2},  {"-4z", -4}};
    for (const auto& [echo, expected] : cases) {
        LinkRig f({0});
        f.Car(0, echo);
        EXPECT_EQ(f.runner(0).CarEchoLap, expected) << echo;
    }
}

TEST(HandleCarMessage, PastLap999TheWholeEchoIsReadAndTheTextFollowsIt) {
    LinkRig f({0});
    RunnerState& r = f.runner(0);
    r.LapCount = 1000;
    f.panel(0).Spd_LapTime.SetRowCount(1000);
    r.LinkFlag = "N";
    f.Car(0, "1000pit");  // the car echoes the four digits it was sent
    EXPECT_EQ(r.CarEchoLap, 1000);
    EXPECT_EQ(f.panel(0).Lbl_InMess.caption, "pit");
    EXPECT_EQ(f.panel(0).Spd_LapTime.RowCount(), 1000);  // short branch: no lap recorded
    f.Car(0, "999x");  // the old echo after the silence step opened lap 1000
    EXPECT_EQ(r.CarEchoLap, 999);

    // Lap 1001 opened: the message record splits the crew text where the echo ended.
    r.LapCount = 1001;
    r.AwayFlag = true;
    f.panel(0).Spd_LapTime.SetRowCount(1001);
    f.Car(0, "1000pit");
    EXPECT_EQ(f.panel(0).Spd_LapTime.Cell(1001, 5), r.OutgoingMessage + ", pit");
}

TEST(HandleCarMessage, DatagramsWithoutACompleteEchoAreDroppedUntouched) {
    const std::string cases[] = {"", "0", "00", Utf8ToCp932("あ"), Utf8ToCp932("あ0")};
    for (const std::string& bytes : cases) {
        LinkRig f({0});
        f.runner(0).RecvText = "before";
        f.AtTick(500);
        HandleCarMessage(f.console, 0, bytes);
        EXPECT_TRUE(f.net.sent.empty()) << bytes.size();
        EXPECT_EQ(f.runner(0).RecvText, "before");
        EXPECT_EQ(f.runner(0).LastHeardTick, 0);
    }
}

TEST(HandleCarMessage, HugeAndJunkDatagramsGetOneReplyEach) {
    LinkRig f({0, 2});
    std::string junk(65536, '\0');
    for (std::size_t k = 0; k < junk.size(); ++k) junk[k] = static_cast<char>((k * 131 + 7) % 256);
    std::string big = "001" + std::string(65533, 'x');
    const std::string datagrams[] = {junk, big, std::string(65536, '\xFF'),
                                     "\x81\x81\x81\x81\x81\x81"};
    for (const std::string& d : datagrams) HandleCarMessage(f.console, 0, d);
    EXPECT_EQ(f.net.sent.size(), 4u);
    EXPECT_EQ(f.runner(0).LapCount, 0);  // junk echoes open no lap
    EXPECT_EQ(f.panel(0).Spd_LapTime.RowCount(), 0);
    for (const auto& s : f.net.sent) EXPECT_EQ(s.port, 7012);
}

TEST(HandleCarMessage, RankingIsRefreshedOnlyWithTwoOrMoreCars) {
    LinkRig one({0});
    one.Car(0, "000");
    EXPECT_EQ(one.st().main.ranking[0].Lbl_Sort_LAP.caption, "");

    LinkRig two({0, 1});
    two.Car(0, "000");  // echo-only message
    EXPECT_EQ(two.st().main.ranking[0].Lbl_Sort_LAP.caption, "1");
    EXPECT_EQ(two.st().main.ranking[1].Lbl_Sort_LAP.caption, "1");
}

}  // namespace
}  // namespace velmora::test
