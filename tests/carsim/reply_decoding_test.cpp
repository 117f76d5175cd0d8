#include <gtest/gtest.h>

#include "car_message.h"
#include "core/encoding.h"
#include "host_reply.h"

namespace velmora::carsim {
namespace {

TEST(DecodeReply, ReadsEveryFieldOfTheSixtyCharacterReply) {
    const std::string reply = "N0050000083450000008123000000825002026/12/0714:05:0916:00:00";
    ASSERT_EQ(reply.size(), 60u);
    auto r = DecodeReply(reply);
    ASSERT_TRUE(r && r->status);
    EXPECT_EQ(r->flag, "N");
    EXPECT_EQ(r->status->lap, 5);
    EXPECT_EQ(r->status->lastMs, 83450);
    EXPECT_EQ(r->status->bestMs, 81230);
    EXPECT_EQ(r->status->avgMs, 82500);
    EXPECT_EQ(r->status->date, "2026/12/07");
    EXPECT_EQ(r->status->time, "14:05:09");
    EXPECT_EQ(r->status->end, "16:00:00");
    EXPECT_EQ(r->message, "");
    EXPECT_EQ(FormatReplyLine(*r),
              "reply flag=N lap=5 last_ms=83450 best_ms=81230 avg_ms=82500 date=2026/12/07 "
              "time=14:05:09 end=16:00:00 msg=\"\"");
}

struct ReplyCase {
    const char* name;
    std::string text;
    std::string flag;
    bool hasStatus;
    long long lap;
    std::string message;
    friend void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }
};

class DecodeReplyShapes : public testing::TestWithParam<ReplyCase> {};

TEST_P(DecodeReplyShapes, SplitsFlagStatusAndMessage) {
    const ReplyCase& c = GetParam();
    auto r = DecodeReply(c.text);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->flag, c.flag);
    ASSERT_EQ(r->status.has_value(), c.hasStatus);
    if (c.hasStatus) {
        EXPECT_EQ(r->status->lap, c.lap);
    }
    EXPECT_EQ(r->message, c.message);
}

const std::string kTail = "0000083450000008123000000825002026/12/0714:05:0900:00:00";

INSTANTIATE_TEST_SUITE_P(
    Shapes, DecodeReplyShapes,
    testing::Values(
        // Before the slot's first lap the message follows the flag directly.
        ReplyCase{"NoBlock", "N［ピット］", "N", false, 0, "［ピット］"},
        ReplyCase{"FlagOnly", "N", "N", false, 0, ""},
        ReplyCase{"Corrected", "C012" + kTail + "ＯＫ [ あと２周 ] 全車", "C", true, 12,
                  "ＯＫ [ あと２周 ] 全車"},
        // More than 999 laps widen the count; the date still anchors the block.
        ReplyCase{"FourDigitLap", "N1234" + kTail + "x", "N", true, 1234, "x"},
        // A message of digits after the block stays message.
        ReplyCase{"DigitsAfterBlock", "N007" + kTail + "12345", "N", true, 7, "12345"},
        // Digits without the date and clock shape are message, not a block.
        ReplyCase{"DigitsWithoutDate", "N" + std::string(40, '1') + "abc", "N", false, 0,
                  std::string(40, '1') + "abc"},
        ReplyCase{"BrokenClock", "N005" + kTail.substr(0, 40) + "14-05-0916:00:00", "N", false, 0,
                  "005" + kTail.substr(0, 40) + "14-05-0916:00:00"},
        ReplyCase{"TruncatedBlock", "N005" + kTail.substr(0, 50), "N", false, 0,
                  "005" + kTail.substr(0, 50)},
        // A lap count too wide to be real is message, not an overflowing number.
        ReplyCase{"AbsurdDigitRun", "N" + std::string(60, '9') + kTail.substr(34), "N", false, 0,
                  std::string(60, '9') + kTail.substr(34)},
        ReplyCase{"MultibyteFlag", "Ｎ005", "Ｎ", false, 0, "005"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeReply, EmptyDatagramIsNoReply) { EXPECT_FALSE(DecodeReply("")); }

TEST(FormatReplyLine, KeepsOneReplyOnOneLine) {
    ReplyInfo r{"N", std::nullopt, "a\"b\\c\r\nd\te\x01"};
    EXPECT_EQ(FormatReplyLine(r), R"(reply flag=N msg="a\"b\\c\r\nd\te\x01")");
    r.flag = " ";
    EXPECT_EQ(FormatReplyLine(r).substr(0, 14), "reply flag=\" \"");
}

TEST(LapEcho, ThreeDigitsAtLeast) {
    const std::pair<long long, const char*> cases[] = {{0, "000"},   {7, "007"},     {42, "042"},
                                                       {999, "999"}, {1000, "1000"}, {-3, "000"}};
    for (auto [lap, text] : cases) EXPECT_EQ(FormatLapEcho(lap), text) << lap;
}

TEST(LapEcho, CarMessageIsEchoThenCp932CrewText) {
    EXPECT_EQ(EncodeCarMessage(5, ""), "005");
    int subs = -1;
    EXPECT_EQ(EncodeCarMessage(12, "ピット", &subs), "012\x83\x73\x83\x62\x83\x67");
    EXPECT_EQ(subs, 0);
    EncodeCarMessage(0, "é", &subs);
    EXPECT_EQ(subs, 1);
}

TEST(LapEcho, AdoptsOnlyRepliesThatCarryAStatusBlock) {
    EchoKeeper echo;
    EXPECT_EQ(echo.Lap(), 0);
    echo.Adopt(*DecodeReply("N msg"));
    EXPECT_EQ(echo.Lap(), 0);
    echo.Adopt(*DecodeReply("N003" + kTail));
    EXPECT_EQ(echo.Lap(), 3);
    echo.Adopt(*DecodeReply("Nnothing"));
    EXPECT_EQ(echo.Lap(), 3);  // a reply without a block keeps the last count
    echo.Adopt(*DecodeReply("C002" + kTail));
    EXPECT_EQ(echo.Lap(), 2);  // a corrected count is taken as it is
}

}  // namespace
}  // namespace velmora::carsim
