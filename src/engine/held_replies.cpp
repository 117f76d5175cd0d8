#include "engine/held_replies.h"

namespace velmora {

bool HeldReplies::MustWait(SocketId id, JournalTicket ticket) const {
    return ticket > durable_ || Waiting(id) != 0;
}

void HeldReplies::Hold(SocketId id, Reply reply) { queues_[id].push_back(std::move(reply)); }

std::size_t HeldReplies::Waiting(SocketId id) const {
    const auto it = queues_.find(id);
    return it == queues_.end() ? 0 : it->second.size();
}

}  // namespace velmora
