#pragma once
// The whole console as it stood at one moment, for readers on other threads: the window, the
// journal's writer, the team view. It is a copy, so nothing the console does later changes
// it; the lap grids share their unchanged rows with the live console, so a copy is cheap.
#include <cstdint>
#include <memory>

#include "core/console.h"
#include "core/running_services.h"

namespace velmora {

struct ConsoleSnapshot {
    std::uint64_t seq = 0;            // snapshots in order of their making, from 1
    std::uint64_t commandsBegun = 0;  // the crew actions the console had begun by then
    ConsoleState st;
    MeasureSettings settings;
    ClockParams clock;
    RunningServices services;
    std::int32_t ticks = 0;  // TickCounter then
    // The control the console last asked to take the keyboard focus, and how many times it
    // has asked: the window moves the focus once per request, even past a snapshot it skipped.
    std::string focusRequest;
    std::uint64_t focusSerial = 0;
};

// A copy of `c` as it is now (on the thread that owns it).
std::shared_ptr<ConsoleSnapshot> TakeSnapshot(const Console& c, std::uint64_t seq,
                                              std::uint64_t commandsBegun);

}  // namespace velmora
