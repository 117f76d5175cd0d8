#pragma once
// The car's own lap times: from the first datagram of one pass to the first of the next.
#include <chrono>
#include <optional>

namespace velmora::carsim {

class LapMeter {
  public:
    using Clock = std::chrono::steady_clock;

    // Called with the time of the first datagram of each pass. Returns the lap just closed
    // in whole milliseconds (truncated), or nothing for the first pass.
    std::optional<long long> PassStarted(Clock::time_point t) {
        std::optional<long long> lap;
        if (last_) {
            lap = std::chrono::duration_cast<std::chrono::milliseconds>(t - *last_).count();
            ++laps_;
        }
        last_ = t;
        return lap;
    }
    int Laps() const { return laps_; }

  private:
    std::optional<Clock::time_point> last_;
    int laps_ = 0;
};

}  // namespace velmora::carsim
