#include "core/console_snapshot.h"

namespace velmora {

std::shared_ptr<ConsoleSnapshot> TakeSnapshot(const Console& c, std::uint64_t seq,
                                              std::uint64_t commandsBegun) {
    // Built from the state in place: a default state first would make every grid's first
    // block only to throw it away.
    auto s = std::make_shared<ConsoleSnapshot>(seq, commandsBegun, c.st, c.settings, c.clock,
                                               RunningServices::Capture(c), c.ticks.Now());
    return s;
}

}  // namespace velmora
