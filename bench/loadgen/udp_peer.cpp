#include "udp_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velmora::bench {

namespace {

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

}  // namespace

UdpPeer::UdpPeer(UdpPeer&& o) noexcept
    : lapEcho(o.lapEcho),
      lapChanges(o.lapChanges),
      sent(o.sent),
      replies(o.replies),
      unmatched(o.unmatched),
      sendErrors(o.sendErrors),
      fd_(o.fd_),
      pending_(std::move(o.pending_)) {
    o.fd_ = -1;
}

UdpPeer::~UdpPeer() {
    if (fd_ >= 0) close(fd_);
}

std::string UdpPeer::Open(std::uint16_t localPort, std::uint16_t remotePort) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    if (fd_ < 0) return std::strerror(errno);
    // A large receive buffer keeps drops on the console's side, where they are measured.
    const int size = 4 << 20;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_in local = Loopback(localPort);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
        return "bind 127.0.0.1:" + std::to_string(localPort) + ": " + std::strerror(errno);
    // Connected: only the peer's port on loopback can answer, and send() needs no address.
    sockaddr_in remote = Loopback(remotePort);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0)
        return "connect 127.0.0.1:" + std::to_string(remotePort) + ": " + std::strerror(errno);
    return {};
}

bool UdpPeer::SendEcho(std::int64_t nowNs) {
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%03d", lapEcho);
    if (send(fd_, text, static_cast<size_t>(n), 0) != n) {
        // ECONNREFUSED: an earlier datagram found no socket on the port (ICMP came back).
        ++sendErrors;
        return false;
    }
    ++sent;
    pending_.push_back(nowNs);
    return true;
}

void UdpPeer::DrainReplies(std::vector<std::int64_t>& rttNs, std::int64_t (*now)(),
                           std::vector<std::int64_t>* lapRttNs) {
    char buf[2048];
    while (true) {
        const ssize_t n = recv(fd_, buf, sizeof buf, 0);
        if (n < 0) {
            if (errno == ECONNREFUSED) continue;  // pending ICMP error, not a datagram
            return;
        }
        const std::int64_t t = now();
        ++replies;
        std::int64_t rtt = -1;
        if (pending_.empty()) {
            ++unmatched;
        } else {
            rtt = t - pending_.front();
            rttNs.push_back(rtt);
            pending_.pop_front();
        }
        // Flag, then the status block: the lap count (three digits, more past lap 999), three
        // 10-digit millisecond fields and the year form one run of digits up to the date's
        // first '/'. (The echo replies of the reference responder are only three characters.)
        int run = 0;
        while (1 + run < n && buf[1 + run] >= '0' && buf[1 + run] <= '9') ++run;
        const int lapDigits = run - 34;
        if (n >= 60 && lapDigits >= 3 && lapDigits <= 9 && buf[1 + run] == '/') {
            int lap = 0;
            for (int k = 1; k <= lapDigits; ++k) lap = lap * 10 + (buf[k] - '0');
            if (lap != lapEcho) {
                ++lapChanges;
                if (lapRttNs && heardStatus && rtt >= 0) lapRttNs->push_back(rtt);
            }
            heardStatus = true;
            lapEcho = lap;
        }
    }
}

std::size_t UdpPeer::ForgetUnanswered() {
    const std::size_t lost = pending_.size();
    pending_.clear();
    return lost;
}

}  // namespace velmora::bench
