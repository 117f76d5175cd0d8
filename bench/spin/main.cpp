// velmora-spin: another program keeping the machine's cores busy, at normal priority.
//   velmora-spin [THREADS] [--seconds S]   (THREADS: the number of CPUs by default; runs until
//                                            killed, or for S seconds)
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {
std::atomic<bool> g_stop{false};
extern "C" void OnSignal(int) { g_stop = true; }
}  // namespace

int main(int argc, char** argv) {
    int threads = static_cast<int>(std::thread::hardware_concurrency());
    double seconds = 0;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--seconds") == 0 && k + 1 < argc)
            seconds = std::atof(argv[++k]);
        else if (std::atoi(argv[k]) > 0)
            threads = std::atoi(argv[k]);
        else {
            std::fprintf(stderr, "usage: velmora-spin [THREADS] [--seconds S]\n");
            return 2;
        }
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::vector<std::thread> spinners;
    for (int t = 0; t < std::max(1, threads); ++t)
        spinners.emplace_back([] {
            volatile std::uint64_t x = 0;
            while (!g_stop.load(std::memory_order_relaxed)) x = x + 1;
        });
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!g_stop && (seconds <= 0 || std::chrono::steady_clock::now() < end))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    g_stop = true;
    for (std::thread& t : spinners) t.join();
    return 0;
}
