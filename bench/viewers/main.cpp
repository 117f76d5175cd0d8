// velmora-viewers: simulated team view pages for the load runs. Each viewer opens the update
// stream (/api/events) of the console's team view on 127.0.0.1 and reads it as a browser
// would; with --churn-ms one viewer leaves and a new one joins that often. At the end it
// prints what the viewers got: states, pings, bytes, the longest wait between two states of
// one viewer, and connections refused or broken. Plain POSIX, loopback only.
//
//   velmora-viewers --port 18780 --key KEY [--viewers 50] [--seconds 60] [--churn-ms 0]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/proc_stats.h"

using namespace velmora::bench;

namespace {

struct Viewer {
    int fd = -1;
    std::string tail;  // bytes after the last complete event
    std::int64_t lastStateNs = 0;
};

struct Totals {
    long connects = 0, refused = 0, broken = 0, states = 0, pings = 0;
    long long bytes = 0;
    std::int64_t maxGapNs = 0;
};

int Open(int port, const std::string& key) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    const std::string req = "GET /api/events?k=" + key +
                            " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n";
    if (::send(fd, req.data(), req.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(req.size())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void Connect(Viewer& v, int port, const std::string& key, Totals& t) {
    v = Viewer{};
    v.fd = Open(port, key);
    v.lastStateNs = MonotonicNs();
    if (v.fd < 0)
        ++t.refused;
    else
        ++t.connects;
}

// Counts the complete events in what arrived.
void Take(Viewer& v, const char* data, std::size_t n, Totals& t) {
    v.tail.append(data, n);
    std::size_t end;
    while ((end = v.tail.find("\n\n")) != std::string::npos) {
        const std::string_view ev(v.tail.data(), end);
        if (ev.find("event: state") != std::string_view::npos) {
            const std::int64_t now = MonotonicNs();
            ++t.states;
            t.maxGapNs = std::max(t.maxGapNs, now - v.lastStateNs);
            v.lastStateNs = now;
        } else if (ev.find("event: ping") != std::string_view::npos) {
            ++t.pings;
        }
        v.tail.erase(0, end + 2);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0, viewers = 50, churnMs = 0;
    double seconds = 60;
    std::string key;
    for (int k = 1; k + 1 < argc; k += 2) {
        const std::string a = argv[k];
        const char* v = argv[k + 1];
        if (a == "--port")
            port = std::atoi(v);
        else if (a == "--key")
            key = v;
        else if (a == "--viewers")
            viewers = std::atoi(v);
        else if (a == "--seconds")
            seconds = std::atof(v);
        else if (a == "--churn-ms")
            churnMs = std::atoi(v);
    }
    if (port <= 0 || key.empty() || viewers < 1 || seconds <= 0) {
        std::fprintf(stderr,
                     "usage: velmora-viewers --port P --key K [--viewers N] [--seconds S] "
                     "[--churn-ms MS]\n");
        return 2;
    }
    Totals t;
    std::vector<Viewer> vs(static_cast<std::size_t>(viewers));
    for (Viewer& v : vs) Connect(v, port, key, t);
    const std::int64_t t0 = MonotonicNs();
    const std::int64_t end = t0 + static_cast<std::int64_t>(seconds * 1e9);
    std::int64_t nextChurn = churnMs > 0 ? t0 + churnMs * 1'000'000LL : end;
    std::size_t churnNext = 0;
    std::vector<pollfd> fds;
    char buf[65536];
    while (MonotonicNs() < end) {
        fds.clear();
        for (const Viewer& v : vs) fds.push_back(pollfd{v.fd, POLLIN, 0});
        ::poll(fds.data(), fds.size(), 100);
        for (std::size_t i = 0; i < vs.size(); ++i) {
            Viewer& v = vs[i];
            if (v.fd < 0) {
                Connect(v, port, key, t);
                continue;
            }
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            const ssize_t n = ::recv(v.fd, buf, sizeof buf, 0);
            if (n <= 0) {
                ::close(v.fd);
                ++t.broken;
                Connect(v, port, key, t);
                continue;
            }
            t.bytes += n;
            Take(v, buf, static_cast<std::size_t>(n), t);
        }
        if (churnMs > 0 && MonotonicNs() >= nextChurn) {
            Viewer& v = vs[churnNext++ % vs.size()];
            if (v.fd >= 0) ::close(v.fd);
            Connect(v, port, key, t);
            nextChurn += churnMs * 1'000'000LL;
        }
    }
    for (Viewer& v : vs)
        if (v.fd >= 0) ::close(v.fd);
    const double secs = static_cast<double>(MonotonicNs() - t0) / 1e9;
    std::printf(
        "viewers n=%d secs=%.1f connects=%ld refused=%ld broken=%ld states=%ld "
        "states_per_viewer_s=%.2f pings=%ld kib_per_s=%.1f max_gap_ms=%.0f\n",
        viewers, secs, t.connects, t.refused, t.broken, t.states,
        static_cast<double>(t.states) / viewers / secs, t.pings,
        static_cast<double>(t.bytes) / 1024.0 / secs, static_cast<double>(t.maxGapNs) / 1e6);
    return 0;
}
