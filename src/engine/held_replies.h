#pragma once
// Replies that wait for the race journal. A reply that tells a car a new lap may leave only
// once the journal holds that lap on the disk; every later reply on the same socket waits
// behind it, so a car never hears a newer count before an older one. Other sockets go on.
#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "core/services.h"

namespace velmora {

class HeldReplies {
  public:
    struct Reply {
        std::string host;
        std::uint16_t port = 0;
        std::string bytes;
        JournalTicket ticket = 0;
    };

    // Whether a reply on `id` after commit `ticket` must wait rather than leave now.
    bool MustWait(SocketId id, JournalTicket ticket) const;
    void Hold(SocketId id, Reply reply);
    // Commits up to `durable` are on the disk: `send(id, reply)` for every reply now free, in
    // order on each socket.
    template <class Send>
    void Release(JournalTicket durable, Send&& send);
    // Replies still waiting on `id`.
    std::size_t Waiting(SocketId id) const;
    void Drop(SocketId id) { queues_.erase(id); }
    JournalTicket Durable() const { return durable_; }

  private:
    JournalTicket durable_ = 0;
    std::map<SocketId, std::deque<Reply>> queues_;
};

template <class Send>
void HeldReplies::Release(JournalTicket durable, Send&& send) {
    if (durable > durable_) durable_ = durable;
    for (auto it = queues_.begin(); it != queues_.end();) {
        std::deque<Reply>& q = it->second;
        while (!q.empty() && q.front().ticket <= durable_) {
            const Reply r = std::move(q.front());
            q.pop_front();
            send(it->first, r);
        }
        it = q.empty() ? queues_.erase(it) : std::next(it);
    }
}

}  // namespace velmora
