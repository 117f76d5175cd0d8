#pragma once
// The driver-change warnings: the time left on the panel, its warning level (the panel's colour,
// never its only sign: the text says it too) and the automatic messages to the car, 5 and 1
// minutes before the change is due.
#include <cstdint>
#include <optional>
#include <string>

#include "rules/rules_file.h"

namespace velmora {

enum class StintWarning { None, FiveMinutes, OneMinute, Over };

inline constexpr std::int64_t kFiveMinuteWarningMs = 5 * 60'000;
inline constexpr std::int64_t kOneMinuteWarningMs = 60'000;

// The level for the time left before the change is due (LiveFigures::leftMs): FiveMinutes
// from 5:00 left, OneMinute from 1:00 left down to 0:00, Over below 0 (the limit is broken).
// None above 5:00 and without a limit.
StintWarning WarningLevel(std::optional<std::int64_t> leftMs);

// The message due now, given the level now and the most urgent one already sent in this
// stint (StintWarning::None for a new stint; the console tells stints apart by the open
// stint's driver and start). Each goes out once; a stint first seen within its last minute
// gets only the one-minute message, and a stint already over gets none.
std::optional<StintWarning> WarningToSend(StintWarning level, StintWarning sent);

// When the two messages fall due for a change due at `dueMs` (now + leftMs).
struct WarningMoments {
    std::int64_t fiveMinutesMs = 0;
    std::int64_t oneMinuteMs = 0;
};
WarningMoments WarningMomentsFor(std::int64_t dueMs);

// The message text for FiveMinutes or OneMinute.
const std::string& WarningMessage(StintWarning warning, const StintWarningTexts& texts);

// The panel's line: "交代まで 12分", whole minutes rounded up so that "交代まで 5分" shows
// from the moment the five-minute level starts; "交代まで 0分" at the limit exactly, and
// "交代時間超過 3分" once over it (also rounded up).
std::string ChangeDueText(std::int64_t leftMs);

}  // namespace velmora
