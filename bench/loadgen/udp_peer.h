#pragma once
// One simulated car PC on loopback: a UDP socket bound to 127.0.0.1:`localPort` that sends to
// 127.0.0.1:`remotePort`, keeps the send times of its unanswered datagrams in order, and
// follows the lap count of the replies as the real car program does.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace velmora::bench {

class UdpPeer {
  public:
    UdpPeer() = default;
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;
    UdpPeer(UdpPeer&& o) noexcept;
    UdpPeer& operator=(UdpPeer&&) = delete;
    ~UdpPeer();

    // localPort 0 binds an ephemeral port. Returns an error text, empty on success.
    std::string Open(std::uint16_t localPort, std::uint16_t remotePort);
    int fd() const { return fd_; }

    // Sends the lap echo as three digits (more past 999) and remembers the send time.
    bool SendEcho(std::int64_t nowNs);
    // Reads every pending reply; each answers the oldest unanswered datagram and its round
    // trip goes to `rttNs`, and also to `lapRttNs` when the reply brings a new lap count (the
    // reply to the datagram that recorded a lap; not the first status block heard).
    // Replies with nothing left to answer count as unmatched.
    void DrainReplies(std::vector<std::int64_t>& rttNs, std::int64_t (*now)(),
                      std::vector<std::int64_t>* lapRttNs = nullptr);
    // Unanswered datagrams are lost from here on: counted and forgotten.
    std::size_t ForgetUnanswered();

    int lapEcho = 0;     // lap count of the last status block received
    int lapChanges = 0;  // how often that count changed
    bool heardStatus = false;
    std::uint64_t sent = 0, replies = 0, unmatched = 0, sendErrors = 0;

  private:
    int fd_ = -1;
    std::deque<std::int64_t> pending_;
};

}  // namespace velmora::bench
