#include "teamview/page_send_queue.h"

namespace velmora {

PageSendQueue::PageSendQueue(std::size_t maxQueuedBytes, std::int64_t stallMs, std::int64_t nowMs)
    : max_(maxQueuedBytes), stallMs_(stallMs), progressMs_(nowMs) {}

bool PageSendQueue::Offer(std::size_t queuedBytes, std::int64_t nowMs) {
    if (queuedBytes == 0 || queuedBytes < lastQueued_) progressMs_ = nowMs;
    lastQueued_ = queuedBytes;
    owed_ = queuedBytes > max_;
    return !owed_;
}

bool PageSendQueue::Drained(std::size_t queuedBytes, std::int64_t nowMs) {
    if (queuedBytes == 0 || queuedBytes < lastQueued_) progressMs_ = nowMs;
    lastQueued_ = queuedBytes;
    if (!owed_ || queuedBytes > max_) return false;
    owed_ = false;
    return true;
}

bool PageSendQueue::Stalled(std::size_t queuedBytes, std::int64_t nowMs) const {
    if (queuedBytes == 0 || queuedBytes < lastQueued_) return false;
    return nowMs - progressMs_ > stallMs_;
}

}  // namespace velmora
