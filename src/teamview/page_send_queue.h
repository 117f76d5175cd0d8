#pragma once
// One page's share of the pushed updates. At most `maxQueuedBytes` may wait in its socket: a
// page that has more waiting gets nothing new until it has taken it, and then gets the latest
// state only (the steps it missed are skipped). A page that took nothing for `stallMs` while
// bytes waited is given up. Times are milliseconds on any steady clock.
#include <cstddef>
#include <cstdint>

namespace velmora {

class PageSendQueue {
  public:
    PageSendQueue(std::size_t maxQueuedBytes, std::int64_t stallMs, std::int64_t nowMs);

    // A new state is out. True: write it now. False: the page is behind and is owed the
    // latest state, which Drained hands out once there is room.
    bool Offer(std::size_t queuedBytes, std::int64_t nowMs);
    // The socket wrote bytes and `queuedBytes` still wait. True: write the latest state now.
    bool Drained(std::size_t queuedBytes, std::int64_t nowMs);
    // True when bytes have waited for longer than the stall time without any being taken.
    bool Stalled(std::size_t queuedBytes, std::int64_t nowMs) const;
    bool Owed() const { return owed_; }

  private:
    std::size_t max_;
    std::int64_t stallMs_;
    std::int64_t progressMs_;  // last time the queue was empty or shrank
    std::size_t lastQueued_ = 0;
    bool owed_ = false;
};

}  // namespace velmora
