#pragma once
// Event-loop responsiveness: a precise timer that notes how late each of its ticks comes,
// and once a second writes that second's p99 and worst lateness to a log the load generator
// reads, with CLOCK_MONOTONIC timestamps.
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace velmora::bench {

class LoopProbe : public QObject {
  public:
    LoopProbe(int intervalMs, const std::string& logPath);
    ~LoopProbe() override;
    // Whole-run lateness summary.
    std::string Report() const;

  private:
    void Tick();
    void Flush(std::int64_t now);

    QTimer timer_;
    std::int64_t intervalNs_;
    std::int64_t last_ = 0, secondStart_ = 0;
    std::vector<std::int64_t> second_, all_;
    std::FILE* log_ = nullptr;
};

}  // namespace velmora::bench
