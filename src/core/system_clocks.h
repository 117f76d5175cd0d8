#pragma once
// The clocks of the running program: the steady clock for every interval, the system's local
// time for what the crew reads. Both may be read on any thread.
#include "core/services.h"

namespace velmora {

class SteadyClock : public MonotonicClock {
  public:
    std::int64_t NowNs() const override;
    // The kernel's boot id: the steady clock is the system's monotonic clock, which starts
    // again with the machine.
    std::string OriginId() const override;
};

class SystemWallClock : public WallClock {
  public:
    LocalTime Now() const override;
    std::int64_t RealNowMs() const override;
};

}  // namespace velmora
