#pragma once
// The console's sockets as its own thread drives them: the DatagramService the core uses, plus
// what the thread's loop needs to read, stamp and hand on datagrams in order of arrival and to
// let replies go once the journal holds what they tell.
#include <poll.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/services.h"

namespace velmora {

class EngineNet : public DatagramService {
  public:
    // One datagram read from a socket, waiting to be handed to its handler.
    struct Arrived {
        SocketId id{};
        std::int64_t arrivalNs = 0;
        std::string bytes;
        bool held = false;  // kept while its socket had no handler yet
        std::uint64_t generation = 0;
    };
    enum class Direction { In, Out };
    // A datagram a car socket handled or sent, for the journal's traffic record.
    struct Traffic {
        Direction direction{};
        SocketId id{};
        std::int64_t ns = 0;  // arrival, or the moment it was sent
        std::string_view bytes;
    };

    // The sockets to watch for datagrams.
    virtual void AddPollFds(std::vector<pollfd>& fds) const = 0;
    // Reads every socket until it is empty and appends what arrived, in order of arrival.
    virtual void Read(std::vector<Arrived>& out) = 0;
    // Hands one datagram to its handler, unless its socket was closed or bound again since.
    // False when it was dropped.
    virtual bool Dispatch(const Arrived& a) = 0;
    // The journal holds every commit up to `ticket`: the replies waiting for them leave.
    virtual void Durable(JournalTicket ticket) = 0;
    virtual void SetTrafficLog(std::function<void(const Traffic&)> log) = 0;
};

}  // namespace velmora
