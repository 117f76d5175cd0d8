#pragma once
// The two things the simulator does: drive laps on the car link, or ask the presence
// responder once. Both are bounded by --max-seconds and by `stop` (set from a signal).
#include <atomic>
#include <cstdint>
#include <ostream>

#include "options.h"

namespace velmora::carsim {

struct Ports {
    std::uint16_t car;   // own port, where replies arrive
    std::uint16_t host;  // console's port, where datagrams go
};

// The console's port plan: slot i listens on 7011 + 10·i and answers to 7012 + 10·i.
constexpr Ports SlotPorts(int slot) {
    return {static_cast<std::uint16_t>(7012 + 10 * slot),
            static_cast<std::uint16_t>(7011 + 10 * slot)};
}
// Presence queries go to 7001; the answer comes back to 7002.
inline constexpr Ports kPresencePorts{7002, 7001};

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitBadOptions = 2 };

// Prints `pass`, `reply`, `lap` lines and a final `summary` line to `out`, problems to `err`.
int RunLaps(const Options& o, Ports ports, std::ostream& out, std::ostream& err,
            const std::atomic<bool>& stop);

// Prints `presence reply="..."` and returns 0, or returns 1 after --timeout-ms.
int RunPresence(const Options& o, Ports ports, std::ostream& out, std::ostream& err,
                const std::atomic<bool>& stop);

}  // namespace velmora::carsim
