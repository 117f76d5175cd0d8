#include "core/console_snapshot.h"

namespace velmora {

std::shared_ptr<ConsoleSnapshot> TakeSnapshot(const Console& c, std::uint64_t seq,
                                              std::uint64_t commandsBegun) {
    auto s = std::make_shared<ConsoleSnapshot>();
    s->seq = seq;
    s->commandsBegun = commandsBegun;
    s->st = c.st;
    s->settings = c.settings;
    s->clock = c.clock;
    s->services = RunningServices::Capture(c);
    s->ticks = c.ticks.Now();
    return s;
}

}  // namespace velmora
