#include "rules/rolling_window.h"

#include <algorithm>

namespace velmora {

namespace {

// Driving from the start up to x, for readings at x that never decrease: each span is passed
// over once, so a sweep over all spans costs O(spans).
class DrivingUpTo {
  public:
    explicit DrivingUpTo(std::span<const DriveSpan> spans) : spans_(spans) {}
    std::int64_t At(std::int64_t x) {
        while (next_ < spans_.size() && spans_[next_].endMs <= x) {
            before_ += spans_[next_].endMs - spans_[next_].startMs;
            ++next_;
        }
        if (next_ < spans_.size() && x > spans_[next_].startMs)
            return before_ + (x - spans_[next_].startMs);
        return before_;
    }

  private:
    std::span<const DriveSpan> spans_;
    std::size_t next_ = 0;
    std::int64_t before_ = 0;
};

// Driving inside [to − window, to] with the last span running to `lastEnd` instead. Spans
// ending before the window are skipped by halving, so only those inside it are visited.
std::int64_t InWindow(std::span<const DriveSpan> spans, std::int64_t windowMs, std::int64_t to,
                      std::int64_t lastEnd) {
    const std::int64_t from = to - windowMs;
    const auto endOf = [&](std::size_t k) {
        return k + 1 == spans.size() ? lastEnd : spans[k].endMs;
    };
    std::size_t lo = 0, hi = spans.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (endOf(mid) <= from)
            lo = mid + 1;
        else
            hi = mid;
    }
    std::int64_t sum = 0;
    for (std::size_t k = lo; k < spans.size() && spans[k].startMs < to; ++k)
        sum += std::max<std::int64_t>(0, std::min(endOf(k), to) - std::max(spans[k].startMs, from));
    return sum;
}

}  // namespace

std::int64_t DrivingInWindow(std::span<const DriveSpan> spans, std::int64_t windowMs,
                             std::int64_t atMs) {
    if (spans.empty()) return 0;
    return InWindow(spans, windowMs, atMs, spans.back().endMs);
}

std::int64_t MaxDrivingInWindow(std::span<const DriveSpan> spans, std::int64_t windowMs,
                                std::int64_t untilMs) {
    // The driving inside the window is piecewise linear in its end t, and can only stop
    // rising where t leaves a span or t − window enters one: those ends, and `untilMs`, are
    // the only places to look. Both kinds come in time order, so they are merged in one sweep.
    DrivingUpTo upToEnd(spans), upToStart(spans);
    std::int64_t best = 0;
    std::size_t e = 0, s = 0;
    while (true) {
        std::int64_t t = untilMs;
        if (e < spans.size() &&
            (s >= spans.size() || spans[e].endMs <= spans[s].startMs + windowMs))
            t = std::min(t, spans[e++].endMs);
        else if (s < spans.size())
            t = std::min(t, spans[s++].startMs + windowMs);
        best = std::max(best, upToEnd.At(t) - upToStart.At(t - windowMs));
        if (t >= untilMs) return best;
    }
}

std::optional<std::int64_t> WindowCapReached(std::span<const DriveSpan> spans, std::size_t k,
                                             std::int64_t windowMs, std::int64_t capMs) {
    const std::span<const DriveSpan> upTo = spans.first(k + 1);
    const DriveSpan span = spans[k];
    if (DrivingInWindow(upTo, windowMs, span.endMs) <= capMs) return std::nullopt;
    // Inside a span the window gains what is driven and loses at most as much at its far end,
    // so its driving never falls: the first moment holding the cap is found by halving.
    std::int64_t lo = span.startMs, hi = span.endMs;
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (InWindow(upTo, windowMs, mid, mid) >= capMs)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

std::optional<std::int64_t> WindowDrivingLeft(std::span<const DriveSpan> spans,
                                              std::int64_t windowMs, std::int64_t capMs) {
    if (spans.empty() || capMs >= windowMs) return std::nullopt;
    const std::int64_t now = spans.back().endMs;
    const std::int64_t held = InWindow(spans, windowMs, now, now);
    if (held > capMs) return capMs - held;
    // Driving on never lowers the window's driving, and after a whole window of it the
    // window holds `windowMs`, more than the cap: the last moment within it lies before.
    std::int64_t lo = 0, hi = windowMs;
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo + 1) / 2;
        if (InWindow(spans, windowMs, now + mid, now + mid) <= capMs)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

}  // namespace velmora
