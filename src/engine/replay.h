#pragma once
// A race played again from its journal's traffic record. Every datagram a car socket handled is
// handed, with its arrival, to a console of its own on a virtual clock; the lap clocks' timers
// run at their deadlines in time order with the datagrams, exactly as the engine runs them. The
// laps it records are what the car link measured, to the tick: the tool for settling "was that
// lap right?" after a race, and a regression check for every change to the car link.
// What the crew did by hand (corrections, typed lap times, a car taken out of the run) is not in
// the record and is not played.
#include <cstdint>
#include <functional>
#include <vector>

#include "journal/traffic_record.h"

namespace velmora {

struct ReplayedLap {
    int slot = 0;
    int row = 0;
    std::int32_t ticks = 0;
};

struct ReplayedRun {
    RunSetup setup;
    std::vector<ReplayedLap> laps;  // timed rows, by slot then row
    std::size_t datagrams = 0;
    std::int32_t ticksPerSecond = 1000;
};

// Plays every run of the record (from each Start marker to its Stop). `pace`, when given, is
// told the virtual time (ns since the run's tick 0) before each datagram, to play it out at a
// chosen speed.
std::vector<ReplayedRun> ReplayTraffic(const std::vector<TrafficRecord>& traffic,
                                       const std::function<void(std::int64_t)>& pace = {});

}  // namespace velmora
