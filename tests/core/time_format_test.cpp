#include "core/time_format.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace velmora::test {
namespace {

TEST(TimeFormat, LapTimesNeverRoundUpAndCarryTheirSignInEveryField) {
    const ClockParams fine = DeriveClockParams("1/1000", 10);
    const ClockParams coarse = DeriveClockParams("1/100", 10);
    struct Case {
        std::int32_t ticks;
        const ClockParams* clock;
        std::string text;
    };
    const std::vector<Case> cases = {
        {0, &fine, "0'00\"000"},
        {83456, &fine, "1'23\"456"},
        {1999, &fine, "0'01\"999"},
        {6000000, &fine, "100'00\"000"},
        {-1234, &fine, "0'-01\"-234"},
        {0, &coarse, "0'00\"00"},
        {199, &coarse, "0'01\"99"},
        {59999, &fine, "0'59\"999"},
        {60000, &fine, "1'00\"000"},
        {5, &fine, "0'00\"005"},
        {-61005, &fine, "-1'-01\"-005"},
        {std::numeric_limits<std::int32_t>::max(), &fine, "35791'23\"647"},
        {std::numeric_limits<std::int32_t>::min(), &fine, "-35791'-23\"-648"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatLapTime(c.ticks, *c.clock), c.text) << c.ticks;
}

TEST(TimeFormat, ClockTimesHaveUnlimitedHours) {
    struct Case {
        std::int32_t seconds;
        std::string text;
    };
    const std::vector<Case> cases = {
        {0, "0:00:00"}, {3909, "1:05:09"}, {90000, "25:00:00"}, {59, "0:00:59"}, {3600, "1:00:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatClockTime(c.seconds), c.text) << c.seconds;
}

TEST(TimeFormat, WallClockTexts) {
    struct Case {
        CivilTime at;
        std::string amPm;
    };
    const std::vector<Case> cases = {
        {{2026, 12, 7, 0, 5, 9}, "am 12:05:09"},    {{2026, 12, 7, 9, 30, 0}, "am 09:30:00"},
        {{2026, 12, 7, 11, 59, 59}, "am 11:59:59"}, {{2026, 12, 7, 12, 0, 0}, "pm 12:00:00"},
        {{2026, 12, 7, 15, 25, 7}, "pm 03:25:07"},  {{2026, 12, 7, 23, 59, 59}, "pm 11:59:59"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatAmPmClock(FromCivil(c.at)), c.amPm) << c.amPm;

    const LocalTime t = FromCivil({2026, 12, 7, 9, 30, 5});
    EXPECT_EQ(FormatStartTime(t), "Start時間 09:30");
    EXPECT_EQ(FormatStartTime(FromCivil({2026, 12, 7, 21, 5, 0})), "Start時間 21:05");
    EXPECT_EQ(FormatShortDate(t), "2026/12/7");
    EXPECT_EQ(FormatShortDate(FromCivil({2027, 1, 1, 0, 0, 0})), "2027/1/1");
    EXPECT_EQ(FormatStatusDate(t), "2026/12/07");
    EXPECT_EQ(FormatStatusTime(FromCivil({2026, 12, 7, 14, 5, 9})), "14:05:09");
}

TEST(TimeFormat, RemainingTimeHasNoSign) {
    EXPECT_EQ(FormatRemaining(3909), "残り 1:05:09");
    EXPECT_EQ(FormatRemaining(-3909), "残り 1:05:09");
    EXPECT_EQ(FormatRemaining(0), "残り 0:00:00");
    EXPECT_EQ(FormatRemaining(std::numeric_limits<std::int64_t>::min()), "残り 596523:14:07");
    EXPECT_EQ(FormatRemaining(std::numeric_limits<std::int64_t>::max()), "残り 596523:14:07");
}

}  // namespace
}  // namespace velmora::test
