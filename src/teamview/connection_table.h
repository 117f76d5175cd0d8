#pragma once
// The open connections of the team view's server, bounded in number. A connection must bring
// a whole request within `requestMs` of opening or of its last answer, or it is closed: a
// client that sends half a request, or oversized headers the server stops reading, holds a
// place for that long at most. A connection that became a stream of updates is exempt; its
// send queue bounds it instead (PageSendQueue).
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace velmora {

class ConnectionTable {
  public:
    ConnectionTable(std::size_t limit, std::int64_t requestMs)
        : limit_(limit), requestMs_(requestMs) {}

    // False when the table is full: the connection is refused.
    bool Admit(std::uint64_t id, std::int64_t nowMs);
    // A request of `id` was answered; the next one is due within the request time.
    void Answered(std::uint64_t id, std::int64_t nowMs);
    void Streaming(std::uint64_t id);
    void Closed(std::uint64_t id);
    // Connections past their request time, to be closed.
    std::vector<std::uint64_t> Overdue(std::int64_t nowMs) const;

    std::size_t Open() const { return open_.size(); }
    std::size_t Streams() const { return streams_; }
    std::size_t Limit() const { return limit_; }

  private:
    struct Entry {
        std::int64_t dueMs = 0;
        bool stream = false;
    };
    std::size_t limit_;
    std::int64_t requestMs_;
    std::size_t streams_ = 0;
    std::unordered_map<std::uint64_t, Entry> open_;
};

}  // namespace velmora
