#include "rules/stint_warning.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

constexpr std::int64_t m = 60'000;

TEST(StintWarning, LevelAndPanelTextAtTheBoundaries) {
    struct Case {
        std::optional<std::int64_t> leftMs;
        StintWarning level;
        const char* text;
    };
    const Case cases[] = {
        {12 * m, StintWarning::None, "交代まで 12分"},
        {11 * m + 1, StintWarning::None, "交代まで 12分"},
        {5 * m + 1, StintWarning::None, "交代まで 6分"},
        {5 * m, StintWarning::FiveMinutes, "交代まで 5分"},
        {4 * m + 1, StintWarning::FiveMinutes, "交代まで 5分"},
        {1 * m + 1, StintWarning::FiveMinutes, "交代まで 2分"},
        {1 * m, StintWarning::OneMinute, "交代まで 1分"},
        {1, StintWarning::OneMinute, "交代まで 1分"},
        {0, StintWarning::OneMinute, "交代まで 0分"},
        {-1, StintWarning::Over, "交代時間超過 1分"},
        {-3 * m, StintWarning::Over, "交代時間超過 3分"},
        {std::nullopt, StintWarning::None, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leftMs.value_or(-999));
        EXPECT_EQ(WarningLevel(c.leftMs), c.level);
        if (c.text) {
            EXPECT_EQ(ChangeDueText(*c.leftMs), c.text);
        }
    }
    EXPECT_EQ(WarningMomentsFor(60 * m).fiveMinutesMs, 55 * m);
    EXPECT_EQ(WarningMomentsFor(60 * m).oneMinuteMs, 59 * m);
}

TEST(StintWarning, EachMessageOncePerStint) {
    using W = StintWarning;
    struct Case {
        W level, sent;
        std::optional<W> send;
    };
    const Case cases[] = {
        {W::None, W::None, std::nullopt},
        {W::FiveMinutes, W::None, W::FiveMinutes},
        {W::FiveMinutes, W::FiveMinutes, std::nullopt},
        {W::OneMinute, W::FiveMinutes, W::OneMinute},
        {W::OneMinute, W::None, W::OneMinute},  // first seen within the last minute
        {W::OneMinute, W::OneMinute, std::nullopt},
        {W::FiveMinutes, W::OneMinute, std::nullopt},  // the limit moved back: no repeat
        {W::Over, W::None, std::nullopt},
        {W::Over, W::OneMinute, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WarningToSend(c.level, c.sent), c.send)
            << static_cast<int>(c.level) << " " << static_cast<int>(c.sent);

    const StintWarningTexts texts;
    EXPECT_EQ(WarningMessage(W::FiveMinutes, texts), "あと5分でドライバー交代です");
    EXPECT_EQ(WarningMessage(W::OneMinute, texts), "あと1分でドライバー交代です");
}

}  // namespace
}  // namespace velmora
