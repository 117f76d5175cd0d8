#include "clock_sampler.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

#include "common/latency_stats.h"
#include "common/proc_stats.h"

namespace velmora::bench {

namespace {

std::int64_t ThreadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

timespec ToTimespec(std::int64_t ns) {
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

ThreadCounter::ThreadCounter(Mode mode, std::int64_t periodNs) : mode_(mode), period_(periodNs) {
    origin_ = MonotonicNs();
    thread_ = std::thread([this] { Loop(); });
}

ThreadCounter::~ThreadCounter() {
    stop_ = true;
    thread_.join();
}

const char* ThreadCounter::name() const {
    return mode_ == Mode::AbsoluteDeadlines ? "thread_absolute" : "thread_relative";
}

void ThreadCounter::Loop() {
    std::int64_t deadline = origin_;
    while (!stop_.load(std::memory_order_relaxed)) {
        if (mode_ == Mode::AbsoluteDeadlines) {
            deadline += period_;
            const timespec ts = ToTimespec(deadline);
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
        } else {
            const timespec ts = ToTimespec(period_);
            clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, nullptr);
        }
        count_.fetch_add(1, std::memory_order_relaxed);
        cpuNs_.store(ThreadCpuNs(), std::memory_order_relaxed);
    }
}

ClockSampler::ClockSampler(std::function<std::int32_t()> tickCounter, std::int64_t periodNs,
                           bool withThreadCounters)
    : read_(std::move(tickCounter)), period_(periodNs) {
    if (withThreadCounters) {
        absolute_ =
            std::make_unique<ThreadCounter>(ThreadCounter::Mode::AbsoluteDeadlines, periodNs);
        relative_ = std::make_unique<ThreadCounter>(ThreadCounter::Mode::RelativeSleep, periodNs);
    }
    samples_.reserve(1 << 19);
}

void ClockSampler::Sample() {
    ClockSample s;
    s.before = MonotonicNs();
    s.ticks = read_();
    const std::int64_t mid = MonotonicNs();
    if (absolute_) s.absolute = absolute_->Read();
    if (relative_) s.relative = relative_->Read();
    s.after = MonotonicNs();
    readNs_ += mid - s.before;
    samples_.push_back(s);
}

std::string ClockSampler::Report(std::int64_t runNs) const {
    if (samples_.empty()) return "clock no samples\n";
    const double p = static_cast<double>(period_);
    std::string out;
    char buf[512];

    // The console's count is floor((t - origin) / period) for one fixed, unknown origin. Each
    // sample bounds that origin: (before - (ticks+1)·p, after - ticks·p]. If every bound
    // overlaps, one origin explains every reading: no drift and no lost tick over the run.
    std::int64_t lo = std::numeric_limits<std::int64_t>::min();
    std::int64_t hi = std::numeric_limits<std::int64_t>::max();
    for (const ClockSample& s : samples_) {
        lo = std::max<std::int64_t>(lo, s.before - (s.ticks + std::int64_t{1}) * period_);
        hi = std::min<std::int64_t>(hi, s.after - s.ticks * period_);
    }
    const bool consistent = lo < hi;
    // Without a consistent origin, take the earliest reading's: the drift then shows.
    const std::int64_t origin =
        consistent ? lo : samples_.front().after - samples_.front().ticks * period_;
    std::vector<std::int64_t> lag;
    lag.reserve(samples_.size());
    double worstDev = 0;
    for (const ClockSample& s : samples_) {
        // Lag of a reading: how far the true elapsed time at the end of the read is ahead of
        // what the count says; the earliest consistent origin makes it an upper bound.
        lag.push_back(s.after - origin - s.ticks * period_);
        const double ideal = static_cast<double>(s.after - origin) / p;
        worstDev = std::max(worstDev, std::fabs(s.ticks - ideal));
    }
    const ClockSample& first = samples_.front();
    const ClockSample& last = samples_.back();
    const double span = static_cast<double>(last.after - first.after);
    const double drift = (last.ticks - first.ticks) - span / p;
    Percentiles l = Summarise(lag);
    std::snprintf(buf, sizeof buf,
                  "clock samples=%zu span_s=%.1f period_us=%.0f ticks_last=%d\n"
                  "clock console consistent_origin=%s origin_window_us=%.1f drift_ticks=%.2f "
                  "max_abs_ticks_minus_elapsed=%.2f lag_us p50=%.1f p99=%.1f p999=%.1f max=%.1f\n",
                  samples_.size(), span / 1e9, p / 1e3, last.ticks, consistent ? "yes" : "NO",
                  static_cast<double>(hi - lo) / 1e3, drift, worstDev, l.p50 / 1e3, l.p99 / 1e3,
                  l.p999 / 1e3, l.max / 1e3);
    out += buf;
    const double readAvg = static_cast<double>(readNs_) / static_cast<double>(samples_.size());
    std::snprintf(buf, sizeof buf,
                  "clock console read_ns_avg=%.0f (with one clock read) sampler_reads_per_s=%.0f "
                  "sampler_read_cpu_pct=%.4f\n",
                  readAvg, static_cast<double>(samples_.size()) / (span / 1e9),
                  100.0 * static_cast<double>(readNs_) / static_cast<double>(runNs));
    out += buf;

    for (const ThreadCounter* t : {absolute_.get(), relative_.get()}) {
        if (!t) continue;
        std::vector<std::int64_t> tl;
        tl.reserve(samples_.size());
        for (const ClockSample& s : samples_) {
            const std::int32_t v = t == absolute_.get() ? s.absolute : s.relative;
            tl.push_back(s.after - t->originNs() - v * period_);
        }
        const std::int32_t firstV = t == absolute_.get() ? first.absolute : first.relative;
        const std::int32_t lastV = t == absolute_.get() ? last.absolute : last.relative;
        const double tDrift = (lastV - firstV) - span / p;
        Percentiles q = Summarise(tl);
        std::snprintf(buf, sizeof buf,
                      "clock %s drift_ticks=%.0f lag_us p50=%.1f p99=%.1f p999=%.1f max=%.1f "
                      "thread_cpu_pct=%.3f\n",
                      t->name(), tDrift, q.p50 / 1e3, q.p99 / 1e3, q.p999 / 1e3, q.max / 1e3,
                      100.0 * static_cast<double>(t->CpuNs()) / static_cast<double>(runNs));
        out += buf;
    }
    return out;
}

}  // namespace velmora::bench
