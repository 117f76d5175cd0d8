#include "rules/stint_warning.h"

namespace velmora {

StintWarning WarningLevel(std::optional<std::int64_t> leftMs) {
    if (!leftMs) return StintWarning::None;
    if (*leftMs < 0) return StintWarning::Over;
    if (*leftMs <= kOneMinuteWarningMs) return StintWarning::OneMinute;
    if (*leftMs <= kFiveMinuteWarningMs) return StintWarning::FiveMinutes;
    return StintWarning::None;
}

std::optional<StintWarning> WarningToSend(StintWarning level, StintWarning sent) {
    if (level == StintWarning::None || level == StintWarning::Over || level <= sent)
        return std::nullopt;
    return level;
}

WarningMoments WarningMomentsFor(std::int64_t dueMs) {
    return {dueMs - kFiveMinuteWarningMs, dueMs - kOneMinuteWarningMs};
}

const std::string& WarningMessage(StintWarning warning, const StintWarningTexts& texts) {
    return warning == StintWarning::FiveMinutes ? texts.fiveMinutes : texts.oneMinute;
}

std::string ChangeDueText(std::int64_t leftMs) {
    const auto minutes = [](std::int64_t ms) { return std::to_string((ms + 59'999) / 60'000); };
    if (leftMs < 0) return "交代時間超過 " + minutes(-leftMs) + "分";
    return "交代まで " + minutes(leftMs) + "分";
}

}  // namespace velmora
