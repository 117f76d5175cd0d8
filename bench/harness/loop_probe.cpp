#include "loop_probe.h"

#include "common/latency_stats.h"
#include "common/proc_stats.h"

namespace velmora::bench {

LoopProbe::LoopProbe(int intervalMs, const std::string& logPath)
    : intervalNs_(static_cast<std::int64_t>(intervalMs) * 1'000'000) {
    if (!logPath.empty()) log_ = std::fopen(logPath.c_str(), "w");
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
    last_ = secondStart_ = MonotonicNs();
    timer_.start(intervalMs);
}

LoopProbe::~LoopProbe() {
    if (log_) std::fclose(log_);
}

void LoopProbe::Tick() {
    const std::int64_t now = MonotonicNs();
    const std::int64_t late = std::max<std::int64_t>(0, now - last_ - intervalNs_);
    last_ = now;
    second_.push_back(late);
    all_.push_back(late);
    if (now - secondStart_ >= 1'000'000'000) Flush(now);
}

void LoopProbe::Flush(std::int64_t now) {
    Percentiles p = Summarise(second_);
    if (log_) {
        std::fprintf(log_, "probe t_ns=%lld late_p99_us=%.1f late_max_us=%.1f n=%zu\n",
                     static_cast<long long>(now), p.p99 / 1e3, p.max / 1e3, p.count);
        std::fflush(log_);
    }
    second_.clear();
    secondStart_ = now;
}

std::string LoopProbe::Report() const {
    std::vector<std::int64_t> copy = all_;
    const Percentiles p = Summarise(copy);
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "loop interval_ms=%lld ticks=%zu late_ms p50=%.2f p99=%.2f p999=%.2f max=%.2f\n",
                  static_cast<long long>(intervalNs_ / 1'000'000), p.count, p.p50 / 1e6,
                  p.p99 / 1e6, p.p999 / 1e6, p.max / 1e6);
    return buf;
}

}  // namespace velmora::bench
