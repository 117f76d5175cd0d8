#pragma once
// What runs besides the state: the tick clock, the timers and the car sockets. A restart of the
// program brings the state back from the journal and then sets these going again as they were.
#include <array>
#include <cstdint>

#include "core/console.h"

namespace velmora {

// Every timer the console runs, in a fixed order (the journal keeps one flag per entry).
inline constexpr std::array<TimerKey, 15> kConsoleTimers = {{
    {TimerId::System},
    {TimerId::NoInputBlk},
    {TimerId::OtherLap},
    {TimerId::Lap, 0},
    {TimerId::Lap, 1},
    {TimerId::Lap, 2},
    {TimerId::DriverInfo, 0},
    {TimerId::DriverInfo, 1},
    {TimerId::DriverInfo, 2},
    {TimerId::GasBlk, 0},
    {TimerId::GasBlk, 1},
    {TimerId::GasBlk, 2},
    {TimerId::MessBlk, 0},
    {TimerId::MessBlk, 1},
    {TimerId::MessBlk, 2},
}};

struct RunningServices {
    bool clockRunning = false;
    std::int32_t heldTicks = 0;  // the count while the clock stands (0 while it runs)
    std::array<bool, kConsoleTimers.size()> timers{};
    std::array<bool, kPanelCount> carSockets{};

    // As the console's services report them now.
    static RunningServices Capture(const Console& c);
    friend bool operator==(const RunningServices&, const RunningServices&) = default;
};

}  // namespace velmora
