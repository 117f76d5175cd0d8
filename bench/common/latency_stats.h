#pragma once
// Percentiles of a set of durations, for the benchmark tools' reports.
#include <algorithm>
#include <cstdint>
#include <vector>

namespace velmora::bench {

struct Percentiles {
    std::size_t count = 0;
    double p50 = 0, p90 = 0, p99 = 0, p999 = 0, max = 0;  // same unit as the samples
};

// Nearest-rank percentiles; sorts `samples` in place.
inline Percentiles Summarise(std::vector<std::int64_t>& samples) {
    Percentiles p;
    p.count = samples.size();
    if (samples.empty()) return p;
    std::sort(samples.begin(), samples.end());
    auto at = [&](double q) {
        std::size_t k = static_cast<std::size_t>(q * static_cast<double>(samples.size()));
        if (k >= samples.size()) k = samples.size() - 1;
        return static_cast<double>(samples[k]);
    };
    p.p50 = at(0.50);
    p.p90 = at(0.90);
    p.p99 = at(0.99);
    p.p999 = at(0.999);
    p.max = static_cast<double>(samples.back());
    return p;
}

}  // namespace velmora::bench
