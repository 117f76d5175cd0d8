#include "proc_stats.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <time.h>
#include <fstream>
#include <sstream>

namespace velmora::bench {

namespace {

std::string ProcPath(int pid, const char* leaf) {
    return "/proc/" + (pid > 0 ? std::to_string(pid) : std::string("self")) + "/" + leaf;
}

}  // namespace

std::int64_t ProcessCpuNs(int pid) {
    std::ifstream in(ProcPath(pid, "stat"));
    std::string line;
    if (!std::getline(in, line)) return -1;
    // The command name is in parentheses and may hold blanks: count fields after the last ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    long long utime = -1, stime = -1;
    // Fields 3.. follow; utime is field 14 and stime field 15 (1-based, man 5 proc).
    for (int k = 3; k <= 15 && rest >> field; ++k) {
        if (k == 14) utime = std::stoll(field);
        if (k == 15) stime = std::stoll(field);
    }
    if (utime < 0 || stime < 0) return -1;
    const long hz = sysconf(_SC_CLK_TCK);
    return (utime + stime) * (1'000'000'000LL / (hz > 0 ? hz : 100));
}

std::int64_t ProcessRssBytes(int pid) {
    std::ifstream in(ProcPath(pid, "status"));
    std::string key;
    while (in >> key) {
        if (key == "VmRSS:") {
            long long kb = -1;
            in >> kb;
            return kb < 0 ? -1 : kb * 1024;
        }
        in.ignore(1 << 16, '\n');
    }
    return -1;
}

std::int64_t UdpRcvbufErrors() {
    std::ifstream in("/proc/net/snmp");
    std::string header, values;
    while (std::getline(in, header) && std::getline(in, values)) {
        if (header.rfind("Udp:", 0) != 0) continue;
        std::istringstream h(header), v(values);
        std::string name, value;
        while (h >> name && v >> value)
            if (name == "RcvbufErrors") return std::stoll(value);
    }
    return -1;
}

std::int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

bool PinThisThread(int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return pthread_setaffinity_np(pthread_self(), sizeof set, &set) == 0;
}

}  // namespace velmora::bench
