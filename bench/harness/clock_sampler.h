#pragma once
// Samples the console's TickCounter against the monotonic clock, side by side with two
// counters of the kind the console does not use (a thread adding one per period on absolute
// deadlines, and one sleeping a period between increments), and reports drift and lag.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace velmora::bench {

// A thread that increments `count` once per `periodNs`.
class ThreadCounter {
  public:
    enum class Mode { AbsoluteDeadlines, RelativeSleep };
    ThreadCounter(Mode mode, std::int64_t periodNs);
    ~ThreadCounter();
    ThreadCounter(const ThreadCounter&) = delete;
    ThreadCounter& operator=(const ThreadCounter&) = delete;

    std::int32_t Read() const { return count_.load(std::memory_order_relaxed); }
    std::int64_t originNs() const { return origin_; }
    // CPU time the thread has used so far (ns).
    std::int64_t CpuNs() const { return cpuNs_.load(std::memory_order_relaxed); }
    const char* name() const;

  private:
    void Loop();
    Mode mode_;
    std::int64_t period_;
    std::int64_t origin_ = 0;
    std::atomic<std::int32_t> count_{0};
    std::atomic<std::int64_t> cpuNs_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct ClockSample {
    std::int64_t before = 0, after = 0;  // monotonic ns around the readings
    std::int32_t ticks = 0;              // the console's TickCounter
    std::int32_t absolute = 0, relative = 0;
};

class ClockSampler {
  public:
    ClockSampler(std::function<std::int32_t()> tickCounter, std::int64_t periodNs,
                 bool withThreadCounters);
    void Sample();
    // Multi-line report; `runNs` is the wall time the sampling ran.
    std::string Report(std::int64_t runNs) const;

  private:
    std::function<std::int32_t()> read_;
    std::int64_t period_;
    std::unique_ptr<ThreadCounter> absolute_, relative_;
    std::vector<ClockSample> samples_;
    std::int64_t readNs_ = 0;  // time spent in the console's reads (plus one clock read each)
};

}  // namespace velmora::bench
