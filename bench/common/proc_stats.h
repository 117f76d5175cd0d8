#pragma once
// What the benchmark tools read from /proc: a process's CPU time and resident size, the
// kernel's count of UDP datagrams dropped for a full receive buffer, and the monotonic clock
// shared by every process on the machine (so two tools' timestamps can be compared).
#include <cstdint>
#include <string>

namespace velmora::bench {

// user + system CPU time of `pid` (0 = this process) in nanoseconds, -1 if unreadable.
std::int64_t ProcessCpuNs(int pid);
// Resident set size of `pid` (0 = this process) in bytes, -1 if unreadable.
std::int64_t ProcessRssBytes(int pid);
// Udp RcvbufErrors from /proc/net/snmp, -1 if unreadable.
std::int64_t UdpRcvbufErrors();
// CLOCK_MONOTONIC in nanoseconds (what std::chrono::steady_clock reads on Linux).
std::int64_t MonotonicNs();
// Pins the calling thread to `cpu`; false when the system refuses.
bool PinThisThread(int cpu);

}  // namespace velmora::bench
