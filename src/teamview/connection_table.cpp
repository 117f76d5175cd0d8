#include "teamview/connection_table.h"

namespace velmora {

bool ConnectionTable::Admit(std::uint64_t id, std::int64_t nowMs) {
    if (open_.size() >= limit_ || open_.count(id) != 0) return false;
    open_[id] = Entry{nowMs + requestMs_, false};
    return true;
}

void ConnectionTable::Answered(std::uint64_t id, std::int64_t nowMs) {
    auto it = open_.find(id);
    if (it != open_.end() && !it->second.stream) it->second.dueMs = nowMs + requestMs_;
}

void ConnectionTable::Streaming(std::uint64_t id) {
    auto it = open_.find(id);
    if (it == open_.end() || it->second.stream) return;
    it->second.stream = true;
    ++streams_;
}

void ConnectionTable::Closed(std::uint64_t id) {
    auto it = open_.find(id);
    if (it == open_.end()) return;
    if (it->second.stream) --streams_;
    open_.erase(it);
}

std::vector<std::uint64_t> ConnectionTable::Overdue(std::int64_t nowMs) const {
    std::vector<std::uint64_t> late;
    for (const auto& [id, e] : open_)
        if (!e.stream && nowMs > e.dueMs) late.push_back(id);
    return late;
}

}  // namespace velmora
