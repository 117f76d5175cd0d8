#pragma once
#include <cstdint>
#include <string>

#include "core/tick_clock.h"
#include "core/wall_time.h"

namespace velmora {

// Ticks as lap-time text: minutes, "'", seconds "00", '"', sub-second ticks in
// FractionFormat. Never rounds up; a negative count carries its sign in every field
// (-1234 at 1/1000 → 0'-01"-234).
std::string FormatLapTime(std::int32_t ticks, const ClockParams& clock);

// Seconds as "h:mm:ss" with unlimited hours (90000 → 25:00:00). Callers pass n >= 0.
std::string FormatClockTime(std::int32_t seconds);

// "pm 03:25:07": am/pm in lower case, the 12-hour clock from 01 to 12.
std::string FormatAmPmClock(LocalTime t);
// "Start時間 09:30".
std::string FormatStartTime(LocalTime t);
// "残り 1:05:09" for the whole seconds to the end, without sign.
std::string FormatRemaining(std::int64_t seconds);
// "2026/12/7": the date field's format, no leading zeros.
std::string FormatShortDate(LocalTime t);
// "2026/12/07" and "14:05:09": the status block's date and time fields.
std::string FormatStatusDate(LocalTime t);
std::string FormatStatusTime(LocalTime t);

}  // namespace velmora
