#pragma once
// The wall clock and the monotonic clock of the running program.
#include <QDateTime>
#include <chrono>

#include "core/services.h"

namespace velmora {

class QtWallClock : public WallClock {
  public:
    LocalTime Now() const override;
    std::int64_t RealNowMs() const override { return QDateTime::currentMSecsSinceEpoch(); }
};

class SteadyMonotonic : public MonotonicClock {
  public:
    std::int64_t NowNs() const override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

}  // namespace velmora
