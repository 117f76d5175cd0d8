#pragma once
// One line of the journal's traffic record: every datagram a car socket handled and every
// reply it sent, and the moments a run started, stopped or was taken up again after a
// restart. The record is append-only; it lets a race be played again exactly (velmora-replay).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

enum class TrafficKind {
    In,      // a datagram from a car, at its arrival
    Out,     // a reply, as it left
    Start,   // a run started: tick 0; `bytes` holds the run's settings (see TrafficStartText)
    Stop,    // the run stopped
    Resume,  // the program started again and took the run up (the timers restarted)
};

// The record goes to the file with the writes that go there anyway (a durable change, the
// heartbeat once a second), and on its own once this many lines wait: a lap's write would
// otherwise insert all of them (a second's worth at hundreds of datagrams a second) before
// its sync, with the car's reply waiting.
constexpr std::size_t kTrafficLinesPerWrite = 128;

struct TrafficRecord {
    TrafficKind kind = TrafficKind::In;
    int slot = -1;          // car slot, -1 for the markers
    std::int32_t tick = 0;  // TickCounter at that moment
    std::int64_t ns = 0;    // the monotonic clock then (comparable within one program run)
    std::string bytes;      // the datagram as it went over the air (CP932), or marker text
};

// What a run was measured with, as its Start (and Resume) marker keeps it:
// "precision=1/1000;silence=10;slots=0,1,2".
struct RunSetup {
    std::string precision;
    int silenceSeconds = 0;
    std::vector<int> cars;  // the slots measured
};
std::string FormatRunSetup(const RunSetup& s);
bool ParseRunSetup(std::string_view text, RunSetup& s);

// The kind as the journal stores it ("in", "out", "start", "stop", "resume"), and back.
const char* TrafficKindName(TrafficKind k);
bool ParseTrafficKind(std::string_view name, TrafficKind& k);

}  // namespace velmora
