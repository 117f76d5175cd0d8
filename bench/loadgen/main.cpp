// velmora-loadgen: plays the car PCs of the console's three slot panels on loopback and
// measures, per step, the round trip from a car datagram to its reply (or, against
// velmora-echo, the bare loopback round trip), what was lost, and what the console process
// cost meanwhile. Sends to 127.0.0.1 only.
//
//   velmora-loadgen --steps echo:300:5,console:300:5 [--watch-pid PID] [--probe-log FILE]
//
// Step kinds: TARGET:RATE:SECONDS (TARGET console or echo, RATE datagrams a second per car),
// flood:RATE:SECONDS (car 1 alone at RATE, the others at 10/s each),
// passes:RATE:SECONDS[:IN_MS:OUT_MS] (each car in range for IN_MS sending at RATE, then silent
// for OUT_MS, 1000 and 1500 by default, the cars a third of a lap apart: a lap per car each
// IN_MS + OUT_MS, opened by the console's silence step and recorded by the car's return),
// idle:SECONDS (nobody sends), gap:MS[:RATE] (car 1 falls silent for MS while the others keep
// sending at RATE a second each, 10 by default; then car 1 comes back with its old lap echo
// and the console must record exactly one lap for it).
#include <poll.h>
#include <sys/prctl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/latency_stats.h"
#include "common/proc_stats.h"
#include "udp_peer.h"

using namespace velmora::bench;

namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kDrainNs = 300 * kMs;
// A step in which the generator sent this late somewhere met a pause of the machine.
constexpr std::int64_t kCalmLateNs = 5 * kMs;

struct Step {
    std::string kind;  // console, echo, idle, gap
    double rate = 0;   // per car, datagrams a second
    double seconds = 0;
    int gapMs = 0;
    double othersRate = 10;
    int inMs = 1000, outMs = 1500;  // passes
};

struct Options {
    std::vector<Step> steps;
    int cars = 3;
    int echoPort = 17011;
    int watchPid = 0;
    std::string probeLog;
};

bool ParseSteps(const std::string& text, std::vector<Step>& out) {
    std::stringstream all(text);
    std::string item;
    while (std::getline(all, item, ',')) {
        std::vector<std::string> f;
        std::stringstream parts(item);
        std::string p;
        while (std::getline(parts, p, ':')) f.push_back(p);
        Step s;
        if (f.empty()) return false;
        s.kind = f[0];
        if ((s.kind == "console" || s.kind == "echo" || s.kind == "flood") && f.size() == 3) {
            s.rate = std::atof(f[1].c_str());
            s.seconds = std::atof(f[2].c_str());
            if (s.rate <= 0 || s.seconds <= 0) return false;
        } else if (s.kind == "passes" && (f.size() == 3 || f.size() == 5)) {
            s.rate = std::atof(f[1].c_str());
            s.seconds = std::atof(f[2].c_str());
            if (f.size() == 5) {
                s.inMs = std::atoi(f[3].c_str());
                s.outMs = std::atoi(f[4].c_str());
            }
            if (s.rate <= 0 || s.seconds <= 0 || s.inMs <= 0 || s.outMs <= 0) return false;
        } else if (s.kind == "idle" && f.size() == 2) {
            s.seconds = std::atof(f[1].c_str());
        } else if (s.kind == "gap" && (f.size() == 2 || f.size() == 3)) {
            s.gapMs = std::atoi(f[1].c_str());
            if (f.size() == 3) s.othersRate = std::atof(f[2].c_str());
            if (s.gapMs <= 0 || s.othersRate <= 0) return false;
        } else {
            return false;
        }
        out.push_back(s);
    }
    return !out.empty();
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        const char* v = k + 1 < argc ? argv[k + 1] : nullptr;
        if (!v) return false;
        if (a == "--steps") {
            if (!ParseSteps(v, o.steps)) return false;
        } else if (a == "--cars") {
            o.cars = std::atoi(v);
        } else if (a == "--echo-port") {
            o.echoPort = std::atoi(v);
        } else if (a == "--watch-pid") {
            o.watchPid = std::atoi(v);
        } else if (a == "--probe-log") {
            o.probeLog = v;
        } else {
            return false;
        }
        ++k;
    }
    return !o.steps.empty() && o.cars >= 1 && o.cars <= 3;
}

// Worst event-loop lateness the console's probe logged in [fromNs, toNs]: (max, worst p99).
std::pair<double, double> ProbeLateness(const std::string& path, std::int64_t fromNs,
                                        std::int64_t toNs) {
    std::ifstream in(path);
    std::string line;
    double worstMax = -1, worstP99 = -1;
    while (std::getline(in, line)) {
        long long t = 0;
        double mx = 0, p99 = 0;
        if (std::sscanf(line.c_str(), "probe t_ns=%lld late_p99_us=%lf late_max_us=%lf", &t, &p99,
                        &mx) != 3)
            continue;
        if (t < fromNs || t > toNs) continue;
        worstMax = std::max(worstMax, mx);
        worstP99 = std::max(worstP99, p99);
    }
    return {worstMax, worstP99};
}

class LoadGen {
  public:
    explicit LoadGen(const Options& o) : o_(o) {}

    bool Open() {
        for (int i = 0; i < o_.cars; ++i) {
            UdpPeer car;
            const std::string err = car.Open(static_cast<std::uint16_t>(7012 + 10 * i),
                                             static_cast<std::uint16_t>(7011 + 10 * i));
            if (!err.empty()) return Fail("car " + std::to_string(i + 1) + ": " + err);
            console_.push_back(std::move(car));
            UdpPeer echo;
            const std::string e2 = echo.Open(0, static_cast<std::uint16_t>(o_.echoPort + 10 * i));
            if (!e2.empty()) return Fail("echo peer: " + e2);
            echo_.push_back(std::move(echo));
        }
        return true;
    }

    void Run() {
        for (const Step& s : o_.steps) {
            if (s.kind == "gap")
                Gap(s.gapMs, s.othersRate);
            else
                Load(s);
        }
        Summary();
    }

  private:
    bool Fail(const std::string& why) {
        std::fprintf(stderr, "velmora-loadgen: %s\n", why.c_str());
        return false;
    }

    std::vector<UdpPeer>& Peers(const std::string& kind) {
        return kind == "echo" ? echo_ : console_;
    }

    // Waits for replies on `peers` until `untilNs`.
    void Receive(std::vector<UdpPeer>& peers, std::int64_t untilNs, std::vector<std::int64_t>& rtt,
                 std::vector<std::int64_t>* lapRtt = nullptr) {
        std::vector<pollfd> fds;
        for (UdpPeer& p : peers) fds.push_back({p.fd(), POLLIN, 0});
        while (true) {
            for (UdpPeer& p : peers) p.DrainReplies(rtt, &MonotonicNs, lapRtt);
            const std::int64_t now = MonotonicNs();
            if (now >= untilNs) return;
            const std::int64_t wait = untilNs - now;
            timespec ts{static_cast<time_t>(wait / 1'000'000'000),
                        static_cast<long>(wait % 1'000'000'000)};
            ppoll(fds.data(), fds.size(), &ts, nullptr);
        }
    }

    void Load(const Step& s) {
        std::vector<UdpPeer>& peers = s.kind == "idle" ? console_ : Peers(s.kind);
        std::vector<std::int64_t> rtt, lapRtt;
        const std::uint64_t sent0 = Sum(peers, &UdpPeer::sent);
        const std::uint64_t unmatched0 = Sum(peers, &UdpPeer::unmatched);
        const std::uint64_t sendErr0 = Sum(peers, &UdpPeer::sendErrors);
        const std::int64_t rcvbuf0 = UdpRcvbufErrors();
        const std::int64_t cpu0 = o_.watchPid ? ProcessCpuNs(o_.watchPid) : -1;
        const std::int64_t t0 = MonotonicNs();
        const std::int64_t end = t0 + static_cast<std::int64_t>(s.seconds * 1e9);

        // How late this generator sent, at worst: a pause of the whole machine shows here.
        std::int64_t genLate = 0;
        if (s.kind == "idle") {
            Receive(peers, end, rtt, &lapRtt);
        } else {
            std::vector<std::int64_t> periods(peers.size(),
                                              static_cast<std::int64_t>(1e9 / s.rate));
            if (s.kind == "flood")
                for (std::size_t i = 1; i < peers.size(); ++i) periods[i] = 100 * kMs;
            const std::int64_t period = periods[0];
            std::vector<std::int64_t> next(peers.size());
            for (std::size_t i = 0; i < peers.size(); ++i)
                next[i] = t0 + period * static_cast<std::int64_t>(i) /
                                   static_cast<std::int64_t>(peers.size());
            const bool passes = s.kind == "passes";
            const std::int64_t inNs = s.inMs * kMs, cycleNs = (s.inMs + s.outMs) * kMs;
            if (passes)
                for (std::size_t i = 0; i < peers.size(); ++i)
                    next[i] = t0 + cycleNs * static_cast<std::int64_t>(i) /
                                       static_cast<std::int64_t>(peers.size());
            std::vector<pollfd> fds;
            for (UdpPeer& p : peers) fds.push_back({p.fd(), POLLIN, 0});
            while (true) {
                std::int64_t now = MonotonicNs();
                if (now >= end) break;
                std::int64_t soonest = end;
                for (std::size_t i = 0; i < peers.size(); ++i) {
                    // Open loop: a late generator catches up, so the offered rate holds.
                    while (next[i] <= now) {
                        if (passes) {
                            // Out of range: nothing until this car's next pass.
                            const std::int64_t shift = cycleNs * static_cast<std::int64_t>(i) /
                                                       static_cast<std::int64_t>(peers.size());
                            const std::int64_t phase = (next[i] - t0 - shift) % cycleNs;
                            if (phase >= inNs) {
                                next[i] += cycleNs - phase;
                                continue;
                            }
                        }
                        genLate = std::max(genLate, now - next[i]);
                        peers[i].SendEcho(now);
                        next[i] += periods[i];
                    }
                    soonest = std::min(soonest, next[i]);
                }
                for (UdpPeer& p : peers) p.DrainReplies(rtt, &MonotonicNs, &lapRtt);
                now = MonotonicNs();
                if (soonest > now) {
                    const std::int64_t wait = soonest - now;
                    timespec ts{0, static_cast<long>(wait)};
                    if (wait >= 1'000'000'000) ts = {wait / 1'000'000'000, wait % 1'000'000'000};
                    ppoll(fds.data(), fds.size(), &ts, nullptr);
                }
            }
        }
        const std::int64_t sendEnd = MonotonicNs();
        Receive(peers, sendEnd + kDrainNs, rtt, &lapRtt);
        std::size_t lost = 0;
        for (UdpPeer& p : peers) lost += p.ForgetUnanswered();
        const std::int64_t cpu1 = o_.watchPid ? ProcessCpuNs(o_.watchPid) : -1;
        const std::int64_t t1 = MonotonicNs();
        const std::int64_t rcvbuf1 = UdpRcvbufErrors();

        const std::uint64_t sent = Sum(peers, &UdpPeer::sent) - sent0;
        const std::uint64_t unmatched = Sum(peers, &UdpPeer::unmatched) - unmatched0;
        const std::uint64_t sendErr = Sum(peers, &UdpPeer::sendErrors) - sendErr0;
        const double secs = static_cast<double>(sendEnd - t0) / 1e9;
        std::vector<std::int64_t> copy = rtt;
        const Percentiles p = Summarise(copy);

        std::printf(
            "step %s rate=%g/car offered=%g/s secs=%.1f sent=%llu answered=%zu lost=%zu "
            "unmatched=%llu send_errors=%llu rcvbuf_drops=%lld",
            s.kind.c_str(), s.rate,
            s.kind == "flood" ? s.rate + 10.0 * static_cast<double>(peers.size() - 1)
            : s.kind == "passes"
                ? s.rate * static_cast<double>(peers.size()) * s.inMs / (s.inMs + s.outMs)
                : s.rate * static_cast<double>(peers.size()),
            secs, static_cast<unsigned long long>(sent), rtt.size(), lost,
            static_cast<unsigned long long>(unmatched), static_cast<unsigned long long>(sendErr),
            static_cast<long long>(rcvbuf1 - rcvbuf0));
        if (s.kind != "idle") {
            std::printf(" achieved=%.0f/s", static_cast<double>(rtt.size()) / secs);
            // With losses the in-order matching of replies to sends no longer holds.
            if (lost == 0 && unmatched == 0)
                std::printf(" rtt_us p50=%.1f p99=%.1f p999=%.1f max=%.1f", p.p50 / 1e3,
                            p.p99 / 1e3, p.p999 / 1e3, p.max / 1e3);
            if (lost == 0 && unmatched == 0 && !lapRtt.empty()) {
                std::vector<std::int64_t> laps = lapRtt;
                const Percentiles l = Summarise(laps);
                std::printf(" lap_replies=%zu lap_rtt_us p50=%.1f p99=%.1f max=%.1f", l.count,
                            l.p50 / 1e3, l.p99 / 1e3, l.max / 1e3);
            }
            std::printf(" gen_late_ms max=%.2f", static_cast<double>(genLate) / 1e6);
        }
        if (o_.watchPid) {
            const double cpuPct =
                100.0 * static_cast<double>(cpu1 - cpu0) / static_cast<double>(t1 - t0);
            std::printf(" console_cpu=%.2f%% console_rss_mb=%.1f", cpuPct,
                        static_cast<double>(ProcessRssBytes(o_.watchPid)) / (1 << 20));
        }
        if (!o_.probeLog.empty()) {
            // The first second after a change belongs to the step before.
            const auto [mx, p99] = ProbeLateness(o_.probeLog, t0 + 1'000'000'000, t1);
            if (mx >= 0) std::printf(" loop_late_ms p99=%.2f max=%.2f", p99 / 1e3, mx / 1e3);
        }
        std::printf("\n");
        std::fflush(stdout);
        if (s.kind != "idle" && lost == 0 && unmatched == 0) {
            auto& all = totals_[{s.kind, s.rate}];
            all.insert(all.end(), rtt.begin(), rtt.end());
            auto& laps = lapTotals_[{s.kind, s.rate}];
            laps.insert(laps.end(), lapRtt.begin(), lapRtt.end());
            auto& [calmSteps, steps] = calmSteps_[{s.kind, s.rate}];
            ++steps;
            if (genLate < kCalmLateNs) {
                ++calmSteps;
                auto& calm = calmTotals_[{s.kind, s.rate}];
                calm.insert(calm.end(), rtt.begin(), rtt.end());
            }
        }
    }

    void Gap(int gapMs, double othersRate) {
        const auto period = static_cast<std::int64_t>(1e9 / othersRate);
        std::vector<std::int64_t> rtt;
        const int before = console_[0].lapChanges;
        const std::int64_t t0 = MonotonicNs();
        std::int64_t next = t0;
        // The other cars keep talking so only car 1 goes silent.
        auto keepOthers = [&](std::int64_t until) {
            while (MonotonicNs() < until) {
                if (MonotonicNs() >= next) {
                    for (std::size_t i = 1; i < console_.size(); ++i)
                        console_[i].SendEcho(MonotonicNs());
                    next += period;
                }
                Receive(console_, std::min(until, next), rtt);
            }
        };
        keepOthers(t0 + gapMs * kMs);
        // Back in range: the old echo, repeated every 100 ms (as a car keeps sending) until a
        // reply brings the new lap count; a repeat before that re-times the same lap row.
        const std::int64_t back = MonotonicNs();
        int comebacks = 0;
        while (console_[0].lapChanges == before && MonotonicNs() < back + 2000 * kMs) {
            console_[0].SendEcho(MonotonicNs());
            ++comebacks;
            keepOthers(std::min(back + 2000 * kMs, MonotonicNs() + 100 * kMs));
        }
        Receive(console_, MonotonicNs() + kDrainNs, rtt);
        std::size_t lost = 0;
        for (UdpPeer& p : console_) lost += p.ForgetUnanswered();
        std::printf(
            "step gap ms=%d others=%g/car car1_lap=%d recorded=%s comeback_sends=%d "
            "lost=%zu\n",
            gapMs, othersRate, console_[0].lapEcho,
            console_[0].lapChanges == before + 1 ? "yes" : "NO", comebacks, lost);
        std::fflush(stdout);
    }

    void Summary() {
        std::map<double, std::pair<double, double>> p99ByRate;  // rate → (echo, console)
        for (auto& [key, rtt] : totals_) {
            std::vector<std::int64_t> copy = rtt;
            const Percentiles p = Summarise(copy);
            std::printf("total %s rate=%g/car n=%zu rtt_us p50=%.1f p99=%.1f p999=%.1f max=%.1f\n",
                        key.first.c_str(), key.second, p.count, p.p50 / 1e3, p.p99 / 1e3,
                        p.p999 / 1e3, p.max / 1e3);
            auto& slot = p99ByRate[key.second];
            (key.first == "echo" ? slot.first : slot.second) = p.p99;
        }
        // The replies that told a car a new lap: each waits for its lap's synced commit.
        for (auto& [key, rtt] : lapTotals_) {
            if (rtt.empty()) continue;
            std::vector<std::int64_t> copy = rtt;
            const Percentiles p = Summarise(copy);
            std::printf("total-lap %s rate=%g/car n=%zu rtt_us p50=%.1f p99=%.1f max=%.1f\n",
                        key.first.c_str(), key.second, p.count, p.p50 / 1e3, p.p99 / 1e3,
                        p.max / 1e3);
        }
        for (const auto& [rate, pair] : p99ByRate)
            if (pair.first > 0 && pair.second > 0)
                std::printf("ratio rate=%g/car console_p99/echo_p99=%.2f\n", rate,
                            pair.second / pair.first);
        // The same over the steps in which this generator never fell behind: a pause of the
        // whole machine holds back a hundred replies at once, and lands in the console's steps
        // or the echo's by chance. Both sides are judged by the same rule.
        std::map<double, std::pair<double, double>> calmByRate;
        for (auto& [key, rtt] : calmTotals_) {
            std::vector<std::int64_t> copy = rtt;
            const Percentiles p = Summarise(copy);
            const auto [calmSteps, steps] = calmSteps_[key];
            std::printf(
                "total-calm %s rate=%g/car steps=%d/%d n=%zu rtt_us p50=%.1f p99=%.1f p999=%.1f\n",
                key.first.c_str(), key.second, calmSteps, steps, p.count, p.p50 / 1e3, p.p99 / 1e3,
                p.p999 / 1e3);
            auto& slot = calmByRate[key.second];
            (key.first == "echo" ? slot.first : slot.second) = p.p99;
        }
        for (const auto& [rate, pair] : calmByRate)
            if (pair.first > 0 && pair.second > 0)
                std::printf("ratio-calm rate=%g/car console_p99/echo_p99=%.2f\n", rate,
                            pair.second / pair.first);
        std::printf("cars");
        for (std::size_t i = 0; i < console_.size(); ++i)
            std::printf(" car%zu_lap=%d", i + 1, console_[i].lapEcho);
        std::printf("\n");
    }

    static std::uint64_t Sum(const std::vector<UdpPeer>& peers, std::uint64_t UdpPeer::*field) {
        std::uint64_t n = 0;
        for (const UdpPeer& p : peers) n += p.*field;
        return n;
    }

    const Options& o_;
    std::vector<UdpPeer> console_, echo_;
    std::map<std::pair<std::string, double>, std::vector<std::int64_t>> totals_, lapTotals_,
        calmTotals_;
    std::map<std::pair<std::string, double>, std::pair<int, int>> calmSteps_;  // calm, all
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: velmora-loadgen --steps KIND:RATE:SECONDS[,...] [--cars N] "
                     "[--echo-port P] [--watch-pid PID] [--probe-log FILE]\n");
        return 2;
    }
    // Fine-grained waits: the default 50 µs timer slack would blur the sub-millisecond pacing.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    LoadGen gen(o);
    if (!gen.Open()) return 1;
    gen.Run();
    return 0;
}
