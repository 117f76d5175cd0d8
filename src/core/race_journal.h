#pragma once
// The race journal as the core sees it. The core stays free of any storage: a journal is
// plugged into Console::journal by the shell; without one (the default, and in every core
// test that does not ask for one) the hooks do nothing.
#include "core/services.h"

namespace velmora {

struct Console;

class RaceJournal {
  public:
    virtual ~RaceJournal() = default;
    // Makes the journaled state durable as it is now. The core calls it before it acts
    // outside on a change (above all before the reply that tells a car its new lap count),
    // the shell after every event. Writes only what changed since the last commit, so a
    // datagram that changed nothing writes nothing. Returns the ticket to hand to SendAfter
    // for a reply that must follow this commit to the disk: 0 when the commit is on the disk
    // already as it returns; a journal that writes on a thread of its own returns the number
    // of the write that will hold it.
    virtual JournalTicket Commit(const Console& c) = 0;
    // From the lap clocks' periodic step: also keeps the figures that move on their own (when
    // each car was last heard, the running clocks), at most about once a second, so that a
    // restart knows how long each car has been silent.
    virtual void Heartbeat(const Console& c) = 0;
};

}  // namespace velmora
