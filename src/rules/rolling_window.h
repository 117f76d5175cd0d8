#pragma once
// Driving time inside a rolling window ("at most 3 h in any 5 h") over one driver's stints.
// A window ending at t is [t − window, t]; what counts is the part of each span inside it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velmora {

// One stretch of one driver's driving. Spans come in time order and do not overlap.
struct DriveSpan {
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
};

// The driving inside the window of `windowMs` that ends at `atMs`.
std::int64_t DrivingInWindow(std::span<const DriveSpan> spans, std::int64_t windowMs,
                             std::int64_t atMs);

// The most driving inside any window of `windowMs` that ends no later than `untilMs`.
std::int64_t MaxDrivingInWindow(std::span<const DriveSpan> spans, std::int64_t windowMs,
                                std::int64_t untilMs);

// When the window first held `capMs` during spans[k], given that it holds more by the span's
// end: the moment the cap was reached, just before it was exceeded. Nothing when the span
// ends within the cap.
std::optional<std::int64_t> WindowCapReached(std::span<const DriveSpan> spans, std::size_t k,
                                             std::int64_t windowMs, std::int64_t capMs);

// How much longer the driver of the last span, which runs until now (its end), may drive on
// before the window holds more than `capMs`: negative by the excess when it already does.
// Nothing when no amount of driving can exceed the cap (a cap as long as the window).
std::optional<std::int64_t> WindowDrivingLeft(std::span<const DriveSpan> spans,
                                              std::int64_t windowMs, std::int64_t capMs);

}  // namespace velmora
