// libvelmora_sync_delay.so: preloaded into a process (LD_PRELOAD), makes every fsync and
// fdatasync take VELMORA_SYNC_DELAY_MS longer (0 by default), as a slow disk would, and
// times each call. With VELMORA_SYNC_LOG=FILE it writes, at exit, how many syncs there were
// and how long they took, delay included:
//   sync calls=N delay_ms=D p50_us=.. p99_us=.. max_us=..
// With VELMORA_SYNC_TRACE=FILE every call is written there: its start (monotonic
// ns), its length, the calling thread and the file synced; the lines are kept in memory and
// written at exit.
#include <dlfcn.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using SyncFn = int (*)(int);

constexpr std::size_t kMaxSamples = 1 << 20;
std::atomic<std::size_t> g_count{0};
std::int64_t g_samples[kMaxSamples];

std::int64_t NowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

long DelayMs() {
    static const long ms = [] {
        const char* v = std::getenv("VELMORA_SYNC_DELAY_MS");
        return v ? std::max(0L, std::atol(v)) : 0L;
    }();
    return ms;
}

// The trace is kept in memory and written at exit: writing each line as the sync ended cost
// the syncing thread 0.1-0.2 ms, which looked like the console's own time after the sync.
struct TraceLine {
    std::int64_t startNs;
    std::int64_t tookNs;
    long tid;
    char target[120];
};
constexpr std::size_t kMaxTrace = 1 << 16;
std::atomic<std::size_t> g_traced{0};
TraceLine g_trace[kMaxTrace];

void Trace(int fd, std::int64_t startNs, std::int64_t tookNs) {
    static const char* path = std::getenv("VELMORA_SYNC_TRACE");
    if (!path || !*path) return;  // unset or empty: no trace
    const std::size_t k = g_traced.fetch_add(1, std::memory_order_relaxed);
    if (k >= kMaxTrace) return;
    TraceLine& t = g_trace[k];
    t.startNs = startNs;
    t.tookNs = tookNs;
    t.tid = static_cast<long>(syscall(SYS_gettid));
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), t.target, sizeof t.target - 1);
    if (n < 0) {
        t.target[0] = '?';
        t.target[1] = 0;
    } else {
        t.target[n] = 0;
    }
}

void WriteTrace() {
    const char* path = std::getenv("VELMORA_SYNC_TRACE");
    if (!path || !*path) return;
    FILE* f = std::fopen(path, "a");
    if (!f) return;
    const std::size_t n = std::min(g_traced.load(), kMaxTrace);
    for (std::size_t k = 0; k < n; ++k)
        std::fprintf(f, "sync t_ns=%lld took_us=%lld tid=%ld file=%s\n",
                     static_cast<long long>(g_trace[k].startNs),
                     static_cast<long long>(g_trace[k].tookNs / 1000), g_trace[k].tid,
                     g_trace[k].target);
    std::fclose(f);
}

int Timed(SyncFn real, int fd) {
    const std::int64_t t0 = NowNs();
    if (const long ms = DelayMs(); ms > 0) {
        timespec d{ms / 1000, (ms % 1000) * 1'000'000};
        while (nanosleep(&d, &d) != 0) {
        }
    }
    const int rc = real ? real(fd) : -1;
    const std::int64_t took = NowNs() - t0;
    const std::size_t k = g_count.fetch_add(1, std::memory_order_relaxed);
    if (k < kMaxSamples) g_samples[k] = took;
    Trace(fd, t0, took);
    return rc;
}

SyncFn Next(const char* name) { return reinterpret_cast<SyncFn>(dlsym(RTLD_NEXT, name)); }

__attribute__((destructor)) void Report() {
    WriteTrace();
    const char* path = std::getenv("VELMORA_SYNC_LOG");
    if (!path) return;
    const std::size_t n = std::min(g_count.load(), kMaxSamples);
    std::vector<std::int64_t> v(g_samples, g_samples + n);
    std::sort(v.begin(), v.end());
    auto at = [&](double q) {
        if (v.empty()) return 0.0;
        const auto k =
            std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())));
        return static_cast<double>(v[k]) / 1e3;
    };
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "sync calls=%zu delay_ms=%ld p50_us=%.0f p99_us=%.0f max_us=%.0f\n", n,
                     DelayMs(), at(0.5), at(0.99),
                     v.empty() ? 0.0 : static_cast<double>(v.back()) / 1e3);
        std::fclose(f);
    }
}

}  // namespace

extern "C" int fsync(int fd) {
    static const SyncFn real = Next("fsync");
    return Timed(real, fd);
}

extern "C" int fdatasync(int fd) {
    static const SyncFn real = Next("fdatasync");
    return Timed(real, fd);
}
