#pragma once
// The state line of a car panel: whether the slot is set up, measured or stopped, and while
// it is measured whether the car is heard now or for how long it has been silent. It is
// worked out from the state and TickCounter alone, so every place that changes one of them
// can refresh it, and the lap clock's tick keeps the silence count moving.
#include <cstdint>
#include <string>

#include "core/colours.h"
#include "core/console.h"

namespace velmora {

struct CarStatus {
    std::string text;
    Colour back = White;
    Colour fore = Black;
};

// A car heard within this long counts as heard now: in range it sends every 100 ms or so.
inline constexpr std::int32_t kHeardNowMs = 1000;

// The silence in whole seconds as the crew reads it: "12秒" under a minute, then like a lap
// or clock time, "12:05", "3:07:15", short enough for the strip.
std::string SilenceText(std::int64_t seconds);

// The state line of panel `i` at TickCounter `now`.
CarStatus DescribeCarStatus(const ConsoleState& st, int i, std::int32_t now,
                            const ClockParams& clock);

// Puts the state line of panel `i` (or of every panel) into its Lbl_CarStatus.
void ShowCarStatus(Console& c, int i);
void ShowAllCarStatus(Console& c);

}  // namespace velmora
