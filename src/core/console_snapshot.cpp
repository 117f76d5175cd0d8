#include "core/console_snapshot.h"

namespace velmora {

std::shared_ptr<ConsoleSnapshot> TakeSnapshot(const Console& c, std::uint64_t seq,
                                              std::uint64_t commandsBegun) {
    // Built from the state, then moved into place: a default state first would make every
    // grid's first block only to throw it away.
    auto s =
        std::make_shared<ConsoleSnapshot>(ConsoleSnapshot{.seq = seq,
                                                          .commandsBegun = commandsBegun,
                                                          .st = c.st,
                                                          .settings = c.settings,
                                                          .clock = c.clock,
                                                          .services = RunningServices::Capture(c),
                                                          .ticks = c.ticks.Now(),
                                                          .focusRequest = {},
                                                          .focusSerial = 0});
    return s;
}

}  // namespace velmora
